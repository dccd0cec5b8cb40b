// Opening a tsq file for the tool: the header and layout through the
// program's own reader (with its checks and password), and the whole file's
// bytes, so that the data area can be examined without touching the file.
#pragma once

#include <cstdint>
#include <functional>
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

// One record as the walk of the chain finds it.
struct WalkedRecord {
  Position position = noPosition;
  RecordHeader header;
  RecordImage record;                   // its FieldEntries in chain order, and its flags
  std::vector<Position> entryPositions;  // where each of them stands
};
using RecordVisitor = std::function<void(const WalkedRecord& walked)>;

// Walks the record chain, one record at a time. 15 when it cannot be
// walked (a cycle, a block outside the data area, an undecodable entry);
// stops after recordCount records, and a shorter chain gives the records it
// has.
ErrorCode walkRecords(const TsqFile& file, const RecordVisitor& visit);

// The header, the layout, the sort item and the DataHeader's reserved word:
// an image without records or SMS texts.
DatabaseImage layoutImageOf(const TsqFile& file);

// The remembered SMS texts into image. 15 when one is no readable Text.
ErrorCode readSmsTexts(const TsqFile& file, DatabaseImage& image);

// The whole file as an image: header, layout, sort item, records in chain
// order and the remembered SMS texts. 15 as walkRecords and readSmsTexts
// give it.
ErrorCode imageFromFile(const TsqFile& file, DatabaseImage& image);

// The system's message for code.
std::string messageOf(ErrorCode code);

}  // namespace tsq
