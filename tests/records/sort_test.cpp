// The order the Sort command gives: the quicksort's own steps, equal keys
// included, reached by ranking and replay as by comparing stored values;
// and relinking the chain in the file into it.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/emulator.h"
#include "records/encoding.h"
#include "records/relink.h"
#include "records/sort.h"
#include "storage/open.h"
#include "storage/writer.h"
#include "tests/support/tsq_fixture.h"

using namespace tsqtest;

namespace {

// The quicksort as the algorithm reads, over ranks: the reference the
// replay must agree with.
std::vector<std::uint32_t> directOrder(const std::vector<std::uint32_t>& ranks) {
  const std::size_t n = ranks.size();
  std::vector<std::uint32_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<std::uint32_t>(i);
  if (n < 2) return order;
  auto rank = [&](std::size_t place) { return ranks[order[place]]; };
  std::vector<std::pair<std::size_t, std::size_t>> stack{{0, n - 1}};
  while (!stack.empty()) {
    auto [low, high] = stack.back();
    stack.pop_back();
    std::size_t i = low;
    std::size_t j = high + 1;
    for (;;) {
      do ++i;
      while (i != n && rank(i) < rank(low));
      do --j;
      while (rank(low) < rank(j));
      if (j > i) {
        std::swap(order[i], order[j]);
        continue;
      }
      std::swap(order[low], order[j]);
      if (j > low + 1) stack.emplace_back(low, j - 1);
      if (high > j + 1) stack.emplace_back(j + 1, high);
      break;
    }
  }
  return order;
}

// Worked out by hand from the algorithm's steps.
TEST(Quicksort, EqualKeysEndWhereItsStepsLeaveThem) {
  struct Case {
    std::vector<std::uint32_t> ranks;
    std::vector<std::uint32_t> order;
  };
  const Case cases[] = {
      {{}, {}},
      {{5}, {0}},
      {{0, 1, 2}, {0, 1, 2}},
      {{2, 1, 0}, {2, 1, 0}},
      {{0, 0, 0}, {2, 0, 1}},
      {{1, 1, 0}, {2, 0, 1}},
      {{1, 0, 1, 0}, {1, 3, 0, 2}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(quicksortOrder(c.ranks), c.order);
    EXPECT_EQ(directOrder(c.ranks), c.order);
  }
}

TEST(Quicksort, TheReplayGivesTheDirectOrderOnEveryInput) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 400; ++round) {
    const std::size_t n = random() % 120;
    const std::uint32_t distinct = 1 + random() % 12;
    std::vector<std::uint32_t> ranks(n);
    for (auto& r : ranks) r = static_cast<std::uint32_t>(random() % distinct);
    if (round % 10 == 1) std::sort(ranks.begin(), ranks.end());
    if (round % 10 == 2) std::sort(ranks.rbegin(), ranks.rend());
    const std::vector<std::uint32_t> direct = directOrder(ranks);
    ASSERT_EQ(quicksortOrder(ranks), direct) << "round " << round;
    ASSERT_EQ(replayQuicksortOrder(ranks), direct) << "round " << round;
  }
}

// Where the quicksort would turn quadratic it gives up part of the way and
// the replay starts over: the order is still the quicksort's own.
TEST(Quicksort, AQuicksortThatGivesUpHandsOverToTheReplay) {
  std::mt19937 random(20261211);
  const std::vector<std::uint32_t> sorted = [] {
    std::vector<std::uint32_t> ranks(3000);
    for (std::size_t i = 0; i < ranks.size(); ++i) ranks[i] = static_cast<std::uint32_t>(i / 2);
    return ranks;
  }();
  const std::vector<std::uint32_t> reversed(sorted.rbegin(), sorted.rend());
  // In order but for a few exchanged pairs, and random keys behind an ordered run.
  std::vector<std::uint32_t> nearly = sorted;
  for (int k = 0; k < 10; ++k) std::swap(nearly[random() % nearly.size()], nearly[random() % nearly.size()]);
  std::vector<std::uint32_t> mixed = sorted;
  for (std::size_t i = mixed.size() / 2; i < mixed.size(); ++i) mixed[i] = static_cast<std::uint32_t>(random() % 100);
  for (const std::vector<std::uint32_t>& ranks : {sorted, reversed, nearly, mixed}) {
    EXPECT_EQ(quicksortOrder(ranks), directOrder(ranks));
  }
}

