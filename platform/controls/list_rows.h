// The rows of a list box: texts with their item data, kept in blocks so that
// inserting into a list of 100,000 rows, sorted or not, moves a few hundred
// rows rather than all of them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace platform::controls {

struct ListRow {
  std::u16string text;
  LPARAM data = 0;
};

class ListRows {
 public:
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // index < size()
  const ListRow& at(std::size_t index) const;
  ListRow& at(std::size_t index);
  // index <= size(). May throw std::bad_alloc, leaving the rows unchanged.
  void insert(std::size_t index, ListRow row);
  // index < size()
  void erase(std::size_t index);
  void clear();
  // Where `text` goes among rows sorted case-insensitively: after every row
  // that does not compare greater. Assumes the rows are in that order.
  std::size_t sortedPosition(const std::u16string& text) const;

 private:
  struct Place {
    std::size_t block;
    std::size_t offset;
  };
  Place locate(std::size_t index) const;

  std::vector<std::vector<ListRow>> blocks_;
  std::size_t size_ = 0;
};

}  // namespace platform::controls
