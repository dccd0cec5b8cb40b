// The benchmark's data: a contact list drawn from a fixed seed, the same
// rows written once as a tsq file and once as a sqlite3 database.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/writer.h"

struct sqlite3_stmt;

namespace bench {

struct Day {
  int year = 0;  // 0: no date
  int month = 0;
  int day = 0;
};

// One contact. An empty text, a zero and no date are values the tsq file
// does not store (and sqlite3 holds as NULL, or 0 for the numbers).
struct Contact {
  std::u16string name;
  std::u16string city;
  std::u16string mobile;
  std::int32_t visits = 0;
  std::int64_t balanceCents = 0;
  Day birthday;
  bool active = false;
};

// count contacts from the fixed seed, ordered by name as the file keeps
// them (case ignored; equal names in the order they were drawn).
std::vector<Contact> makeContacts(std::uint32_t count);

// Another contact from the same generator, for records added by a benchmark.
Contact extraContact(std::uint32_t serial);

// The form's layout: where each column's item stands.
namespace item {
constexpr std::int32_t name = 1;
constexpr std::int32_t city = 3;
constexpr std::int32_t mobile = 5;
constexpr std::int32_t visits = 7;
constexpr std::int32_t balance = 9;
constexpr std::int32_t birthday = 11;
constexpr std::int32_t active = 12;
constexpr std::int32_t thirties = 13;  // SearchButton: 30 <= visits < 40
constexpr std::int32_t showAll = 14;   // SearchButton without criteria
}  // namespace item
// The SearchButton's range of visits.
constexpr std::int32_t thirtiesLow = 30;
constexpr std::int32_t thirtiesHigh = 40;

// The tsq file of the contacts, sorted by name.
DatabaseImage contactsImage(const std::vector<Contact>& contacts);

// Binds a contact to the seven parameters of "INSERT INTO contacts" and
// runs it; false on any error.
bool insertContact(sqlite3_stmt* insert, const Contact& contact);

// Writes the same rows into a new sqlite3 database at path (table contacts,
// an index on the name, text compared without case); false on any error.
bool writeSqlite(const std::string& path, const std::vector<Contact>& contacts);

}  // namespace bench
