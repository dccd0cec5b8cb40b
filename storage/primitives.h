// File primitives: sequential readers for the header and layout, writers for
// the export copy, and positioned reads and writes inside the data area.
#pragma once

#include <cstdint>

#include "platform/windows.h"
#include "storage/format.h"

struct Database;

// Sequential readers: true only when every byte asked for was read. Texts
// are refused (false) when their stored count is 0, exceeds the room of the
// destination (in units, terminator included) or does not end in a zero
// unit; the copy never goes past the room.
bool readU8(HANDLE file, std::uint8_t& out);
bool readU16(HANDLE file, std::uint16_t& out);
bool readU32(HANDLE file, std::uint32_t& out);
bool readBytes8(HANDLE file, void* out);
bool readBytes16(HANDLE file, void* out);
bool readText8(HANDLE file, char16_t* out, int room);
bool readText16(HANDLE file, char16_t* out, int room);
bool readScrambledText8(HANDLE file, char16_t* out, int room);
// Refused when the stored length exceeds maxLength.
bool readBlob16(HANDLE file, std::uint16_t& length, void* out, std::uint16_t maxLength);

// Sequential writers.
bool writeU32(HANDLE file, std::uint32_t value);
bool writeText8(HANDLE file, const char16_t* text);

// Positioned operations: position is counted from db.dataBase.
// 53 for position none, 15 for a failed seek or read (short included),
// 16 for a failed or short write.
ErrorCode readAt(Database& db, Position position, std::uint32_t length, void* destination);
ErrorCode writeAt(Database& db, Position position, std::uint32_t length, const void* source);

// The text after the last ':', '\' or '/' of path; the whole path without any.
const char16_t* fileNameOf(const char16_t* path);

// Scrambling of the stored password: s[i] = c[i] XOR s[i-1], s[-1] = 0xFFFF.
void scramble(const char16_t* text, std::uint16_t* out, int count);
void unscramble(std::uint16_t* units, int count);