TEST(Quicksort, AColumnAlreadyInOrderIsNoWorstCase) {
  // A first-element pivot would compare about n * n / 2 times here; the
  // replay finds each scan's stop in logarithmic time.
  std::vector<std::uint32_t> ranks(200000);
  for (std::size_t i = 0; i < ranks.size(); ++i) ranks[i] = static_cast<std::uint32_t>(i / 3);
  const std::vector<std::uint32_t> order = quicksortOrder(ranks);
  for (std::size_t i = 1; i < order.size(); ++i) ASSERT_LE(ranks[order[i - 1]], ranks[order[i]]);
}

// ---- Over stored values ---------------------------------------------------------

DatabaseImage oneColumn(ValueType type, const std::vector<std::function<void(RecordImage&)>>& records) {
  DatabaseImage image;
  image.items.push_back(valueItem(type == ValueType::YesNo ? ItemKind::CheckBox : ItemKind::Field, type, 1, u"Key"));
  image.items.push_back(valueItem(ItemKind::Field, ValueType::Integer, 2, u"Id"));
  image.items[1].row = 1;
  for (std::size_t i = 0; i < records.size(); ++i) {
    RecordImage record;
    records[i](record);
    record.values.push_back(integerValue(2, static_cast<std::int32_t>(i + 1)));
    image.records.push_back(record);
  }
  return image;
}

// The records' Ids in the order the index lists them.
std::vector<std::int32_t> ids(Store& store, const std::vector<RecordIndexEntry>& index) {
  std::vector<std::int32_t> out;
  for (const RecordIndexEntry& entry : index) {
    store.records.currentRecord = entry.position;
    EXPECT_EQ(loadRecordValues(store), err::ok);
    out.push_back(store.layout.items[1].value.payload.integer);
  }
  return out;
}

SYSTEMTIME day(WORD d, WORD hour = 0) { return SYSTEMTIME{2024, 3, 0, d, hour, 0, 0, 0}; }
SYSTEMTIME clock(WORD h, WORD m, WORD s, WORD day = 30) { return SYSTEMTIME{1899, 12, 0, day, h, m, s, 0}; }

class StoredSort : public ::testing::Test {
 protected:
  void SetUp() override { platform::setFixedLocalTime(SYSTEMTIME{2026, 1, 4, 15, 10, 30, 0, 0}); }
  void TearDown() override { platform::setFixedLocalTime(std::nullopt); }

  Store& open(const DatabaseImage& image) {
    tsq = std::make_unique<OpenTsq>(image);
    EXPECT_EQ(tsq->open(), err::ok);
    EXPECT_EQ(loadIndex(tsq->store()), err::ok);
    return tsq->store();
  }
  // The plan's order, checked against sorting the chain's entries by
  // comparing stored values.
  std::vector<std::int32_t> sortedIds(Store& store) {
    SortPlan plan;
    EXPECT_EQ(planSort(store, 0, plan), err::ok);
    std::vector<RecordIndexEntry> chainOrder(store.records.index, store.records.index + plan.index.size());
    for (auto& entry : chainOrder)
      for (const auto& planned : plan.index)
        if (planned.position == entry.position) entry.keyPosition = planned.keyPosition;
    const auto n = static_cast<std::uint32_t>(chainOrder.size());
    if (n > 1) {
      EXPECT_EQ(sortIndex(store, 0, chainOrder.data(), n, 0, n - 1), err::ok);
    }
    const std::vector<std::int32_t> planned = ids(store, plan.index);
    EXPECT_EQ(planned, ids(store, chainOrder)) << "the plan differs from comparing stored values";
    return planned;
  }
  std::unique_ptr<OpenTsq> tsq;
};

