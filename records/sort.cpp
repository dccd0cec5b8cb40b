#include "records/sort.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "records/compare.h"
#include "records/encoding.h"
#include "records/relink.h"
#include "storage/checks.h"
#include "storage/open.h"
#include "storage/space.h"
#include "storage/store.h"

namespace {

// ---- The quicksort replayed on ranks ---------------------------------------
//
// A partition pass scans up from the left for the first element not below
// the pivot and down from the right for the last one not above it. On
// ranks those are "the first place at or after p whose rank is at least x"
// and "the last place at or before p whose rank is at most x": a tree of
// the minimum and maximum rank over ranges of places answers each in
// O(log n), and an exchange updates two leaves.
class RankTree {
 public:
  explicit RankTree(const std::vector<std::uint32_t>& ranks) : n_(ranks.size()), size_(1) {
    while (size_ < n_) size_ *= 2;
    min_.assign(2 * size_, UINT32_MAX);
    max_.assign(2 * size_, 0);
    for (std::size_t i = 0; i < n_; ++i) min_[size_ + i] = max_[size_ + i] = ranks[i];
    for (std::size_t v = size_ - 1; v >= 1; --v) pull(v);
  }

  std::uint32_t rank(std::size_t place) const { return min_[size_ + place]; }

  void set(std::size_t place, std::uint32_t rank) {
    std::size_t v = size_ + place;
    min_[v] = max_[v] = rank;
    for (v /= 2; v >= 1; v /= 2) pull(v);
  }

  // The first place >= from whose rank is >= x; n when there is none.
  std::size_t firstAtLeast(std::size_t from, std::uint32_t x) const {
    if (from >= n_) return n_;
    return descendFirst(1, 0, size_, from, x);
  }

  // The last place <= upTo whose rank is <= x; SIZE_MAX when there is none.
  std::size_t lastAtMost(std::size_t upTo, std::uint32_t x) const {
    return descendLast(1, 0, size_, std::min(upTo, n_ - 1), x);
  }

 private:
  void pull(std::size_t v) {
    min_[v] = std::min(min_[2 * v], min_[2 * v + 1]);
    max_[v] = std::max(max_[2 * v], max_[2 * v + 1]);
  }
  // Within node v covering [lo, hi): the first place >= from with max >= x.
  std::size_t descendFirst(std::size_t v, std::size_t lo, std::size_t hi, std::size_t from, std::uint32_t x) const {
    if (hi <= from || lo >= n_ || max_[v] < x) return n_;
    if (hi - lo == 1) return lo;
    const std::size_t mid = (lo + hi) / 2;
    const std::size_t left = descendFirst(2 * v, lo, mid, from, x);
    return left != n_ ? left : descendFirst(2 * v + 1, mid, hi, from, x);
  }
  std::size_t descendLast(std::size_t v, std::size_t lo, std::size_t hi, std::size_t upTo, std::uint32_t x) const {
    if (lo > upTo || lo >= n_ || min_[v] > x) return SIZE_MAX;
    if (hi - lo == 1) return lo;
    const std::size_t mid = (lo + hi) / 2;
    const std::size_t right = descendLast(2 * v + 1, mid, hi, upTo, x);
    return right != SIZE_MAX ? right : descendLast(2 * v, lo, mid, upTo, x);
  }

