// Searching in the store: the stored criteria of SearchButtons over every
// operator and type, the marks and the current record they leave, the key
// search among sorted keys, and files or criteria that cannot be searched.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/emulator.h"
#include "platform/text.h"
#include "records/encoding.h"
#include "records/search.h"
#include "storage/data_cache.h"
#include "storage/open.h"
#include "storage/writer.h"
#include "tests/support/tsq_fixture.h"

using namespace tsqtest;

namespace {

TEST(ContainsText, ComparesOneUnitAtATimeIgnoringCase) {
  struct Case {
    const char16_t* text;
    const char16_t* part;
    bool contained;
  };
  const Case cases[] = {
      {u"Anna Berg", u"BERG", true},  {u"Anna Berg", u"na b", true}, {u"Anna Berg", u"Bergs", false},
      {u"aab", u"ab", true},          {u"ab", u"ba", false},         {u"x", u"x", true},
      {u"abc", u"", true},            {u"", u"", false},             {u"", u"a", false},
      {u"Straße", u"SSE", false},     {u"ÄRGER", u"är", true},
  };
  for (const Case& c : cases) EXPECT_EQ(containsText(c.text, c.part), c.contained) << platform::toUtf8(c.text) << " / " << platform::toUtf8(c.part);
}

// ---- Stored searches ---------------------------------------------------------

enum Item { Name, Count, Day, Note, Paid, Group, Caption };

SYSTEMTIME day(WORD d, WORD hour = 0) { return SYSTEMTIME{2024, 3, 0, d, hour, 0, 0, 0}; }

struct Row {
  std::u16string name;
  std::optional<std::int32_t> count;
  std::optional<SYSTEMTIME> day;
  std::u16string note;  // empty: none
  bool paid = false;
  std::u16string group;
};

DatabaseImage rows(const std::vector<Row>& records, std::uint32_t sortItem = noItem) {
  DatabaseImage image;
  image.items.push_back(valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  image.items.push_back(valueItem(ItemKind::Field, ValueType::Integer, 2, u"Count"));
  image.items.push_back(valueItem(ItemKind::Field, ValueType::Date, 3, u"Day"));
  image.items.push_back(valueItem(ItemKind::Field, ValueType::Text, 4, u"Note"));
  image.items.push_back(valueItem(ItemKind::CheckBox, ValueType::YesNo, 5, u"Paid"));
  image.items.push_back(valueItem(ItemKind::PickList, ValueType::Text, 6, u"Group"));
  image.items[Group].choices = {u"Home", u"Work"};
  // A label's caption is no record's text.
  image.items.push_back(valueItem(ItemKind::Label, ValueType::Text, 0xFFFF, u"findme"));
  for (std::size_t i = 0; i < image.items.size(); ++i) image.items[i].row = static_cast<std::int32_t>(i);
  image.sortItem = sortItem;
  for (const Row& r : records) {
    RecordImage record;
    if (!r.name.empty()) record.values.push_back(textValue(1, r.name));
    if (r.count) record.values.push_back(integerValue(2, *r.count));
    if (r.day) record.values.push_back(calendarValue(3, ValueType::Date, *r.day));
    if (!r.note.empty()) record.values.push_back(textValue(4, r.note));
    if (r.paid) record.values.push_back(yesNoValue(5, true));
    if (!r.group.empty()) record.values.push_back(textValue(6, r.group));
    image.records.push_back(record);
  }
  return image;
}

const std::vector<Row> people = {
    {u"Ann", 10, day(1), u"likes tea", true, u"Home"},
    {u"bob", 19, day(2, 18), u"", false, u"Work"},
    {u"Cid", 20, {}, u"Tea at four", false, u""},
    {u"Dee", {}, day(3), u"x", true, u"Home"},
    {u"Eve", -5, day(2, 6), u"", false, u"Work"},
};

SearchCriterion criterion(std::uint32_t item, std::uint8_t op, FieldValue value) {
  SearchCriterion c;
  c.item = item;
  c.op = op;
  c.value = value;
  return c;
}
SearchData search(std::vector<SearchCriterion> criteria, bool matchAll) {
  SearchData data;
  data.criterionCount = static_cast<std::uint8_t>(criteria.size());
  for (std::size_t i = 0; i < criteria.size() && i < maxCriteria; ++i) data.criteria[i] = criteria[i];
  data.matchAll = matchAll ? 1 : 0;
  return data;
}

class Searches : public ::testing::Test {
 protected:
  void SetUp() override { platform::setFixedLocalTime(SYSTEMTIME{2026, 1, 4, 15, 10, 30, 0, 0}); }
  void TearDown() override {
    platform::setFixedLocalTime(std::nullopt);
    platform::clearFileFaults();
  }

  Store& open(const DatabaseImage& image) {
    tsq = std::make_unique<OpenTsq>(image);
    EXPECT_EQ(tsq->open(), err::ok);
    EXPECT_EQ(loadIndex(tsq->store()), err::ok);
    return tsq->store();
  }
  void makeCurrent(Store& store, std::int32_t entry) {
    store.records.currentEntry = entry;
    store.records.currentRecord = entry >= 0 ? store.records.index[entry].position : noPosition;
    ASSERT_EQ(loadRecordValues(store), err::ok);
  }
  // The names of the included records, in index order.
  std::vector<std::u16string> included(Store& store) {
    std::vector<std::u16string> names;
    for (std::uint32_t i = 0; i < store.file.header.recordCount; ++i)
      if ((store.records.index[i].flags & includedFlag) != 0) names.push_back(nameOf(store, i));
    return names;
  }
  std::u16string nameOf(Store& store, std::uint32_t entry) {
    const Position current = store.records.currentRecord;
    store.records.currentRecord = store.records.index[entry].position;
    EXPECT_EQ(loadRecordValues(store), err::ok);
    std::u16string name = store.layout.items[Name].value.payload.text.chars;
    store.records.currentRecord = current;
    EXPECT_EQ(loadRecordValues(store), err::ok);
    return name;
  }
  std::uint32_t marksOf(Store& store) {
    std::uint32_t bits = 0;
    for (std::uint32_t i = 0; i < store.file.header.recordCount; ++i)
      if ((store.records.index[i].flags & includedFlag) != 0) bits |= 1u << i;
    return bits;
  }

  std::unique_ptr<OpenTsq> tsq;
};

TEST_F(Searches, EveryOperatorOnEveryKindOfValue) {
  const FieldValue noDay = calendarValue(3, ValueType::Date, day(1), 1);
  struct Case {
    const char* what;
    SearchData data;
    std::vector<std::u16string> names;
  };
  const Case cases[] = {
      {"10 to 19, no value counting as 0",
       search({criterion(Count, op::greaterOrEqual, integerValue(2, 10)), criterion(Count, op::less, integerValue(2, 20))},
              true),
       {u"Ann", u"bob"}},
      {"below 1 includes the record without a count", search({criterion(Count, op::less, integerValue(2, 1))}, false),
       {u"Dee", u"Eve"}},
      {"equal ignores case", search({criterion(Name, op::equal, textValue(1, u"BOB"))}, false), {u"bob"}},
      {"not equal", search({criterion(Name, op::notEqual, textValue(1, u"ann"))}, false),
       {u"bob", u"Cid", u"Dee", u"Eve"}},
      {"greater", search({criterion(Count, op::greater, integerValue(2, 19))}, false), {u"Cid"}},
      {"less or equal", search({criterion(Count, op::lessOrEqual, integerValue(2, 10))}, false),
       {u"Ann", u"Dee", u"Eve"}},
      {"a day is one value whatever its time", search({criterion(Day, op::equal, calendarValue(3, ValueType::Date, day(2, 9)))}, false),
       {u"bob", u"Eve"}},
      {"no date is below every date", search({criterion(Day, op::less, calendarValue(3, ValueType::Date, day(2)))}, false),
       {u"Ann", u"Cid"}},
      {"equal to no date", search({criterion(Day, op::equal, noDay)}, false), {u"Cid"}},
      {"a check box", search({criterion(Paid, op::equal, yesNoValue(5, true))}, false), {u"Ann", u"Dee"}},
      {"an unchecked box is no", search({criterion(Paid, op::equal, yesNoValue(5, false))}, false),
       {u"bob", u"Cid", u"Eve"}},
      {"a pick list's text", search({criterion(Group, op::equal, textValue(6, u"work"))}, false), {u"bob", u"Eve"}},
      {"contains ignores case", search({criterion(Note, op::contains, textValue(4, u"TEA"))}, false),
       {u"Ann", u"Cid"}},
      {"contains the empty text: every record with a text",
       search({criterion(Note, op::contains, textValue(4, u""))}, false), {u"Ann", u"Cid", u"Dee"}},
      {"any Text item, pick lists included, labels not",
       search({criterion(anyTextItem, op::contains, textValue(0, u"o"))}, false), {u"Ann", u"bob", u"Cid", u"Dee", u"Eve"}},
      {"any Text item, one match", search({criterion(anyTextItem, op::contains, textValue(0, u"x"))}, false), {u"Dee"}},
      {"any Text item finds no caption", search({criterion(anyTextItem, op::contains, textValue(0, u"findme"))}, false),
       {}},
      {"matchAll clear: one holding criterion is enough",
       search({criterion(Name, op::equal, textValue(1, u"cid")), criterion(Paid, op::equal, yesNoValue(5, true)),
               criterion(Count, op::less, integerValue(2, 0))},
              false),
       {u"Ann", u"Cid", u"Dee", u"Eve"}},
      {"matchAll set: every criterion must hold",
       search({criterion(Paid, op::equal, yesNoValue(5, true)), criterion(Group, op::equal, textValue(6, u"Home")),
               criterion(Day, op::greater, calendarValue(3, ValueType::Date, day(2)))},
              true),
       {u"Dee"}},
      {"no criteria: every record", search({}, false), {u"Ann", u"bob", u"Cid", u"Dee", u"Eve"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Store& store = open(rows(people));
    makeCurrent(store, 0);
    ASSERT_EQ(markRecords(store, c.data), err::ok);
    EXPECT_EQ(included(store), c.names);
    EXPECT_EQ(store.records.includedCount, c.names.size());
  }
}

TEST_F(Searches, TheCurrentRecordStaysOrTheNearestIncludedOneTakesItsPlace) {
  // Names as included by "Count below 1" (Dee, Eve) or by equal names.
  const SearchData lowCounts = search({criterion(Count, op::less, integerValue(2, 1))}, false);
  const SearchData onlyAnn = search({criterion(Name, op::equal, textValue(1, u"Ann"))}, false);
  const SearchData nobody = search({criterion(Name, op::equal, textValue(1, u"Zed"))}, false);
  struct Case {
    std::int32_t current;
    const SearchData* data;
    std::int32_t next;
  };
  const Case cases[] = {
      {3, &lowCounts, 3},  // still included: stays
      {1, &lowCounts, 3},  // excluded: the next included one
      {4, &onlyAnn, 0},    // nothing after it: the nearest before
      {-1, &lowCounts, 3}, // none current: the first included one
      {2, &nobody, -1},    // nothing included: no current record
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "current " << c.current);
    Store& store = open(rows(people));
    makeCurrent(store, c.current);
    ASSERT_EQ(markRecords(store, *c.data), err::ok);
    EXPECT_EQ(store.records.currentEntry, c.next);
    EXPECT_EQ(store.records.currentRecord, c.next >= 0 ? store.records.index[c.next].position : noPosition);
    if (c.next < 0) {
      // The empty form must not keep the last record's header: a record
      // stored from it would take that record's entries for its own.
      EXPECT_EQ(store.records.currentRecordHeader.firstField, noPosition);
      EXPECT_EQ(store.records.currentRecordHeader.nextRecord, noPosition);
    }
  }
}

TEST_F(Searches, AllIncludedAgainAfterNothingWasMakesTheFirstCurrent) {
  Store& store = open(rows(people));
  makeCurrent(store, 2);
  ASSERT_EQ(markRecords(store, search({criterion(Name, op::equal, textValue(1, u"Zed"))}, false)), err::ok);
  ASSERT_EQ(store.records.currentEntry, -1);
  ASSERT_EQ(store.records.includedCount, 0u);
  ASSERT_EQ(markRecords(store, search({}, false)), err::ok);
  EXPECT_EQ(store.records.includedCount, 5u);
  EXPECT_EQ(store.records.currentEntry, 0);
  EXPECT_EQ(store.records.currentRecord, store.records.index[0].position);
}

// Criteria that do not fit the layout are refused before any mark changes.
TEST_F(Searches, CriteriaThatDoNotFitTheLayoutChangeNothing) {
  struct Case {
    const char* what;
    SearchCriterion criterion;
  };
  const Case cases[] = {
      {"a constant of another type", criterion(Count, op::equal, textValue(2, u"10"))},
      {"a date constant for a time of day", criterion(Day, op::equal, calendarValue(3, ValueType::Time, day(1)))},
      {"contains on a number", criterion(Count, op::contains, textValue(2, u"1"))},
      {"contains with a constant that is no text", criterion(Note, op::contains, integerValue(4, 1))},
      {"any Text item with another operator", criterion(anyTextItem, op::equal, textValue(0, u"a"))},
      {"an item outside the layout", criterion(7, op::equal, integerValue(2, 1))},
      {"an operator below 10", criterion(Count, 9, integerValue(2, 1))},
      {"an operator above 16", criterion(Count, 17, integerValue(2, 1))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Store& store = open(rows(people));
    makeCurrent(store, 1);
    ASSERT_EQ(markRecords(store, search({criterion(Count, op::greater, integerValue(2, 0))}, false)), err::ok);
    const std::uint32_t marks = marksOf(store);
    ASSERT_EQ(marks, 0b00111u);
    // The refused criterion comes second: the first one alone would change marks.
    const SearchData data = search({criterion(Paid, op::equal, yesNoValue(5, true)), c.criterion}, false);
    EXPECT_EQ(checkCriteria(store.layout, data), err::internal);
    EXPECT_EQ(markRecords(store, data), err::internal);
    EXPECT_EQ(marksOf(store), marks);
    EXPECT_EQ(store.records.includedCount, 3u);
    EXPECT_EQ(store.records.currentEntry, 1);
  }
}

// Records long enough to fill several pages of the read cache, so that a
// read fails part-way through the records.
DatabaseImage longNotes(int count) {
  std::vector<Row> list;
  for (int i = 0; i < count; ++i) {
    Row r;
    r.name = u"n" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
    r.count = i;
    r.note = std::u16string(250, static_cast<char16_t>(u'a' + i % 3));
    list.push_back(r);
  }
  return rows(list);
}

TEST_F(Searches, AReadFailingAtAnyRecordLeavesMarksAndCurrentRecordAsTheyWere) {
  const SearchData evens = search({criterion(Note, op::contains, textValue(4, u"b"))}, false);
  int failAt = 0;
  for (;; ++failAt) {
    SCOPED_TRACE(testing::Message() << "read " << failAt);
    Store& store = open(longNotes(24));
    makeCurrent(store, 3);
    ASSERT_EQ(markRecords(store, search({criterion(Count, op::greater, integerValue(2, 1))}, false)), err::ok);
    const std::uint32_t marks = marksOf(store);
    const std::uint32_t count = store.records.includedCount;
    clearCache(store.file.cache);
    platform::clearFileFaults();
    platform::failFileOperation(platform::FileOp::Read, failAt);
    const ErrorCode code = markRecords(store, evens);
    const bool fired = platform::fileFaultsFired() > 0;
    platform::clearFileFaults();
    if (!fired) {
      EXPECT_EQ(code, err::ok);
      EXPECT_EQ(store.records.includedCount, 8u);
      break;
    }
    EXPECT_EQ(code, err::readData);
    EXPECT_EQ(marksOf(store), marks);
    EXPECT_EQ(store.records.includedCount, count);
    EXPECT_EQ(store.records.currentEntry, 3);
    EXPECT_EQ(store.records.currentRecord, store.records.index[3].position);
  }
  EXPECT_GT(failAt, 1);  // the records span more than one page
}

// A record whose chain of entries leads back into itself is a damaged
// file: the search ends with 15 instead of walking forever.
TEST_F(Searches, AChainThatLoopsIsRefused) {
  const DatabaseImage image = rows({{u"Ann", 1, {}, u"", false, u""}, {u"Bob", 2, {}, u"", false, u""}});
  std::vector<std::uint8_t> bytes = encodeDatabase(image);
  DatabaseImage empty = image;
  empty.records.clear();
  const std::size_t dataBase = encodeDatabase(empty).size() - dataHeaderSize;
  // The first record's header stands behind the DataHeader, its first entry
  // behind the header: that entry's next names the entry itself.
  const std::uint32_t entry = dataHeaderSize + recordHeaderSize;
  for (int b = 0; b < 4; ++b) bytes[dataBase + entry + b] = static_cast<std::uint8_t>(entry >> (8 * b));
  tsq = std::make_unique<OpenTsq>(bytes);
  ASSERT_EQ(tsq->open(), err::ok);
  Store& store = tsq->store();
  ASSERT_EQ(loadIndex(store), err::ok);
  EXPECT_EQ(markRecords(store, search({criterion(Count, op::equal, integerValue(2, 2))}, false)), err::readData);
  EXPECT_EQ(store.records.includedCount, 2u);
}

// ---- The key search --------------------------------------------------------------

TEST_F(Searches, TheKeySearchFindsTheFirstIncludedKeyNotBelowTheProbe) {
  // Sorted by Name as the file stores them.
  std::vector<Row> sorted;
  for (const char16_t* name : {u"alice", u"Bob", u"bob", u"Bob", u"bobby", u"Carl", u"dora"}) {
    sorted.emplace_back();
    sorted.back().name = name;
  }
  struct Case {
    const char16_t* probe;
    std::uint32_t excluded;  // entries marked not included
    std::int32_t entry;      // -1: not found
  };
  const Case cases[] = {
      {u"a", 0, 0},           // below every key: the first
      {u"BO", 0, 1},          // a prefix in another case: the first starting with it
      {u"bob", 0, 1},         // a run of equal keys: its first
      {u"bobb", 0, 4},        // between keys: the next greater
      {u"c", 0, 5},
      {u"zed", 0, -1},        // above every key
      {u"bob", 0b0001110, 4}, // the run excluded: the next included one
      {u"Carl", 0b1100000, -1},  // only excluded ones follow
      {u"", 0b0000001, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::toUtf8(c.probe));
    Store& store = open(rows(sorted, Name));
    for (std::uint32_t i = 0; i < 7; ++i)
      if ((c.excluded >> i) & 1) {
        store.records.index[i].flags &= ~includedFlag;
        store.records.includedCount -= 1;
      }
    std::int32_t entry = -1;
    const ErrorCode code = findKey(store, textValue(1, c.probe), entry);
    if (c.entry < 0) {
      EXPECT_EQ(code, err::recordNotFound);
    } else {
      EXPECT_EQ(code, err::ok);
      EXPECT_EQ(entry, c.entry);
    }
  }
}

TEST_F(Searches, TheKeySearchNeedsASortOrder) {
  Store& store = open(rows(people));
  std::int32_t entry = -1;
  EXPECT_EQ(findKey(store, textValue(1, u"Ann"), entry), err::noSortOrder);
}

}  // namespace