TEST_F(StoredSort, EveryTypeOrdersAsItsValuesCompare) {
  using Make = std::function<void(RecordImage&)>;
  auto text = [](std::u16string t) -> Make { return [t](RecordImage& r) { r.values.push_back(textValue(1, t)); }; };
  auto none = [](RecordImage&) {};
  struct Case {
    const char* name;
    ValueType type;
    std::vector<Make> records;
    std::vector<std::int32_t> order;
  };
  const Case cases[] = {
      // Case is ignored, no text sorts first, and "b" and "B" are equal:
      // the pivot b first goes behind B.
      {"Text", ValueType::Text, {text(u"b"), text(u"a"), none, text(u"B"), text(u"Apple")}, {3, 2, 5, 1, 4}},
      {"Integer",
       ValueType::Integer,
       {[](RecordImage& r) { r.values.push_back(integerValue(1, 7)); },
        [](RecordImage& r) { r.values.push_back(integerValue(1, -3)); }, none},
       {2, 3, 1}},
      {"Currency",
       ValueType::Currency,
       {[](RecordImage& r) { r.values.push_back(numberValue(1, 2.5, ValueType::Currency)); },
        [](RecordImage& r) { r.values.push_back(numberValue(1, -0.5, ValueType::Currency)); }, none},
       {2, 3, 1}},
      // No date first; two times of one day are equal (and trade places).
      {"Date",
       ValueType::Date,
       {[](RecordImage& r) { r.values.push_back(calendarValue(1, ValueType::Date, day(9, 8))); },
        [](RecordImage& r) { r.values.push_back(calendarValue(1, ValueType::Date, day(2))); }, none,
        [](RecordImage& r) { r.values.push_back(calendarValue(1, ValueType::Date, day(9, 17))); }},
       {3, 2, 4, 1}},
      {"Time",
       ValueType::Time,
       {[](RecordImage& r) { r.values.push_back(calendarValue(1, ValueType::Time, clock(9, 0, 0, 1))); },
        [](RecordImage& r) { r.values.push_back(calendarValue(1, ValueType::Time, clock(8, 59, 59))); }},
       {2, 1}},
      {"YesNo",
       ValueType::YesNo,
       {[](RecordImage& r) { r.values.push_back(yesNoValue(1, true)); }, none,
        [](RecordImage& r) { r.values.push_back(yesNoValue(1, true)); }},
       {2, 3, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Store& store = open(oneColumn(c.type, c.records));
    EXPECT_EQ(sortedIds(store), c.order);
  }
}

TEST_F(StoredSort, RandomColumnsOfManyEqualValuesOfEveryType) {
  std::mt19937 random(7);
  const ValueType types[] = {ValueType::Integer, ValueType::Number, ValueType::Currency, ValueType::Date,
                             ValueType::Time,    ValueType::Text,   ValueType::YesNo};
  for (ValueType type : types) {
    for (int round = 0; round < 6; ++round) {
      std::vector<std::function<void(RecordImage&)>> records;
      const int n = 1 + static_cast<int>(random() % 60);
      for (int i = 0; i < n; ++i) {
        const int v = static_cast<int>(random() % 5);
        records.push_back([type, v](RecordImage& r) {
          if (v == 0) return;  // no value: the empty value of the type
          switch (type) {
            case ValueType::Integer: r.values.push_back(integerValue(1, v * 10 - 25)); break;
            case ValueType::Number:
            case ValueType::Currency: r.values.push_back(numberValue(1, v * 0.5 - 1.0, type)); break;
            case ValueType::Date: r.values.push_back(calendarValue(1, type, day(static_cast<WORD>(v), static_cast<WORD>(v)))); break;
            case ValueType::Time: r.values.push_back(calendarValue(1, type, clock(static_cast<WORD>(v), 0, 0, static_cast<WORD>(v)))); break;
            case ValueType::Text: r.values.push_back(textValue(1, v % 2 ? u"m" : (v == 2 ? u"M" : u"Ab"))); break;
            default: r.values.push_back(yesNoValue(1, true)); break;
          }
        });
      }
      SCOPED_TRACE(std::to_string(static_cast<int>(type)) + " round " + std::to_string(round));
      Store& store = open(oneColumn(type, records));
      sortedIds(store);
    }
  }
}

TEST_F(StoredSort, ANotANumberInTheColumnSortsByStoredComparisonsAlone) {
  std::vector<std::function<void(RecordImage&)>> records;
  for (double v : {3.0, std::nan(""), 1.0, 2.0, std::nan(""), 0.5})
    records.push_back([v](RecordImage& r) { r.values.push_back(numberValue(1, v)); });
  Store& store = open(oneColumn(ValueType::Number, records));
  sortedIds(store);  // the plan equals the direct comparisons, NaN and all
}

// ---- Relinking ------------------------------------------------------------------

TEST_F(StoredSort, ApplyingRelinksEveryRecordAndStoresTheSortItem) {
  Store& store = open(oneColumn(ValueType::Text, {[](RecordImage& r) { r.values.push_back(textValue(1, u"c")); },
                                                  [](RecordImage& r) { r.values.push_back(textValue(1, u"a")); },
                                                  [](RecordImage& r) { r.values.push_back(textValue(1, u"b")); }}));
  store.records.currentRecord = store.records.index[1].position;  // "a"
  store.records.currentEntry = 1;
  SortPlan plan;
  ASSERT_EQ(planSort(store, 0, plan), err::ok);
  ASSERT_EQ(applySort(store, 0, plan), err::ok);
  EXPECT_EQ(store.records.currentEntry, 0);
  EXPECT_EQ(store.file.header.sortItem, 0u);
  // Read back from the file as opening reads it.
  OpenTsq reread(tsq->file().bytes());
  ASSERT_EQ(reread.open(), err::ok);
  ASSERT_EQ(loadIndex(reread.store()), err::ok);
  EXPECT_EQ(reread.store().file.header.sortItem, 0u);
  std::vector<RecordIndexEntry> chain(reread.store().records.index, reread.store().records.index + 3);
  EXPECT_EQ(ids(reread.store(), chain), (std::vector<std::int32_t>{2, 3, 1}));
}

// Every write of a relink failing in turn: the chain in the file always
// walks, every record in it once; and the sort either happened or left
// the old order in memory and in the file.
TEST_F(StoredSort, AFailedWriteAnywhereInTheRelinkKeepsAWalkableChainAndTheOldOrder) {
  std::vector<std::function<void(RecordImage&)>> records;
  for (const char16_t* name : {u"e", u"d", u"a", u"c", u"b"})
    records.push_back([name](RecordImage& r) { r.values.push_back(textValue(1, name)); });
  const DatabaseImage image = oneColumn(ValueType::Text, records);
  int failAt = 0;
  for (;; ++failAt) {
    SCOPED_TRACE("write " + std::to_string(failAt));
    Store& store = open(image);
    std::vector<RecordIndexEntry> before(store.records.index, store.records.index + 5);
    SortPlan plan;
    ASSERT_EQ(planSort(store, 0, plan), err::ok);
    platform::clearFileFaults();
    platform::failFileOperation(platform::FileOp::Write, failAt);
    ErrorCode code = applySort(store, 0, plan);
    const bool fired = platform::fileFaultsFired() > 0;
    platform::clearFileFaults();
    if (!fired) {
      EXPECT_EQ(code, err::ok);
      break;
    }
    EXPECT_EQ(code, err::writeData);
    for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(store.records.index[i].position, before[i].position);
    EXPECT_EQ(store.file.header.sortItem, noItem);
    OpenTsq reread(tsq->file().bytes());
    ASSERT_EQ(reread.open(), err::ok);
    ASSERT_EQ(loadIndex(reread.store()), err::ok);
    ASSERT_EQ(reread.store().file.header.recordCount, 5u);
    for (std::size_t i = 0; i < before.size(); ++i)
      EXPECT_EQ(reread.store().records.index[i].position, before[i].position);
  }
  // The relink of five records is one run of the file, then the DataHeader.
  EXPECT_GE(failAt, 2);
}

// A chain that jumps about the file, relinked into file order: many runs in
// both passes. Whichever write fails, the chain the file then holds walks
// without a cycle, and undoing puts back every byte.
TEST_F(StoredSort, EveryWriteOfARelinkLeavesAChainThatWalksAndUndoingItTheOldBytes) {
  std::mt19937 random(20261212);
  std::vector<std::function<void(RecordImage&)>> records;
  for (int i = 0; i < 4000; ++i) {
    std::u16string key;
    for (int k = 0; k < 8; ++k) key += static_cast<char16_t>(u'a' + random() % 26);
    records.push_back([key](RecordImage& r) { r.values.push_back(textValue(1, key)); });
  }
  Store& first = open(oneColumn(ValueType::Text, records));
  SortPlan byKey;
  ASSERT_EQ(planSort(first, 0, byKey), err::ok);
  ASSERT_EQ(applySort(first, 0, byKey), err::ok);
  const std::vector<std::uint8_t> scrambled = tsq->file().bytes();

  auto reopen = [&]() -> Store& {
    tsq = std::make_unique<OpenTsq>(scrambled);
    EXPECT_EQ(tsq->open(), err::ok);
    EXPECT_EQ(loadIndex(tsq->store()), err::ok);
    return tsq->store();
  };
  int failAt = 0;
  for (;; ++failAt) {
    SCOPED_TRACE("write " + std::to_string(failAt));
    Store& store = reopen();
    SortPlan byId;
    ASSERT_EQ(planSort(store, 1, byId), err::ok);
    const ChainOrder chain{byId.index, byId.headers};
    RelinkLog log;
    platform::clearFileFaults();
    platform::failFileOperation(platform::FileOp::Write, failAt);
    const ErrorCode code = writeChain(store.file, chain, log);
    const bool fired = platform::fileFaultsFired() > 0;
    platform::clearFileFaults();
    if (!fired) {
      EXPECT_EQ(code, err::ok);
      break;
    }
    EXPECT_EQ(code, err::writeData);
    OpenTsq halfway(tsq->file().bytes());
    ASSERT_EQ(halfway.open(), err::ok);
    EXPECT_EQ(loadIndex(halfway.store()), err::ok) << "the chain does not walk";
    EXPECT_EQ(unwriteChain(store.file, chain, log), err::ok);
    EXPECT_EQ(tsq->file().bytes(), scrambled);
  }
  EXPECT_GT(failAt, 4) << "too few runs to show both passes";

  // And done whole, the chain is in the new order.
  Store& store = reopen();
  SortPlan byId;
  ASSERT_EQ(planSort(store, 1, byId), err::ok);
  ASSERT_EQ(applySort(store, 1, byId), err::ok);
  OpenTsq reread(tsq->file().bytes());
  ASSERT_EQ(reread.open(), err::ok);
  ASSERT_EQ(loadIndex(reread.store()), err::ok);
  ASSERT_EQ(reread.store().file.header.recordCount, 4000u);
  std::vector<RecordIndexEntry> chain(reread.store().records.index, reread.store().records.index + 4000);
  const std::vector<std::int32_t> order = ids(reread.store(), chain);
  for (std::size_t i = 0; i < order.size(); ++i) ASSERT_EQ(order[i], static_cast<std::int32_t>(i + 1));
}

}  // namespace