  std::size_t n_;
  std::size_t size_;
  std::vector<std::uint32_t> min_;
  std::vector<std::uint32_t> max_;
};

// ---- Keys read once ----------------------------------------------------------
//
// Every value of the sort column reduced to something that orders exactly
// as compareValue does: integers (Integer, YesNo, and Date and Time as no
// value below every (year, month, day) or (hour, minute, second)), doubles
// (Number, Currency) and texts folded as the case-insensitive comparison
// folds them. A NaN compares equal to everything, which no ranking can
// follow: such a column is sorted by comparing stored values instead.
struct Keys {
  ValueType type{};
  std::vector<std::int64_t> integers;
  std::vector<double> reals;
  std::vector<std::u16string> texts;
  bool ranked = true;  // false: the values are no total order
};

std::int64_t calendarKey(const CalendarValue& value, bool timeOfDay) {
  if (value.noValue == 1) return -1;
  const SYSTEMTIME& t = value.time;
  const std::int64_t a = timeOfDay ? t.wHour : t.wYear;
  const std::int64_t b = timeOfDay ? t.wMinute : t.wMonth;
  const std::int64_t c = timeOfDay ? t.wSecond : t.wDay;
  return (a << 32) | (b << 16) | c;
}

void addKey(Keys& keys, const FieldValue& value) {
  switch (keys.type) {
    case ValueType::Integer:
      keys.integers.push_back(value.payload.integer);
      break;
    case ValueType::YesNo:
      keys.integers.push_back(value.payload.yesNo != 0 ? 1 : 0);
      break;
    case ValueType::Date:
    case ValueType::Time:
      keys.integers.push_back(calendarKey(value.payload.calendar, keys.type == ValueType::Time));
      break;
    case ValueType::Number:
    case ValueType::Currency:
      if (std::isnan(value.payload.number)) keys.ranked = false;
      keys.reals.push_back(value.payload.number);
      break;
    case ValueType::Text: {
      std::u16string folded;
      const TextValue& text = value.payload.text;
      for (std::uint16_t i = 0; i < text.count && text.chars[i] != 0; ++i) {
        // The comparison folds unit by unit; the same fold orders the keys.
        folded.push_back(foldedUnit(text.chars[i]));
      }
      keys.texts.push_back(std::move(folded));
      break;
    }
  }
}

std::vector<std::uint32_t> rankKeys(const Keys& keys, std::size_t n) {
  std::vector<std::uint32_t> byValue(n);
  for (std::size_t i = 0; i < n; ++i) byValue[i] = static_cast<std::uint32_t>(i);
  auto less = [&](std::uint32_t a, std::uint32_t b) {
    switch (keys.type) {
      case ValueType::Number:
      case ValueType::Currency:
        return keys.reals[a] < keys.reals[b];
      case ValueType::Text:
        return keys.texts[a] < keys.texts[b];
      default:
        return keys.integers[a] < keys.integers[b];
    }
  };
  std::sort(byValue.begin(), byValue.end(), less);
  std::vector<std::uint32_t> ranks(n);
  std::uint32_t rank = 0;
  for (std::size_t k = 0; k < n; ++k) {
    if (k > 0 && less(byValue[k - 1], byValue[k])) ++rank;
    ranks[byValue[k]] = rank;
  }
  return ranks;
}

}  // namespace

