#include "tools/tsq/check.h"

#include <algorithm>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include "platform/windows.h"
#include "records/compare.h"
#include "records/encoding.h"
#include "storage/bytes.h"
#include "tools/tsq/codes.h"

namespace tsq {
namespace {

// A stretch of the data area that something claims. What claims it is
// named only when a report needs it: a large file has a great many blocks.
struct Block {
  enum class Kind : std::uint8_t { DataHeader, Record, Entry, Free, SmsNumber, SmsMessage };
  Position position;
  std::uint32_t size;
  Kind kind;
  std::uint32_t index = 0;     // the record's or free block's number, from 1
  Position record = noPosition;  // the record an entry belongs to
};

std::string at(Position position) { return "position " + std::to_string(position); }

std::string recordName(std::uint32_t index, Position position) {
  return "record " + std::to_string(index) + " at " + at(position);
}

std::string ownerOf(const Block& block) {
  switch (block.kind) {
    case Block::Kind::DataHeader: return "the DataHeader";
    case Block::Kind::Record: return recordName(block.index, block.position);
    case Block::Kind::Entry: return recordName(block.index, block.record) + ", field entry at " + at(block.position);
    case Block::Kind::Free: return "free block " + std::to_string(block.index) + " at " + at(block.position);
    case Block::Kind::SmsNumber: return "the remembered SMS number at " + at(block.position);
    case Block::Kind::SmsMessage: return "the remembered SMS message at " + at(block.position);
  }
  return {};
}

// A damaged file could otherwise fill the screen with one fault repeated.
constexpr std::size_t maxProblems = 200;

class Checker {
 public:
  explicit Checker(const TsqFile& file)
      : file_(file), data_(file.data()), header_(readDataHeader(data_)), budget_(file.dataSize() / 8) {}

  std::vector<std::string> run() {
    blocks_.push_back({0, dataHeaderSize, Block::Kind::DataHeader});
    checkSortItem();
    walkRecords();
    walkFreeList();
    checkSmsText(header_.smsNumberValue, Block::Kind::SmsNumber, "the remembered SMS number");
    checkSmsText(header_.smsMessageValue, Block::Kind::SmsMessage, "the remembered SMS message");
    checkOverlaps();
    if (problems_.size() > maxProblems) {
      std::size_t more = problems_.size() - maxProblems;
      problems_.resize(maxProblems);
      problems_.push_back("... and " + std::to_string(more) + " more problems");
    }
    return problems_;
  }

 private:
  void report(std::string line) { problems_.push_back(std::move(line)); }

  // Every block is at least 8 bytes, so a file whose walks take more steps
  // than that in all has blocks that overlap; the walks stop there, so that
  // no file makes the check slow.
  bool step() {
    if (budget_ > 0) {
      --budget_;
      return true;
    }
    if (!exhausted_) report("the records and free blocks claim more blocks than the data area can hold");
    exhausted_ = true;
    return false;
  }

  bool inside(Position position, std::uint32_t length) const {
    return position <= data_.size() && data_.size() - position >= length;
  }

  std::optional<std::uint32_t> sortItem() const {
    if (header_.sortItem == noItem || header_.sortItem >= static_cast<std::uint32_t>(file_.layout->itemCount))
      return std::nullopt;
    return header_.sortItem;
  }

  void checkSortItem() {
    if (header_.sortItem != noItem && !sortItem())
      report("sortItem " + std::to_string(header_.sortItem) + " names no item of the layout");
  }

  // Walks one record's FieldEntries; returns the entry of the sort column.
  std::optional<FieldValue> walkFields(Position first, std::uint32_t index, Position recordAt) {
    const std::string record = recordName(index, recordAt);
    std::optional<FieldValue> key;
    std::optional<std::uint32_t> sorted = sortItem();
    std::set<Position> seen;
    std::set<std::pair<std::uint16_t, std::uint8_t>> columns;
    for (Position position = first; position != noPosition && step();) {
      std::string entry = record + ", field entry at " + at(position);
      if (!seen.insert(position).second) {
        report(record + ": the field chain returns to " + at(position));
        break;
      }
      FieldValue value;
      std::uint32_t size = 0;
      if (!decodeEntry(data_, position, value, size)) {
        if (!inside(position, fieldHeaderSize))
          report(entry + " lies outside the data area");
        else if (!isKnownValueType(data_[position + fieldEntryOffset::valueType]))
          report(entry + ": unknown ValueType " + std::to_string(data_[position + fieldEntryOffset::valueType]));
        else if (!inside(position, size))
          report(entry + " lies outside the data area");
        else
          report(entry + ": its text is not well formed");
        break;
      }
      blocks_.push_back({position, size, Block::Kind::Entry, index, recordAt});
      std::string column = "column " + std::to_string(value.fieldId) + " (" + valueTypeName(value.valueType) + ")";
      if (!columns.insert({value.fieldId, value.valueType}).second) report(record + ": two entries for " + column);
      if (isEmptyValue(value)) report(entry + ": " + column + " holds a stored empty value");
      if (sorted && !key) {
        const LayoutItem& item = file_.layout->items[*sorted];
        if (item.fieldId == value.fieldId && item.valueType == value.valueType) key = value;
      }
      position = value.next;
    }
    return key;
  }

