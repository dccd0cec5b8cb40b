// The phone's SMS sending service: the text-message part of the SMS API.
//
// SmsOpen with SMS_MSGTYPE_TEXT and SMS_MODE_SEND gives a handle;
// SmsSendMessage hands one text message to the phone, SmsClose ends the
// handle. A message the phone accepts lands in DEVICE/sms/outbox/ (see
// docs/phone-services.md); receiving, status reports and the other message
// types are not offered.
#pragma once

#include "platform/objbase.h"
#include "platform/win_types.h"

constexpr ULONG FACILITY_SMS = 0x200;

constexpr HRESULT SMS_E_INVALIDPROTOCOL = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_SMS, 0x0001);
constexpr HRESULT SMS_E_TOOMUCHDATA = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_SMS, 0x0100);
constexpr HRESULT SMS_E_INVALIDDATA = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_SMS, 0x0101);
constexpr HRESULT SMS_E_PROVIDERSPECIFICBUFFERWRONGSIZE = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_SMS, 0x0103);
constexpr HRESULT SMS_E_RECEIVEHANDLEALREADYOPEN = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_SMS, 0x0105);
constexpr HRESULT SMS_E_INVALIDADDRESS = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_SMS, 0x0107);
constexpr HRESULT SMS_E_MISC = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_SMS, 0x0200);
constexpr HRESULT SMS_E_BADPARAM = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_SMS, 0x0208);
constexpr HRESULT SMS_E_STORAGE = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_SMS, 0x0209);

constexpr DWORD SMS_DATAGRAM_SIZE = 140;
constexpr DWORD SMS_MAX_ADDRESS_LENGTH = 256;
// 255 segments of 140 bytes: more cannot be sent as one message.
constexpr DWORD SMS_MAX_MESSAGE_BYTES = 255 * SMS_DATAGRAM_SIZE;

constexpr DWORD SMS_MODE_RECEIVE = 0x00000001;
constexpr DWORD SMS_MODE_SEND = 0x00000002;
constexpr DWORD SMS_OPTION_DELIVERY_NONE = 0x00000000;
constexpr DWORD SMS_OPTION_DELIVERY_NO_RETRY = 0x00000001;
constexpr DWORD PS_MESSAGE_OPTION_NONE = 0x00000000;
constexpr DWORD PS_MESSAGE_OPTION_REPLYPATH = 0x00000001;
constexpr DWORD PS_MESSAGE_OPTION_STATUSREPORT = 0x00000002;
constexpr DWORD PS_MESSAGE_OPTION_DISCARD = 0x00000004;

inline constexpr WCHAR SMS_MSGTYPE_TEXT[] = u"Microsoft Text SMS Protocol";

// The enumerations have a fixed underlying type so that any value a caller
// stores is a valid one to look at (and refuse).
enum SMS_ADDRESS_TYPE : int {
  SMSAT_UNKNOWN = 0,
  SMSAT_INTERNATIONAL,
  SMSAT_NATIONAL,
  SMSAT_NETWORKSPECIFIC,
  SMSAT_SUBSCRIBER,
  SMSAT_ALPHANUMERIC,
  SMSAT_ABBREVIATED
};
enum SMS_DATA_ENCODING : int { SMSDE_OPTIMAL = 0, SMSDE_GSM, SMSDE_UCS2 };
enum PROVIDER_SPECIFIC_MESSAGE_CLASS : int {
  PS_MESSAGE_CLASS0 = 0,
  PS_MESSAGE_CLASS1,
  PS_MESSAGE_CLASS2,
  PS_MESSAGE_CLASS3,
  PS_MESSAGE_CLASSUNSPECIFIED
};
enum PROVIDER_SPECIFIC_REPLACE_OPTION : int {
  PSRO_NONE = 0,
  PSRO_REPLACE_TYPE1,
  PSRO_REPLACE_TYPE2,
  PSRO_REPLACE_TYPE3,
  PSRO_REPLACE_TYPE4,
  PSRO_REPLACE_TYPE5,
  PSRO_REPLACE_TYPE6,
  PSRO_REPLACE_TYPE7,
  PSRO_RETURN_CALL,
  PSRO_DEPERSONALIZATION
};
enum TEXT_PROVIDER_SPECIFIC_PRIORITY_TYPE : int {
  TEXTPSPRI_NONE = 0,
  TEXTPSPRI_NORMAL = 1,
  TEXTPSPRI_INTERACTIVE,
  TEXTPSPRI_URGENT,
  TEXTPSPRI_EMERGENCY
};

