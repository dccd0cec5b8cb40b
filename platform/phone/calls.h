// Phone calls: what the shell does with "open" on a "TEL:" request.
#pragma once

#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace platform::phone {

// True for the verb "open" on a file that begins with "TEL:" (both in any
// letter case, as the shell reads them).
bool isCallRequest(LPCWSTR verb, LPCWSTR file);

// Places the call: one line in DEVICE/calls.log (the phone clock's time,
// a tab, the request as it was handed over) and, when TESSRA_TEL_HANDLER
// names a program, that program started with the request as a tel: URI.
// The handler's failure is not the caller's concern.
void placeCall(std::u16string_view request);

// The request as an RFC 3966 URI: "tel:" and the number after "TEL:", with
// every character that may not stand in a tel: URI as it is (a space, '#',
// '%', ',', '?', non-ASCII, control characters) percent-encoded in UTF-8.
std::string telUri(std::u16string_view request);

}  // namespace platform::phone
