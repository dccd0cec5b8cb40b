#include "records/search.h"

#include <memory>
#include <new>
#include <vector>

#include "records/compare.h"
#include "records/encoding.h"
#include "storage/checks.h"
#include "storage/primitives.h"
#include "storage/store.h"

namespace {

constexpr std::uint8_t textType = static_cast<std::uint8_t>(ValueType::Text);

// The values one record holds for the items the criteria look at: what it
// stores, or the item's empty value. Read beside the form's own values, so
// that evaluating every record leaves the current record as it was.
struct RecordValues {
  std::vector<std::int32_t> wanted;  // the items read, in layout order
  std::vector<bool> isWanted;        // per item
  std::vector<FieldValue> empty;     // per wanted item, by layout index
  std::vector<FieldValue> values;    // per item; only wanted ones are filled
};

void want(RecordValues& record, const Layout& layout, std::int32_t item) {
  if (record.isWanted[static_cast<std::size_t>(item)]) return;
  record.isWanted[static_cast<std::size_t>(item)] = true;
  record.wanted.push_back(item);
  FieldValue& empty = record.empty[static_cast<std::size_t>(item)];
  empty = layout.items[item].value;
  empty.next = noPosition;
  resetValue(empty);
}

void prepare(RecordValues& record, const Layout& layout, const SearchData& search) {
  const auto count = static_cast<std::size_t>(layout.itemCount);
  record.isWanted.assign(count, false);
  record.empty.assign(count, FieldValue{});
  record.values.assign(count, FieldValue{});
  for (int c = 0; c < search.criterionCount; ++c) {
    const SearchCriterion& criterion = search.criteria[c];
    if (criterion.item != anyTextItem) {
      want(record, layout, static_cast<std::int32_t>(criterion.item));
      continue;
    }
    for (std::int32_t i = 0; i < layout.itemCount; ++i)
      if (layout.items[i].valueType == textType) want(record, layout, i);
  }
}

// Reads the record at position into record.values, matching its entries to
// items as loading it into the form does. Every header and entry takes a
// step of the budget that all records share.
ErrorCode readRecord(Store& store, Position position, RecordValues& record, StepBudget& budget) {
  for (std::int32_t i : record.wanted) record.values[static_cast<std::size_t>(i)] = record.empty[static_cast<std::size_t>(i)];
  RecordHeader header;
  if (!budget.take()) return err::readData;
  if (ErrorCode code = readRecordHeader(store.file, position, header)) return code;
  ChainWalk walk(store.file);
  FieldValue scratch;
  for (Position at = header.firstField; at != noPosition; at = scratch.next) {
    if (!walk.step(at) || !budget.take()) return err::readData;
    if (ErrorCode code = readFieldValue(store.file, at, scratch)) return code;
    const std::int32_t item = itemHolding(store, scratch.valueType, scratch.fieldId);
    if (item >= 0 && record.isWanted[static_cast<std::size_t>(item)]) record.values[static_cast<std::size_t>(item)] = scratch;
  }
  return err::ok;
}

ErrorCode holds(const SearchCriterion& criterion, const Layout& layout, const RecordValues& record, bool& result) {
  result = false;
  if (criterion.op == op::contains) {
    const char16_t* part = criterion.value.payload.text.chars;
    if (criterion.item != anyTextItem) {
      result = containsText(record.values[criterion.item].payload.text.chars, part);
      return err::ok;
    }
    for (std::int32_t i = 0; i < layout.itemCount && !result; ++i)
      if (layout.items[i].valueType == textType)
        result = containsText(record.values[static_cast<std::size_t>(i)].payload.text.chars, part);
    return err::ok;
  }
  int order = 0;
  if (ErrorCode code = compareValues(criterion.value, record.values[criterion.item], order)) return code;
  // The record's value against the criterion's: the comparison's sign reversed.
  const int recordOrder = order < 0 ? 1 : (order > 0 ? -1 : 0);
  switch (criterion.op) {
    case op::equal: result = recordOrder == 0; break;
    case op::notEqual: result = recordOrder != 0; break;
    case op::less: result = recordOrder < 0; break;
    case op::greater: result = recordOrder > 0; break;
    case op::lessOrEqual: result = recordOrder <= 0; break;
    case op::greaterOrEqual: result = recordOrder >= 0; break;
    default: return internalError();
  }
  return err::ok;
}

// With matchAll the first criterion that fails decides, without it the
// first that holds; otherwise the last one's outcome stands.
ErrorCode matches(const SearchData& search, const Layout& layout, const RecordValues& record, bool& included) {
  included = true;
  for (int c = 0; c < search.criterionCount; ++c) {
    if (ErrorCode code = holds(search.criteria[c], layout, record, included)) return code;
    if (search.matchAll != 0 ? !included : included) break;
  }
  return err::ok;
}

}  // namespace