  void walkRecords() {
    // Neighbours are compared: the previous record's key is all it takes.
    std::optional<FieldValue> previousKey;
    std::vector<std::string> unsorted;
    std::set<Position> seen;
    std::uint32_t count = 0;
    bool broken = false;
    for (Position position = header_.firstRecord; position != noPosition && step();) {
      const std::string record = recordName(count + 1, position);
      if (count == header_.recordCount) {
        report("the record chain goes on after recordCount (" + std::to_string(header_.recordCount) + ") records, at " +
               at(position));
        broken = true;
        break;
      }
      if (!seen.insert(position).second) {
        report("the record chain has a cycle: " + record + " was already visited");
        broken = true;
        break;
      }
      if (!inside(position, recordHeaderSize)) {
        report(record + " lies outside the data area");
        broken = true;
        break;
      }
      blocks_.push_back({position, recordHeaderSize, Block::Kind::Record, count + 1});
      RecordHeader header = readRecordHeader(data_, position);
      std::optional<FieldValue> key = walkFields(header.firstField, count + 1, position);
      if (count > 0 && sortItem() &&
          compareKeys(previousKey ? &*previousKey : nullptr, key ? &*key : nullptr) > 0)
        unsorted.push_back("records " + std::to_string(count) + " and " + std::to_string(count + 1) +
                           " are out of sort order");
      previousKey = std::move(key);
      ++count;
      position = header.nextRecord;
    }
    if (!broken && !exhausted_ && count < header_.recordCount)
      report("the record chain holds " + std::to_string(count) + " records, recordCount says " +
             std::to_string(header_.recordCount));
    for (std::string& line : unsorted) report(std::move(line));
  }

  void walkFreeList() {
    std::set<Position> seen;
    std::size_t index = 0;
    for (Position position = header_.freeList; position != noPosition && step(); ++index) {
      std::string block = "free block " + std::to_string(index + 1) + " at " + at(position);
      if (!seen.insert(position).second) {
        report("the free list has a cycle: " + block + " was already visited");
        return;
      }
      if (!inside(position, freeBlockSize)) {
        report(block + " lies outside the data area");
        return;
      }
      std::uint32_t size = loadU32(data_.data() + position + freeBlockOffset::size);
      if (size < freeBlockSize) report(block + " is " + std::to_string(size) + " bytes, less than 8");
      if (!inside(position, size)) report(block + " of " + std::to_string(size) + " bytes runs past the data area");
      std::uint32_t claimed = std::max(freeBlockSize, std::min<std::uint32_t>(size, static_cast<std::uint32_t>(data_.size() - position)));
      blocks_.push_back({position, claimed, Block::Kind::Free, static_cast<std::uint32_t>(index + 1)});
      position = loadU32(data_.data() + position + freeBlockOffset::next);
    }
  }

  void checkSmsText(Position position, Block::Kind kind, const std::string& name) {
    if (position == noPosition) return;
    FieldValue value;
    std::uint32_t size = 0;
    if (!decodeEntry(data_, position, value, size)) {
      report(name + " at " + at(position) + " is not a readable text entry");
      return;
    }
    if (value.valueType != static_cast<std::uint8_t>(ValueType::Text))
      report(name + " at " + at(position) + " is not a Text entry");
    blocks_.push_back({position, size, kind});
  }

  void checkOverlaps() {
    // Stable, so that of two equal blocks the later claimant is named first.
    std::stable_sort(blocks_.begin(), blocks_.end(), [](const Block& a, const Block& b) {
      return std::tie(a.position, a.size) < std::tie(b.position, b.size);
    });
    // The block reaching furthest so far; each later start before its end overlaps it.
    const Block* reach = nullptr;
    for (const Block& block : blocks_) {
      if (reach && block.position < std::uint64_t{reach->position} + reach->size)
        report(ownerOf(block) + " overlaps " + ownerOf(*reach));
      if (!reach || std::uint64_t{block.position} + block.size > std::uint64_t{reach->position} + reach->size)
        reach = &block;
    }
  }

  const TsqFile& file_;
  std::span<const std::uint8_t> data_;
  DataHeader header_;
  std::vector<Block> blocks_;
  std::vector<std::string> problems_;
  std::uint32_t budget_;
  bool exhausted_ = false;
};


}  // namespace

int compareKeys(const FieldValue* a, const FieldValue* b) {
  const FieldValue* typed = a != nullptr ? a : b;
  if (typed == nullptr) return 0;
  // A record without an entry orders by its column's empty value, exactly
  // as the program places records.
  FieldValue empty = *typed;
  resetValue(empty);
  int result = 0;
  compareValues(a != nullptr ? *a : empty, b != nullptr ? *b : empty, result);
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

std::vector<std::string> checkFile(const TsqFile& file) { return Checker(file).run(); }

}  // namespace tsq
