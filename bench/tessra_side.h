// The Tessra half of each comparison: the whole program running in this
// process on the emulated phone, driven through the commands a user's keys
// send, with every file call counted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/contacts.h"

struct Database;

namespace bench::tessra {

struct Run {
  double ms = 0;
  std::uint64_t result = 0;
  bool ok = false;
  bool built = true;  // false: the program has no such operation yet
  // ReadFile and WriteFile calls during the timed work.
  int reads = 0;
  int writes = 0;
};

// The program started on the Catalogue of folder, with a fixed clock and
// locale. One per process: the program has one Database.
class Session {
 public:
  explicit Session(const std::string& folder);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool started() const { return started_; }
  // The texts of the message boxes and dialogs that nobody expected, since
  // the last call.
  std::vector<std::string> takeSurprises();

  // Back to the Catalogue, the database closed. Every operation ends so,
  // outside its timing, so that its file can be replaced.
  void close();

  // Opens the database `name` (the Catalogue's row text) to its ListView.
  // result: the rows listed.
  Run openList(const std::u16string& name);

  // On the FormView of `name`, the Sort command ordering by item (picked in
  // the Pick Column dialog). result: 1 when the file is sorted by it.
  Run sort(const std::u16string& name, std::int32_t item);

  // The Search command with each probe typed into its dialog, on the FormView
  // of `name`. ms: per search; result: the searches that found a record.
  Run search(const std::u16string& name, const std::vector<std::u16string>& probes);

  // Presses the SearchButton `item` on the FormView of `name`. result: the
  // records it included.
  Run searchButton(const std::u16string& name, std::int32_t item);

  // Edits the name of the record at place `place` of the list, each name in
  // turn, saving each with Done. ms: per save; result: the saves that
  // moved the record to its new place.
  Run rename(const std::u16string& name, std::uint32_t place, const std::vector<std::u16string>& names);

  // Adds the contacts with New, the form filled in, and Done. result: the
  // records added.
  Run addEach(const std::u16string& name, const std::vector<Contact>& contacts);

 private:
  Run listed(const std::u16string& name);
  bool openForm(const std::u16string& name);

  bool started_ = false;
  std::string folder_;
};

}  // namespace bench::tessra
