// The sqlite3 half of each comparison: the work a program built on sqlite3
// would do for the same user action, on the same rows.
//
// Every connection runs with synchronous=OFF and a rollback journal
// (journal_mode=DELETE): Tessra writes without fsync, so neither side waits
// for the disk, and both keep the file sound through an interrupted write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/contacts.h"

namespace bench::sqlite {

// A timed piece of work: its time and what it found, for checking that
// both sides did the same.
struct Run {
  double ms = 0;
  std::uint64_t result = 0;
  bool ok = false;
};

// Opens the database and reads every value of column in its order through
// its index. result: the values read.
Run openList(const std::string& path, const char* column);

// Creates the index that orders the rows by column. result: 1.
Run createIndex(const std::string& path, const char* column);

// For each probe, the first row whose name is not below it, through the
// index. ms: per probe; result: the probes that found a row.
Run search(const std::string& path, const std::vector<std::u16string>& probes);

// Counts the rows with thirtiesLow <= visits < thirtiesHigh, without an
// index. result: the count.
Run countThirties(const std::string& path);

// Gives the row at rowid each name in turn, one UPDATE (and commit) each.
// ms: per update; result: the updates that changed a row.
Run rename(const std::string& path, std::int64_t rowid, const std::vector<std::u16string>& names);

// Inserts the contacts one INSERT (and commit) each. result: rows added.
Run insertEach(const std::string& path, const std::vector<Contact>& contacts);

// The rowid of the row at place `place` (from 0) in name order; 0 when none.
std::int64_t rowidAtPlace(const std::string& path, std::uint32_t place);

}  // namespace bench::sqlite
