// MAPI's types, result codes, flags and interfaces: what a program uses to
// put a message into a message store of the phone.
#pragma once

#include <cstddef>

#include "platform/objbase.h"
#include "platform/win_types.h"

using SCODE = LONG;
using LPBYTE = BYTE*;
using LPCIID = const IID*;
using LPTSTR = LPWSTR;  // the phone's texts are wide

// ---- Result codes ---------------------------------------------------------
constexpr ULONG FACILITY_ITF = 4;
constexpr HRESULT MAKE_MAPI_E(ULONG code) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, code); }

constexpr HRESULT SUCCESS_SUCCESS = 0;
constexpr HRESULT MAPI_E_CALL_FAILED = E_FAIL;
constexpr HRESULT MAPI_E_NOT_ENOUGH_MEMORY = E_OUTOFMEMORY;
constexpr HRESULT MAPI_E_INVALID_PARAMETER = E_INVALIDARG;
constexpr HRESULT MAPI_E_INTERFACE_NOT_SUPPORTED = E_NOINTERFACE;
constexpr HRESULT MAPI_E_NO_ACCESS = E_ACCESSDENIED;
constexpr HRESULT MAPI_E_NO_SUPPORT = MAKE_MAPI_E(0x102);
constexpr HRESULT MAPI_E_BAD_CHARWIDTH = MAKE_MAPI_E(0x103);
constexpr HRESULT MAPI_E_STRING_TOO_LONG = MAKE_MAPI_E(0x105);
constexpr HRESULT MAPI_E_UNKNOWN_FLAGS = MAKE_MAPI_E(0x106);
constexpr HRESULT MAPI_E_INVALID_ENTRYID = MAKE_MAPI_E(0x107);
constexpr HRESULT MAPI_E_INVALID_OBJECT = MAKE_MAPI_E(0x108);
constexpr HRESULT MAPI_E_NOT_ENOUGH_DISK = MAKE_MAPI_E(0x10D);
constexpr HRESULT MAPI_E_NOT_FOUND = MAKE_MAPI_E(0x10F);
constexpr HRESULT MAPI_E_LOGON_FAILED = MAKE_MAPI_E(0x111);
constexpr HRESULT MAPI_E_DISK_ERROR = MAKE_MAPI_E(0x116);
constexpr HRESULT MAPI_E_TOO_COMPLEX = MAKE_MAPI_E(0x117);
constexpr HRESULT MAPI_E_CORRUPT_DATA = MAKE_MAPI_E(0x11B);
constexpr HRESULT MAPI_E_BAD_VALUE = MAKE_MAPI_E(0x301);
constexpr HRESULT MAPI_E_INVALID_TYPE = MAKE_MAPI_E(0x302);
constexpr HRESULT MAPI_E_TYPE_NO_SUPPORT = MAKE_MAPI_E(0x303);
constexpr HRESULT MAPI_E_TABLE_TOO_BIG = MAKE_MAPI_E(0x403);
constexpr HRESULT MAPI_E_NOT_INITIALIZED = MAKE_MAPI_E(0x605);
constexpr HRESULT MAPI_E_NO_RECIPIENTS = MAKE_MAPI_E(0x607);
constexpr HRESULT MAPI_E_SUBMITTED = MAKE_MAPI_E(0x608);
// GetProps succeeded, but some values are PT_ERROR values instead.
constexpr HRESULT MAPI_W_ERRORS_RETURNED = MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_ITF, 0x380);

// ---- Flags ----------------------------------------------------------------
constexpr ULONG MAPI_MODIFY = 0x00000001;
constexpr ULONG MAPI_CREATE = 0x00000002;
constexpr ULONG MAPI_DEFERRED_ERRORS = 0x00000008;
constexpr ULONG MAPI_BEST_ACCESS = 0x00000010;
constexpr ULONG MAPI_UNICODE = 0x80000000;

constexpr ULONG MAPI_LOGON_UI = 0x00000001;
constexpr ULONG MAPI_NEW_SESSION = 0x00000002;
constexpr ULONG MAPI_EXTENDED = 0x00000020;

constexpr ULONG MDB_NO_DIALOG = 0x00000001;
constexpr ULONG MDB_WRITE = 0x00000004;

