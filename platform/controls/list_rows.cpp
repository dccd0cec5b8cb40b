#include "platform/controls/list_rows.h"

#include <algorithm>
#include <iterator>
#include <new>

#include "platform/win_base.h"

namespace platform::controls {
namespace {

// A block splits in two when it grows past this many rows.
constexpr std::size_t kLargestBlock = 1024;

bool sortsBefore(const std::u16string& a, const std::u16string& b) { return _wcsicmp(a.c_str(), b.c_str()) < 0; }

}  // namespace

ListRows::Place ListRows::locate(std::size_t index) const {
  // Filling a list adds at its end and then sets the new row's data: both
  // land in the last block, found without walking the others.
  if (!blocks_.empty() && index + blocks_.back().size() >= size_) {
    const std::size_t last = blocks_.size() - 1;
    return Place{last, index - (size_ - blocks_.back().size())};
  }
  std::size_t block = 0;
  while (block + 1 < blocks_.size() && index >= blocks_[block].size()) {
    index -= blocks_[block].size();
    ++block;
  }
  return Place{block, index};
}

const ListRow& ListRows::at(std::size_t index) const {
  const Place place = locate(index);
  return blocks_[place.block][place.offset];
}

ListRow& ListRows::at(std::size_t index) {
  const Place place = locate(index);
  return blocks_[place.block][place.offset];
}

void ListRows::insert(std::size_t index, ListRow row) {
  if (blocks_.empty()) blocks_.emplace_back();
  const Place place = locate(index);
  std::vector<ListRow>& block = blocks_[place.block];
  block.insert(block.begin() + static_cast<std::ptrdiff_t>(place.offset), std::move(row));
  ++size_;
  if (block.size() > kLargestBlock) {
    // Splitting is best effort: a failed allocation keeps one large block.
    // The room for the new block is taken first, so that once rows are
    // moved into it nothing can fail any more.
    try {
      blocks_.reserve(blocks_.size() + 1);
      std::vector<ListRow>& full = blocks_[place.block];
      std::vector<ListRow> upper(std::make_move_iterator(full.begin() + kLargestBlock / 2),
                                 std::make_move_iterator(full.end()));
      full.erase(full.begin() + kLargestBlock / 2, full.end());
      blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(place.block) + 1, std::move(upper));
    } catch (const std::bad_alloc&) {
    }
  }
}

void ListRows::erase(std::size_t index) {
  const Place place = locate(index);
  std::vector<ListRow>& block = blocks_[place.block];
  block.erase(block.begin() + static_cast<std::ptrdiff_t>(place.offset));
  if (block.empty()) blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(place.block));
  --size_;
}

void ListRows::clear() {
  blocks_.clear();
  size_ = 0;
}

std::size_t ListRows::sortedPosition(const std::u16string& text) const {
  // The first block whose last row sorts after the text holds the place.
  std::size_t before = 0;
  for (const std::vector<ListRow>& block : blocks_) {
    if (block.empty() || !sortsBefore(text, block.back().text)) {
      before += block.size();
      continue;
    }
    const auto it = std::upper_bound(block.begin(), block.end(), text,
                                     [](const std::u16string& t, const ListRow& row) { return sortsBefore(t, row.text); });
    return before + static_cast<std::size_t>(it - block.begin());
  }
  return size_;
}

}  // namespace platform::controls
