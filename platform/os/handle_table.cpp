#include "platform/os/handle_table.h"

#include <cstdint>
#include <map>

namespace platform::os {

namespace {

struct Table {
  std::map<std::uintptr_t, HandleEntry> entries;
  std::uintptr_t nextNumber = 0x1000;
};

Table& table() {
  static Table instance;
  return instance;
}

std::uintptr_t numberOf(HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

template <typename T>
T* find(HANDLE handle) {
  auto& entries = table().entries;
  const auto it = entries.find(numberOf(handle));
  if (it != entries.end()) {
    if (auto* entry = std::get_if<T>(&it->second)) return entry;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

}  // namespace

HANDLE addHandle(HandleEntry entry) {
  auto& t = table();
  const std::uintptr_t number = t.nextNumber;
  t.nextNumber += 4;
  t.entries.emplace(number, std::move(entry));
  return reinterpret_cast<HANDLE>(number);
}

OpenFile* findOpenFile(HANDLE handle) { return find<OpenFile>(handle); }
FileSearch* findFileSearch(HANDLE handle) { return find<FileSearch>(handle); }

bool removeHandle(HANDLE handle, HandleEntry* removed) {
  auto& entries = table().entries;
  const auto it = entries.find(numberOf(handle));
  if (it == entries.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (removed != nullptr) *removed = std::move(it->second);
  entries.erase(it);
  return true;
}

}  // namespace platform::os