constexpr ULONG MODRECIP_ADD = 0x00000002;
constexpr ULONG MODRECIP_MODIFY = 0x00000004;
constexpr ULONG MODRECIP_REMOVE = 0x00000008;

constexpr ULONG FORCE_SUBMIT = 0x00000001;

// Object types (OpenEntry's *objType).
constexpr ULONG MAPI_STORE = 1;
constexpr ULONG MAPI_FOLDER = 3;
constexpr ULONG MAPI_MESSAGE = 5;
constexpr ULONG MAPI_ATTACH = 7;

// PR_RECIPIENT_TYPE values.
constexpr LONG MAPI_ORIG = 0;
constexpr LONG MAPI_TO = 1;
constexpr LONG MAPI_CC = 2;
constexpr LONG MAPI_BCC = 3;

// PR_ATTACH_METHOD values.
constexpr LONG NO_ATTACHMENT = 0;
constexpr LONG ATTACH_BY_VALUE = 1;

// PR_MESSAGE_FLAGS bits.
constexpr LONG MSGFLAG_READ = 0x00000001;
constexpr LONG MSGFLAG_UNMODIFIED = 0x00000002;
constexpr LONG MSGFLAG_SUBMIT = 0x00000004;
constexpr LONG MSGFLAG_UNSENT = 0x00000008;
constexpr LONG MSGFLAG_HASATTACH = 0x00000010;
constexpr LONG MSGFLAG_FROMME = 0x00000020;

// PR_MSG_STATUS: a message for an Internet (SMTP) transport.
constexpr LONG MSGSTATUS_RECTYPE_SMTP = 0x00020000;

// ---- Structures -----------------------------------------------------------
struct ENTRYID {
  BYTE abFlags[4];
  BYTE ab[1];
};
using LPENTRYID = ENTRYID*;
constexpr std::size_t CbNewENTRYID(std::size_t size) { return offsetof(ENTRYID, ab) + size; }

struct SBinary {
  ULONG cb;
  LPBYTE lpb;
};

union PV {
  short i;
  LONG l;
  ULONG ul;
  float flt;
  double dbl;
  unsigned short b;
  double at;
  FILETIME ft;
  LPSTR lpszA;
  SBinary bin;
  LPWSTR lpszW;
  GUID* lpguid;
  SCODE err;
  LONG x;
};

struct SPropValue {
  ULONG ulPropTag;
  ULONG dwAlignPad;
  PV Value;
};
using LPSPropValue = SPropValue*;

struct SPropTagArray {
  ULONG cValues;
  ULONG aulPropTag[1];
};
using LPSPropTagArray = SPropTagArray*;
constexpr std::size_t CbNewSPropTagArray(ULONG count) {
  return offsetof(SPropTagArray, aulPropTag) + count * sizeof(ULONG);
}
// A tag array of a fixed size to declare in place: SizedSPropTagArray(2, columns) = {2, {PR_A, PR_B}};
// pass it as reinterpret_cast<LPSPropTagArray>(&columns).
#define SizedSPropTagArray(count, name) \
  struct SizedSPropTagArray_##name {    \
    ULONG cValues;                      \
    ULONG aulPropTag[count];            \
  } name

struct SPropProblem {
  ULONG ulIndex;
  ULONG ulPropTag;
  SCODE scode;
};
struct SPropProblemArray {
  ULONG cProblem;
  SPropProblem aProblem[1];
};
using LPSPropProblemArray = SPropProblemArray*;

struct SRow {
  ULONG ulAdrEntryPad;
  ULONG cValues;
  LPSPropValue lpProps;
};
struct SRowSet {
  ULONG cRows;
  SRow aRow[1];
};
using LPSRowSet = SRowSet*;
constexpr std::size_t CbNewSRowSet(ULONG count) { return offsetof(SRowSet, aRow) + count * sizeof(SRow); }

struct ADRENTRY {
  ULONG ulReserved1;
  ULONG cValues;
  LPSPropValue rgPropVals;
};
struct ADRLIST {
  ULONG cEntries;
  ADRENTRY aEntries[1];
};
using LPADRLIST = ADRLIST*;
constexpr std::size_t CbNewADRLIST(ULONG count) { return offsetof(ADRLIST, aEntries) + count * sizeof(ADRENTRY); }