namespace {

// The quicksort itself, run on a copy of the ranks, as long as it keeps to
// steps (comparisons) steps: on most columns it finishes in a small part
// of the replay's time. False when it runs out (a column in order or close
// to it, where a first-element pivot turns quadratic).
bool directQuicksort(const std::vector<std::uint32_t>& ranks, std::uint64_t steps, std::vector<std::uint32_t>& order) {
  const std::size_t n = ranks.size();
  std::vector<std::uint32_t> rank(ranks);
  order.resize(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<std::uint32_t>(i);
  if (n < 2) return true;
  std::vector<std::pair<std::size_t, std::size_t>> stack{{0, n - 1}};
  while (!stack.empty()) {
    const auto [low, high] = stack.back();
    stack.pop_back();
    const std::uint32_t pivot = rank[low];
    std::size_t i = low;
    std::size_t j = high + 1;
    for (;;) {
      const std::size_t from = i;
      do ++i;
      while (i != n && rank[i] < pivot);
      const std::size_t to = j;
      do --j;
      while (pivot < rank[j]);
      const std::uint64_t taken = (i - from) + (to - j);
      if (taken > steps) return false;
      steps -= taken;
      if (j > i && i < n) {
        std::swap(rank[i], rank[j]);
        std::swap(order[i], order[j]);
        continue;
      }
      std::swap(rank[low], rank[j]);
      std::swap(order[low], order[j]);
      if (j > low + 1) stack.emplace_back(low, j - 1);
      if (high > j + 1) stack.emplace_back(j + 1, high);
      break;
    }
  }
  return true;
}

}  // namespace

std::vector<std::uint32_t> quicksortOrder(const std::vector<std::uint32_t>& ranks) {
  // A quicksort of random keys compares about 1.4 n log2 n times; a few
  // times that and the replay, whose cost never grows faster, takes over.
  const std::size_t n = ranks.size();
  std::uint64_t log2n = 1;
  while ((std::size_t{1} << log2n) < n) ++log2n;
  std::vector<std::uint32_t> order;
  if (directQuicksort(ranks, 8 * static_cast<std::uint64_t>(n) * log2n + 64, order)) return order;
  return replayQuicksortOrder(ranks);
}

std::vector<std::uint32_t> replayQuicksortOrder(const std::vector<std::uint32_t>& ranks) {
  const std::size_t n = ranks.size();
  std::vector<std::uint32_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<std::uint32_t>(i);
  if (n < 2) return order;
  RankTree tree(ranks);
  auto exchange = [&](std::size_t a, std::size_t b) {
    std::swap(order[a], order[b]);
    const std::uint32_t ra = tree.rank(a);
    tree.set(a, tree.rank(b));
    tree.set(b, ra);
  };
  std::vector<std::pair<std::size_t, std::size_t>> stack{{0, n - 1}};
  while (!stack.empty()) {
    const auto [low, high] = stack.back();
    stack.pop_back();
    const std::uint32_t pivot = tree.rank(low);
    std::size_t i = low;
    std::size_t j = high + 1;
    for (;;) {
      // The upward scan is bounded by the end of the whole index only.
      i = tree.firstAtLeast(i + 1, pivot);
      // The pivot itself stops the downward scan at low at the latest.
      j = tree.lastAtMost(j - 1, pivot);
      TESSRA_ASSERT(j != SIZE_MAX && j >= low);
      if (j > i && i < n) {
        exchange(i, j);
        continue;
      }
      exchange(low, j);
      if (j > low + 1) stack.emplace_back(low, j - 1);
      if (high > j + 1) stack.emplace_back(j + 1, high);
      break;
    }
  }
  return order;
}

ErrorCode compareStored(Store& store, SortCache& cache, std::int32_t itemIndex, Position a, Position b,
                        int& result) {
  result = 0;
  if (a == noPosition && b == noPosition) return err::ok;
  if (a != noPosition && a == cache.position) return compareValue(store.file, cache.value, b, result);
  if (b == noPosition) {
    cache.value = store.layout.items[itemIndex].value;
    cache.value.next = noPosition;
    resetValue(cache.value);
    cache.position = noPosition;
  } else if (b != cache.position) {
    ErrorCode code = readFieldValue(store.file, b, cache.value);
    if (code != err::ok) {
      cache.position = noPosition;
      return code;
    }
    cache.position = b;
  }
  ErrorCode code = compareValue(store.file, cache.value, a, result);
  result = -result;
  return code;
}

ErrorCode sortIndex(Store& store, std::int32_t itemIndex, RecordIndexEntry* entries, std::uint32_t count,
                    std::uint32_t low, std::uint32_t high) {
  if (high <= low) return err::ok;
  auto* stack = new (std::nothrow) std::uint32_t[2 * static_cast<std::size_t>(high - low)];
  if (stack == nullptr) return err::memory;
  SortCache cache;
  std::size_t top = 0;
  stack[top++] = low;
  stack[top++] = high;
  ErrorCode code = err::ok;
  auto key = [&](std::uint32_t k) { return entries[k].keyPosition; };
  while (top > 0 && code == err::ok) {
    const std::uint32_t hi = stack[--top];
    const std::uint32_t lo = stack[--top];
    std::uint32_t i = lo;
    std::uint32_t j = hi + 1;
    for (;;) {
      int result = 0;
      do {
        ++i;
        if (i == count) break;
        code = compareStored(store, cache, itemIndex, key(i), key(lo), result);
      } while (code == err::ok && result < 0);
      if (code != err::ok) break;
      do {
        --j;
        code = compareStored(store, cache, itemIndex, key(lo), key(j), result);
      } while (code == err::ok && result < 0);
      if (code != err::ok) break;
      if (j > i) {
        std::swap(entries[i], entries[j]);
        continue;
      }
      std::swap(entries[lo], entries[j]);
      if (j > lo + 1) {
        stack[top++] = lo;
        stack[top++] = j - 1;
      }
      if (hi > j + 1) {
        stack[top++] = j + 1;
        stack[top++] = hi;
      }
      break;
    }
  }
  delete[] stack;
  return code;
}

ErrorCode planSort(Store& store, std::int32_t itemIndex, SortPlan& plan) {
  if (itemIndex < 0 || itemIndex >= store.layout.itemCount) return internalError();
  const std::uint32_t n = store.file.header.recordCount;
  plan.index.assign(store.records.index, store.records.index + n);
  plan.headers.assign(n, RecordHeader{});

  Keys keys;
  keys.type = static_cast<ValueType>(store.layout.items[itemIndex].valueType);
  FieldValue value = store.layout.items[itemIndex].value;
  for (std::uint32_t i = 0; i < n; ++i) {
    RecordIndexEntry& entry = plan.index[i];
    ErrorCode code = readRecordHeader(store.file, entry.position, plan.headers[i]);
    if (code == err::ok) code = findKeyField(store, plan.headers[i].firstField, itemIndex, entry.keyPosition);
    if (code == err::ok && entry.keyPosition != noPosition) code = readFieldValue(store.file, entry.keyPosition, value);
    if (code != err::ok) return code;
    if (entry.keyPosition == noPosition) resetValue(value);
    entry.listRow = -1;
    addKey(keys, value);
  }
  if (n < 2) return err::ok;

  if (!keys.ranked) {
    // The index and the headers move together: sort a copy of the entries
    // that remembers where each came from.
    std::vector<RecordIndexEntry> entries = plan.index;
    std::vector<RecordHeader> headers = plan.headers;
    for (std::uint32_t i = 0; i < n; ++i) entries[i].listRow = static_cast<std::int32_t>(i);
    ErrorCode code = sortIndex(store, itemIndex, entries.data(), n, 0, n - 1);
    if (code != err::ok) return code;
    for (std::uint32_t i = 0; i < n; ++i) {
      plan.headers[i] = headers[static_cast<std::uint32_t>(entries[i].listRow)];
      plan.index[i] = entries[i];
      plan.index[i].listRow = -1;
    }
    return err::ok;
  }
  const std::vector<std::uint32_t> order = quicksortOrder(rankKeys(keys, n));
  std::vector<RecordIndexEntry> index(n);
  std::vector<RecordHeader> headers(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    index[i] = plan.index[order[i]];
    headers[i] = plan.headers[order[i]];
  }
  plan.index = std::move(index);
  plan.headers = std::move(headers);
  return err::ok;
}

ErrorCode applySort(Store& store, std::int32_t itemIndex, SortPlan& plan) {
  const auto n = static_cast<std::uint32_t>(plan.index.size());
  if (n != store.file.header.recordCount || plan.headers.size() != n) return internalError();
  const Position current = store.records.currentRecord;
  std::int32_t currentEntry = -1;
  for (std::uint32_t i = 0; i < n; ++i)
    if (plan.index[i].position == current) currentEntry = static_cast<std::int32_t>(i);
  if (current != noPosition && currentEntry < 0) return internalError();

  const ChainOrder chain{plan.index, plan.headers};
  RelinkLog log;
  ErrorCode code = writeChain(store.file, chain, log);
  const DataHeader before = store.file.header;
  if (code == err::ok) {
    store.file.header.firstRecord = n > 0 ? plan.index[0].position : noPosition;
    store.file.header.sortItem = static_cast<std::uint32_t>(itemIndex);
    code = writeDataHeader(store.file);
  }
  if (code != err::ok) {
    store.file.header = before;
    // Should putting the old links back fail too, the index follows what
    // the file now holds.
    if (unwriteChain(store.file, chain, log) != err::ok) loadIndex(store);
    return code;
  }
  std::copy(plan.index.begin(), plan.index.end(), store.records.index);
  store.records.currentEntry = currentEntry;
  store.file.headerUnsaved = false;
  return err::ok;
}
