// File primitives: sequential readers for the header and layout, writers for
// the export copy, and positioned reads and writes inside the data area.
#pragma once

#include <cstdint>

#include "platform/win_base.h"
#include "storage/format.h"

struct DataFile;

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

// Positioned operations: position is counted from file.dataBase.
// 53 for position none, 15 for a failed seek or read (short included),
// 16 for a failed or short write.
ErrorCode readAt(DataFile& file, Position position, std::uint32_t length, void* destination);
ErrorCode writeAt(DataFile& file, Position position, std::uint32_t length, const void* source);

// The bytes at position that the cache already holds (available of them,
// at least one), or null; nothing is read. A reader that finds what it needs
// there saves the copies of readAt, and one that does not calls readAt.
const std::uint8_t* cachedBytesAt(DataFile& file, Position position, std::uint32_t& available);

// Bytes from the start of the data area to the end of the file; 0 when the
// file is shorter than dataBase or its size is unknown.
std::uint32_t dataAreaSize(DataFile& file);

// Guards a walk over blocks chained through the file. Every block is at
// least 8 bytes long, so a sound chain has at most dataAreaSize / 8 links; a
// walk that revisits a position is caught early (Brent's cycle detection, no
// memory needed), and one that outgrows the bound is refused as well.
struct ChainWalk {
  explicit ChainWalk(std::uint32_t maxSteps) : limit(maxSteps) {}
  // The bound of the database's data area, asked of the file only when a
  // walk goes beyond a few steps: most walks (a record's key entry) end
  // sooner, and opening walks one per record.
  explicit ChainWalk(DataFile& file) : limit(8), area(&file) {}
  // False when position closes a cycle or the walk took too many steps.
  bool step(Position position);

  std::uint32_t limit;
  DataFile* area = nullptr;
  std::uint32_t steps = 0;
  Position saved = noPosition;
  std::uint32_t power = 1;
  std::uint32_t length = 0;
};

// A number of steps shared by many walks: opening walks every record's
// chain, and chains that share their entries must not multiply the cost. A
// sound file visits each of its blocks once, and every block is at least 8
// bytes long, so dataAreaSize / 8 steps open any sound file.
struct StepBudget {
  std::uint32_t left;
  bool take() {
    if (left == 0) return false;
    --left;
    return true;
  }
};

// The text after the last ':', '\' or '/' of path; the whole path without any.
const char16_t* fileNameOf(const char16_t* path);

// Scrambling of the stored password: s[i] = c[i] XOR s[i-1], s[-1] = 0xFFFF.
void scramble(const char16_t* text, std::uint16_t* out, int count);
void unscramble(std::uint16_t* units, int count);
