// The SMS API over the outbox.
#include "platform/sms.h"

#include <cstddef>
#include <cstring>
#include <set>
#include <string>

#include "platform/emulator.h"
#include "platform/phone/sms_outbox.h"
#include "platform/text.h"

namespace {

// Open handles; numbers are not reused, so a closed handle stays refused.
struct Handles {
  std::set<SMS_HANDLE> open;
  SMS_HANDLE next = 1;
};
Handles& handles() {
  static Handles instance;
  return instance;
}

constexpr std::size_t olderProviderDataSize = offsetof(TEXT_PROVIDER_SPECIFIC_DATA, dwExtParams);

// The address as UTF-8, or nullopt when it is not a terminated, non-empty
// address of printable characters.
std::optional<std::string> addressOf(const SMS_ADDRESS& address) {
  if (address.smsatAddressType < SMSAT_UNKNOWN || address.smsatAddressType > SMSAT_ABBREVIATED) return std::nullopt;
  std::size_t length = 0;
  while (length < SMS_MAX_ADDRESS_LENGTH && address.ptsAddress[length] != 0) ++length;
  if (length == 0 || length == SMS_MAX_ADDRESS_LENGTH) return std::nullopt;
  for (std::size_t i = 0; i < length; ++i) {
    const char16_t c = address.ptsAddress[i];
    if (c < 0x20 || c == 0x7F) return std::nullopt;
  }
  return platform::toUtf8(std::u16string_view(address.ptsAddress, length));
}

}  // namespace

namespace platform {
int openSmsHandleCount() { return static_cast<int>(handles().open.size()); }
}  // namespace platform

HRESULT SmsOpen(LPCWSTR messageProtocol, DWORD messageModes, SMS_HANDLE* handle, HANDLE* messageAvailableEvent) {
  if (handle == nullptr) return E_INVALIDARG;
  *handle = 0;
  if (messageAvailableEvent != nullptr) *messageAvailableEvent = nullptr;
  if (messageProtocol == nullptr || std::u16string_view(messageProtocol) != SMS_MSGTYPE_TEXT) {
    return SMS_E_INVALIDPROTOCOL;
  }
  if ((messageModes & SMS_MODE_RECEIVE) != 0) return SMS_E_RECEIVEHANDLEALREADYOPEN;
  if (messageModes != SMS_MODE_SEND) return E_INVALIDARG;
  Handles& h = handles();
  *handle = h.next++;
  h.open.insert(*handle);
  return S_OK;
}

HRESULT SmsSendMessage(SMS_HANDLE handle, const SMS_ADDRESS*, const SMS_ADDRESS* destinationAddress, const SYSTEMTIME*,
                       const BYTE* data, DWORD dataSize, const BYTE* providerSpecificData,
                       DWORD providerSpecificDataSize, SMS_DATA_ENCODING encoding, DWORD options,
                       SMS_MESSAGE_ID* messageId) {
  if (messageId != nullptr) *messageId = INVALID_MESSAGE_ID;
  if (handles().open.count(handle) == 0) return E_HANDLE;
  if (destinationAddress == nullptr) return SMS_E_INVALIDADDRESS;
  const auto number = addressOf(*destinationAddress);
  if (!number) return SMS_E_INVALIDADDRESS;
  if (providerSpecificData == nullptr || (providerSpecificDataSize != sizeof(TEXT_PROVIDER_SPECIFIC_DATA) &&
                                          providerSpecificDataSize != olderProviderDataSize)) {
    return SMS_E_PROVIDERSPECIFICBUFFERWRONGSIZE;
  }
  if (encoding < SMSDE_OPTIMAL || encoding > SMSDE_UCS2) return SMS_E_BADPARAM;
  if ((options & ~SMS_OPTION_DELIVERY_NO_RETRY) != 0) return SMS_E_BADPARAM;
  if (dataSize > SMS_MAX_MESSAGE_BYTES) return SMS_E_TOOMUCHDATA;
  if (dataSize % 2 != 0 || (data == nullptr && dataSize != 0)) return SMS_E_INVALIDDATA;

  std::u16string text(dataSize / 2, u'\0');
  if (dataSize != 0) std::memcpy(text.data(), data, dataSize);
  while (!text.empty() && text.back() == 0) text.pop_back();  // the caller's terminator
  // A text is handed on as a program argument too, which cannot hold one.
  if (text.find(u'\0') != std::u16string::npos) return SMS_E_INVALIDDATA;

  std::uint64_t sequence = 0;
  switch (platform::phone::sendSms(*number, platform::toUtf8(text), &sequence)) {
    case platform::phone::SmsResult::Accepted:
      break;
    case platform::phone::SmsResult::Refused:
      return SMS_E_MISC;
    case platform::phone::SmsResult::NotStored:
      return SMS_E_STORAGE;
  }
  if (messageId != nullptr) {
    SMS_MESSAGE_ID id = static_cast<SMS_MESSAGE_ID>(sequence);
    if (id == INVALID_MESSAGE_ID) id = 0;
    *messageId = id;
  }
  return S_OK;
}

HRESULT SmsClose(SMS_HANDLE handle) { return handles().open.erase(handle) != 0 ? S_OK : E_HANDLE; }
