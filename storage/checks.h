// Checks of the program's own invariants, and tracing an "Internal error".
//
// TESSRA_ASSERT states what must hold at a point of the code. The checked
// build (TESSRA_CHECKS, which the sanitizer build turns on) stops there
// with the condition, file and line when it does not; other builds compile
// it away, and the code goes on to whatever error it reports anyway.
//
// Every err::internal the program returns goes through internalError(),
// which remembers where it arose; the checked build also prints it, so
// that a message box saying "Internal error" can be traced to its line.
#pragma once

#include "storage/format.h"

#ifndef TESSRA_CHECKS
#define TESSRA_CHECKS 0
#endif

[[noreturn]] void assertionFailed(const char* condition, const char* file, int line);

#if TESSRA_CHECKS
#define TESSRA_ASSERT(condition) ((condition) ? (void)0 : assertionFailed(#condition, __FILE__, __LINE__))
#else
#define TESSRA_ASSERT(condition) ((void)sizeof(condition))
#endif

ErrorCode internalErrorAt(const char* file, int line);
#define internalError() internalErrorAt(__FILE__, __LINE__)

// Where the last internal error arose ("file:line"), empty when none did.
const char* lastInternalError();
