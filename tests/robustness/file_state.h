// What a database file holds, read the way the tsq tool reads it, and how
// a file left by a failure or a cut-off compares with the states before
// and after the operation that was under way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/format.h"

namespace robust {

// One record of the chain: where its RecordHeader stands and its values,
// each as "fieldId/type/payload in hex", sorted (a record's chain order of
// entries is no part of what it holds).
struct StoredRecord {
  Position position = noPosition;
  std::vector<std::string> values;
};

struct FileState {
  bool readable = false;              // the tool read the header and layout
  std::string refusal;                // when not readable: the tool's message
  std::vector<std::string> problems;  // tsq check's; none: sound
  std::vector<StoredRecord> records;  // in chain order, as far as it walks
  std::uint32_t sortItem = noItem;
  std::string smsNumber;              // the remembered SMS texts' values, or ""
  std::string smsMessage;

  bool sound() const { return readable && problems.empty(); }
};

FileState stateOf(const std::vector<std::uint8_t>& bytes);

// Same records with the same values in the same order, same SMS texts;
// where they stand in the file is not looked at.
bool sameContents(const FileState& a, const FileState& b);

// The same records, in any order, under the same sort item, with the same
// SMS texts: what two runs of an unstable sort share.
bool sameRecords(const FileState& a, const FileState& b);

// How a file compares with the operation's states before and after.
enum class Kept {
  Previous,  // the contents before
  New,       // the contents after
  Other,     // neither, but nothing lost: a record half-way (emptied by a
             // delete, a new record not yet complete) or another sound order
  Forgotten, // with forgettable: as Other, but a remembered SMS text is gone
  Lost,      // a record that both states hold is missing or holds values
             // of neither, or a remembered text of neither
};
// With forgettable, a remembered SMS text that is gone is Forgotten, not Lost.
Kept compareWith(const FileState& file, const FileState& before, const FileState& after, bool forgettable = false);

const char* keptName(Kept kept);
// "sound", "partial: <first problem>" or "unreadable: <message>".
std::string soundness(const FileState& state);

}  // namespace robust
