// Opening a tsq file for the tool: the header and layout through the
// program's own reader (with its checks and password), and the whole file's
// bytes, so that the data area can be examined without touching the file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "storage/layout.h"
#include "storage/writer.h"

namespace tsq {

// The password to try for a protected file: the given text, or (when none
// is given) the text typed on the terminal without echo.
void setPassword(std::optional<std::u16string> password);

struct TsqFile {
  std::unique_ptr<Layout> layout;  // header and layout as the program reads them
  std::vector<std::uint8_t> bytes; // the whole file
  std::uint32_t dataBase = 0;      // offset of the data area in bytes
  HeaderImage header;              // header fields, reserved words included

  std::span<const std::uint8_t> data() const {
    return std::span<const std::uint8_t>(bytes).subspan(dataBase);
  }
  // Bytes of the data area, as positions count them.
  std::uint32_t dataSize() const { return static_cast<std::uint32_t>(bytes.size() - dataBase); }
};

// Larger files are no phone database; refusing them keeps every read bounded.
constexpr std::uint32_t maxFileSize = 256u * 1024 * 1024;

// Reads path. 15 when it cannot be opened or read, 25 for a newer version,
// 33 for a wrong password, 15 when the data area lacks its DataHeader.
// inUse, when given, tells whether the open failed because another program
// (Tessra, with the database open) holds the file without sharing.
ErrorCode openTsqFile(const std::string& path, TsqFile& file, bool* inUse = nullptr);

// The same from a file handle freshly opened at offset 0.
ErrorCode readTsqFile(HANDLE handle, TsqFile& file);

// Decodes the FieldEntry at position of the data area. False when it does
// not lie wholly inside, has an unknown ValueType, or a Text count of 0,
// above 259 or without its terminator. size gets the entry's stored size
// whenever the header could be read.
bool decodeEntry(std::span<const std::uint8_t> data, Position position, FieldValue& value, std::uint32_t& size);

// The DataHeader at position 0 of the data area.
DataHeader readDataHeader(std::span<const std::uint8_t> data);
RecordHeader readRecordHeader(std::span<const std::uint8_t> data, Position position);

// The whole file as an image: header, layout, sort item, records in chain
// order and the remembered SMS texts. 15 when the record chain cannot be
// walked (cycle, block outside the data area, undecodable entry, more
// records than recordCount); a chain shorter than recordCount gives the
// records it has. recordPositions, when given, gets each record's position.
ErrorCode imageFromFile(const TsqFile& file, DatabaseImage& image, std::vector<Position>* recordPositions = nullptr);

// The system's message for code.
std::string messageOf(ErrorCode code);

}  // namespace tsq