using SMS_HANDLE = DWORD;
using SMS_MESSAGE_ID = DWORD;
constexpr SMS_MESSAGE_ID INVALID_MESSAGE_ID = 0xFFFFFFFF;

struct SMS_ADDRESS {
  SMS_ADDRESS_TYPE smsatAddressType;
  WCHAR ptsAddress[SMS_MAX_ADDRESS_LENGTH];
};
using LPSMS_ADDRESS = SMS_ADDRESS*;

constexpr DWORD TEXTPSEXTPARM_NONE = 0x00000000;
constexpr DWORD TEXTPSEXTPARM_CALLBACK = 0x00000001;
constexpr DWORD TEXTPSEXTPARM_PRIORITY = 0x00000002;

// The provider-specific data of a text message. Older phones know the
// record up to dwProtocolID only; both sizes are accepted.
struct TEXT_PROVIDER_SPECIFIC_DATA {
  DWORD dwMessageOptions;
  PROVIDER_SPECIFIC_MESSAGE_CLASS psMessageClass;
  PROVIDER_SPECIFIC_REPLACE_OPTION psReplaceOption;
  DWORD dwHeaderDataSize;
  BYTE pbHeaderData[SMS_DATAGRAM_SIZE];
  BOOL fMessageContainsEMSHeaders;
  DWORD dwProtocolID;
  DWORD dwExtParams;
  TEXT_PROVIDER_SPECIFIC_PRIORITY_TYPE tpsPriority;
  SMS_ADDRESS smsaCallback;
};

// Only SMS_MSGTYPE_TEXT (else SMS_E_INVALIDPROTOCOL) and SMS_MODE_SEND:
// receiving belongs to the phone's own inbox (SMS_E_RECEIVEHANDLEALREADYOPEN).
// *messageAvailableEvent, when given, becomes null.
HRESULT SmsOpen(LPCWSTR messageProtocol, DWORD messageModes, SMS_HANDLE* handle, HANDLE* messageAvailableEvent);
// Hands one text to the phone: data holds UTF-16 units (an odd size is
// SMS_E_INVALIDDATA, more than SMS_MAX_MESSAGE_BYTES SMS_E_TOOMUCHDATA); a
// terminator at its end is not part of the text. The destination must be a
// terminated, non-empty address without control characters
// (SMS_E_INVALIDADDRESS); the provider data must be a
// TEXT_PROVIDER_SPECIFIC_DATA (SMS_E_PROVIDERSPECIFICBUFFERWRONGSIZE). The
// service centre, validity period, encoding and options are accepted and
// not used. A message the phone refuses gives SMS_E_MISC, one it cannot
// store SMS_E_STORAGE; an accepted one S_OK and its identifier.
HRESULT SmsSendMessage(SMS_HANDLE handle, const SMS_ADDRESS* smscAddress, const SMS_ADDRESS* destinationAddress,
                       const SYSTEMTIME* validityPeriod, const BYTE* data, DWORD dataSize,
                       const BYTE* providerSpecificData, DWORD providerSpecificDataSize, SMS_DATA_ENCODING encoding,
                       DWORD options, SMS_MESSAGE_ID* messageId);
// E_HANDLE for a handle that is not open.
HRESULT SmsClose(SMS_HANDLE handle);
