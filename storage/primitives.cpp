#include "storage/primitives.h"

#include <bit>
#include <cstring>

#include "storage/bytes.h"
#include "storage/checks.h"
#include "storage/data_file.h"

static_assert(std::endian::native == std::endian::little,
              "texts are read straight into char16_t buffers");

namespace {

bool readExactly(HANDLE file, void* destination, DWORD length) {
  if (length == 0) return true;
  DWORD got = 0;
  if (!ReadFile(file, destination, length, &got, nullptr)) return false;
  return got == length;
}

bool writeExactly(HANDLE file, const void* source, DWORD length) {
  if (length == 0) return true;
  DWORD put = 0;
  if (!WriteFile(file, source, length, &put, nullptr)) return false;
  return put == length;
}

// Reads count units into out (room units), refusing what cannot be held: a
// count of 0, one above the room, or a text that does not end in a zero unit.
bool readUnits(HANDLE file, unsigned count, char16_t* out, int room) {
  if (count == 0 || count > static_cast<unsigned>(room)) return false;
  if (!readExactly(file, out, static_cast<DWORD>(count * 2))) return false;
  return out[count - 1] == 0;
}

// Moves the file pointer to dataBase + position; false when the offset does
// not fit the platform's 31-bit file positions or the seek fails.
bool seekData(DataFile& file, Position position) {
  std::uint64_t offset = static_cast<std::uint64_t>(file.dataBase) + position;
  if (file.dataBase == noPosition || offset > 0x7FFFFFFFu) return false;
  return SetFilePointer(file.handle, static_cast<LONG>(offset), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

}  // namespace

bool readU8(HANDLE file, std::uint8_t& out) { return readExactly(file, &out, 1); }

bool readU16(HANDLE file, std::uint16_t& out) {
  std::uint8_t bytes[2];
  if (!readExactly(file, bytes, 2)) return false;
  out = loadU16(bytes);
  return true;
}

bool readU32(HANDLE file, std::uint32_t& out) {
  std::uint8_t bytes[4];
  if (!readExactly(file, bytes, 4)) return false;
  out = loadU32(bytes);
  return true;
}

bool readBytes8(HANDLE file, void* out) { return readExactly(file, out, 8); }

bool readBytes16(HANDLE file, void* out) { return readExactly(file, out, 16); }

bool readText8(HANDLE file, char16_t* out, int room) {
  std::uint8_t count = 0;
  return readU8(file, count) && readUnits(file, count, out, room);
}

bool readText16(HANDLE file, char16_t* out, int room) {
  std::uint16_t count = 0;
  return readU16(file, count) && readUnits(file, count, out, room);
}

bool readScrambledText8(HANDLE file, char16_t* out, int room) {
  std::uint8_t count = 0;
  if (!readU8(file, count) || count == 0) return false;
  std::uint16_t units[255];
  if (!readExactly(file, units, static_cast<DWORD>(count) * 2)) return false;
  unscramble(units, count);
  // The text must end inside the destination's room.
  int limit = count < room ? count : room;
  for (int i = 0; i < limit; ++i) {
    out[i] = static_cast<char16_t>(units[i]);
    if (units[i] == 0) return true;
  }
  return false;
}

bool readBlob16(HANDLE file, std::uint16_t& length, void* out, std::uint16_t maxLength) {
  std::uint16_t stored = 0;
  if (!readU16(file, stored) || stored > maxLength) return false;
  length = stored;
  return readExactly(file, out, stored);
}

bool writeU32(HANDLE file, std::uint32_t value) {
  std::uint8_t bytes[4];
  storeU32(bytes, value);
  return writeExactly(file, bytes, 4);
}

bool writeText8(HANDLE file, const char16_t* text) {
  // A text8 holds at most 254 characters; a longer text is cut there so
  // that what is written is always a terminated text of its count.
  std::size_t length = 0;
  while (text[length] != 0 && length < 254) ++length;
  char16_t units[255];
  std::memcpy(units, text, length * 2);
  units[length] = 0;
  auto count = static_cast<std::uint8_t>(length + 1);
  return writeExactly(file, &count, 1) && writeExactly(file, units, count * 2u);
}

ErrorCode readAt(DataFile& file, Position position, std::uint32_t length, void* destination) {
  if (position == noPosition) return internalError();
  std::uint64_t offset = static_cast<std::uint64_t>(file.dataBase) + position;
  if (file.dataBase == noPosition || offset + length > 0x80000000u) return err::readData;
  if (!cachedRead(file.cache, file.handle, static_cast<std::uint32_t>(offset), length, destination))
    return err::readData;
  return err::ok;
}

ErrorCode writeAt(DataFile& file, Position position, std::uint32_t length, const void* source) {
  if (position == noPosition) return internalError();
  if (!seekData(file, position)) return err::readData;
  const bool written = writeExactly(file.handle, source, length);
  noteWrite(file.cache, file.handle, file.dataBase + position, length, source, written);
  return written ? err::ok : err::writeData;
}

const std::uint8_t* cachedBytesAt(DataFile& file, Position position, std::uint32_t& available) {
  available = 0;
  if (position == noPosition || file.dataBase == noPosition) return nullptr;
  const std::uint64_t offset = static_cast<std::uint64_t>(file.dataBase) + position;
  if (offset >= 0x80000000u) return nullptr;
  const std::uint8_t* bytes = cachedSpan(file.cache, file.handle, static_cast<std::uint32_t>(offset), available);
  // No more than readAt would read.
  if (bytes != nullptr && offset + available > 0x80000000u) available = static_cast<std::uint32_t>(0x80000000u - offset);
  return bytes;
}

std::uint32_t dataAreaSize(DataFile& file) {
  if (file.dataBase == noPosition) return 0;
  DWORD size = GetFileSize(file.handle, nullptr);
  if (size == INVALID_FILE_SIZE || size < file.dataBase) return 0;
  return size - file.dataBase;
}

bool ChainWalk::step(Position position) {
  if (++steps > limit) {
    if (area == nullptr) return false;
    limit = dataAreaSize(*area) / freeBlockSize;
    area = nullptr;
    if (steps > limit) return false;
  }
  if (position == saved) return false;
  if (++length == power) {
    saved = position;
    power = power < 0x80000000u ? power * 2 : power;
    length = 0;
  }
  return true;
}

const char16_t* fileNameOf(const char16_t* path) {
  const char16_t* name = path;
  for (const char16_t* p = path; *p != 0; ++p) {
    if (*p == u':' || *p == u'\\' || *p == u'/') name = p + 1;
  }
  return name;
}

void scramble(const char16_t* text, std::uint16_t* out, int count) {
  std::uint16_t previous = 0xFFFF;
  for (int i = 0; i < count; ++i) {
    previous = static_cast<std::uint16_t>(text[i] ^ previous);
    out[i] = previous;
  }
}

void unscramble(std::uint16_t* units, int count) {
  std::uint16_t previous = 0xFFFF;
  for (int i = 0; i < count; ++i) {
    std::uint16_t stored = units[i];
    units[i] = static_cast<std::uint16_t>(stored ^ previous);
    previous = stored;
  }
}
