// What the library's parts share: its counts, the faults tests arm, its
// buffers, and the program's services (the phone's root folder, its clock).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "cemapi/cemapi.h"

namespace cemapi {

struct Counters {
  long liveObjects = 0;
  long liveBuffers = 0;
  long initializeDepth = 0;
  unsigned long badFrees = 0;
};
Counters& counters();

// The failure a test armed for this call now, if any. Every call that can
// fail asks this first; natural is what the call gives when the test asks
// for no result of its own.
std::optional<HRESULT> injectedFault(std::string_view call, HRESULT natural = MAPI_E_CALL_FAILED);

// A MAPI buffer for what the library hands out (freed by the caller with
// MAPIFreeBuffer); null when it cannot be had.
void* allocateBuffer(std::size_t size);

// The phone's root folder, from the program that loaded the library;
// nullopt when no program attached.
std::optional<std::string> deviceRoot();
SYSTEMTIME localTime();

// Texts: UTF-16 <-> UTF-8, invalid sequences as U+FFFD.
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);
// Case-insensitive equality of two UTF-8 names.
bool sameNameIgnoringCase(std::string_view a, std::string_view b);

// Largest sizes the library takes from a caller: property values and
// streams, counts of values, recipients and tags.
constexpr std::size_t maxValueBytes = 64u << 20;
constexpr std::size_t maxTextUnits = 1u << 20;
constexpr ULONG maxValues = 4096;
constexpr ULONG maxRecipients = 4096;

}  // namespace cemapi