// ---- Interfaces -----------------------------------------------------------
// Every object is released once by whoever obtained it; an object keeps
// the objects it came from alive until it is released itself.
class IMAPIProp : public IUnknown {
 public:
  virtual HRESULT SaveChanges(ULONG flags) = 0;
  // The values of the tags (all values for a null array) in one buffer the
  // caller frees with MAPIFreeBuffer. A value the object lacks comes back
  // as a PT_ERROR value with MAPI_E_NOT_FOUND, and the result is then
  // MAPI_W_ERRORS_RETURNED.
  virtual HRESULT GetProps(LPSPropTagArray tags, ULONG flags, ULONG* count, LPSPropValue* values) = 0;
  virtual HRESULT OpenProperty(ULONG propTag, LPCIID iid, ULONG interfaceOptions, ULONG flags, LPUNKNOWN* object) = 0;
  virtual HRESULT SetProps(ULONG count, LPSPropValue values, LPSPropProblemArray* problems) = 0;

 protected:
  ~IMAPIProp() = default;
};
using LPMAPIPROP = IMAPIProp*;

class IMAPITable : public IUnknown {
 public:
  virtual HRESULT SetColumns(LPSPropTagArray columns, ULONG flags) = 0;
  // Up to rowCount rows from the cursor on: a row set whose rows' lpProps
  // are buffers of their own. Free each row's lpProps, then the set, with
  // MAPIFreeBuffer (as FreeProws does). At the end the set has no rows.
  virtual HRESULT QueryRows(LONG rowCount, ULONG flags, LPSRowSet* rows) = 0;

 protected:
  ~IMAPITable() = default;
};
using LPMAPITABLE = IMAPITable*;

class IMsgStore : public IMAPIProp {
 public:
  virtual HRESULT OpenEntry(ULONG entryIdSize, LPENTRYID entryId, LPCIID iid, ULONG flags, ULONG* objectType,
                            LPUNKNOWN* object) = 0;

 protected:
  ~IMsgStore() = default;
};
using LPMDB = IMsgStore*;

class IMAPIContainer : public IMAPIProp {
 protected:
  ~IMAPIContainer() = default;
};

class IMessage;
using LPMESSAGE = IMessage*;

class IMAPIFolder : public IMAPIContainer {
 public:
  virtual HRESULT CreateMessage(LPCIID iid, ULONG flags, LPMESSAGE* message) = 0;

 protected:
  ~IMAPIFolder() = default;
};
using LPMAPIFOLDER = IMAPIFolder*;

class IAttach : public IMAPIProp {
 protected:
  ~IAttach() = default;
};
using LPATTACH = IAttach*;

class IMessage : public IMAPIProp {
 public:
  virtual HRESULT CreateAttach(LPCIID iid, ULONG flags, ULONG* attachmentNumber, LPATTACH* attach) = 0;
  // MODRECIP_ADD adds the entries; no flag replaces all recipients. The
  // list stays the caller's.
  virtual HRESULT ModifyRecipients(ULONG flags, LPADRLIST entries) = 0;
  virtual HRESULT SubmitMessage(ULONG flags) = 0;

 protected:
  ~IMessage() = default;
};

class IMAPISession : public IUnknown {
 public:
  virtual HRESULT GetMsgStoresTable(ULONG flags, LPMAPITABLE* table) = 0;
  virtual HRESULT OpenMsgStore(ULONG_PTR uiParam, ULONG entryIdSize, LPENTRYID entryId, LPCIID iid, ULONG flags,
                               LPMDB* store) = 0;
  virtual HRESULT Logoff(ULONG_PTR uiParam, ULONG flags, ULONG reserved) = 0;

 protected:
  ~IMAPISession() = default;
};
using LPMAPISESSION = IMAPISession*;

inline constexpr IID IID_IMAPISession{0x00020300, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMAPITable{0x00020301, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMAPIProp{0x00020303, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMsgStore{0x00020306, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMessage{0x00020307, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IAttachment{0x00020308, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMAPIContainer{0x0002030B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMAPIFolder{0x0002030C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