bool containsText(const char16_t* text, const char16_t* part) {
  const std::size_t length = wcslen16(text);
  const std::size_t partLength = wcslen16(part);
  if (length == 0 || partLength > length) return false;
  for (std::size_t at = 0; at + partLength <= length; ++at) {
    std::size_t k = 0;
    while (k < partLength && _wcsnicmp(text + at + k, part + k, 1) == 0) ++k;
    if (k == partLength) return true;
  }
  return false;
}

std::int32_t nearestIncluded(const RecordSet& records, std::uint32_t count, std::int32_t from) {
  if (records.index == nullptr || count == 0) return -1;
  const std::uint32_t start = from < 0 ? 0 : static_cast<std::uint32_t>(from);
  for (std::uint32_t i = start; i < count; ++i)
    if ((records.index[i].flags & includedFlag) != 0) return static_cast<std::int32_t>(i);
  for (std::uint32_t i = start < count ? start : count; i-- > 0;)
    if ((records.index[i].flags & includedFlag) != 0) return static_cast<std::int32_t>(i);
  return -1;
}

ErrorCode checkCriteria(const Layout& layout, const SearchData& search) {
  if (search.criterionCount > maxCriteria) return internalError();
  const auto itemCount = static_cast<std::uint32_t>(layout.itemCount < 0 ? 0 : layout.itemCount);
  for (int c = 0; c < search.criterionCount; ++c) {
    const SearchCriterion& criterion = search.criteria[c];
    if (criterion.op < op::equal || criterion.op > op::contains) return internalError();
    if (criterion.op == op::contains) {
      if (criterion.value.valueType != textType) return internalError();
      if (criterion.item == anyTextItem) continue;
      if (criterion.item >= itemCount || layout.items[criterion.item].valueType != textType) return internalError();
      continue;
    }
    if (criterion.item >= itemCount) return internalError();
    const std::uint8_t type = layout.items[criterion.item].valueType;
    if (!isKnownValueType(type) || criterion.value.valueType != type) return internalError();
  }
  return err::ok;
}

ErrorCode markRecords(Store& store, const SearchData& search) {
  if (ErrorCode code = checkCriteria(store.layout, search)) return code;
  RecordSet& records = store.records;
  const std::uint32_t count = store.file.header.recordCount;
  if (count > 0 && records.index == nullptr) return internalError();

  std::unique_ptr<bool[]> marks(new (std::nothrow) bool[count > 0 ? count : 1]);
  if (!marks) return err::memory;
  std::uint32_t included = 0;
  if (search.criterionCount == 0) {
    for (std::uint32_t i = 0; i < count; ++i) marks[i] = true;
    included = count;
  } else {
    RecordValues record;
    prepare(record, store.layout, search);
    // A sound file visits each of its blocks once: one budget for every
    // record keeps chains that share their entries from multiplying the cost.
    StepBudget budget{dataAreaSize(store.file) / freeBlockSize};
    for (std::uint32_t i = 0; i < count; ++i) {
      if (ErrorCode code = readRecord(store, records.index[i].position, record, budget)) return code;
      bool match = false;
      if (ErrorCode code = matches(search, store.layout, record, match)) return code;
      marks[i] = match;
      if (match) ++included;
    }
  }

  for (std::uint32_t i = 0; i < count; ++i) {
    if (marks[i]) {
      records.index[i].flags |= includedFlag;
    } else {
      records.index[i].flags &= ~includedFlag;
    }
  }
  records.includedCount = included;

  const std::int32_t remembered =
      records.currentEntry >= 0 && static_cast<std::uint32_t>(records.currentEntry) < count ? records.currentEntry : -1;
  const std::int32_t next = nearestIncluded(records, count, remembered);
  const Position position = next >= 0 ? records.index[next].position : noPosition;
  if (position != records.currentRecord) records.currentRecordLoaded = false;
  // No stored record's header may stay behind: a new record stored from the
  // empty form would take its chain of entries for its own.
  if (position == noPosition) records.currentRecordHeader = RecordHeader{};
  records.currentEntry = next;
  records.currentRecord = position;
  return err::ok;
}

ErrorCode findKey(Store& store, const FieldValue& probe, std::int32_t& entry) {
  if (store.file.header.sortItem == noItem) return err::noSortOrder;
  std::int32_t at = -1;
  if (ErrorCode code = locateKey(store, probe, false, at)) return code;
  const std::uint32_t count = store.file.header.recordCount;
  for (auto i = static_cast<std::uint32_t>(at); i < count; ++i) {
    if ((store.records.index[i].flags & includedFlag) != 0) {
      entry = static_cast<std::int32_t>(i);
      return err::ok;
    }
  }
  return err::recordNotFound;
}
