// What a library of the phone gets from the program that loads it.
//
// A library is its own copy of nothing: the phone's root folder and its
// clock (a fixed one in tests) belong to the program. When a library
// exports TessraAttachPlatform, LoadLibraryW calls it once after loading
// with these services, which stay valid for as long as the program runs.
#pragma once

#include <cstddef>

#include "platform/win_types.h"

extern "C" {

struct TessraPlatformServices {
  DWORD size;  // sizeof(TessraPlatformServices)
  // The phone's root folder in UTF-8 into buffer, terminated; returns its
  // length without the terminator (larger than size - 1: it did not fit).
  std::size_t (*deviceRoot)(char* buffer, std::size_t size);
  void (*getLocalTime)(SYSTEMTIME* time);
};

using TessraAttachPlatformProc = void (*)(const TessraPlatformServices* services);

}  // extern "C"

inline constexpr char tessraAttachPlatformName[] = "TessraAttachPlatform";
