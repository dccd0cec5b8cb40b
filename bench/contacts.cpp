#include "bench/contacts.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/text.h"
#include "platform/windows.h"
#include "records/encoding.h"

namespace bench {

namespace {

// splitmix64: the same numbers on every machine and standard library.
struct Random {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::uint32_t below(std::uint32_t bound) { return static_cast<std::uint32_t>(next() % bound); }
};

constexpr std::uint64_t seed = 20260104;

constexpr std::array<const char*, 48> firstNames = {
    "Ada",   "Alan",   "Alice",  "Amir",   "Anna",   "Ben",    "Bruno",  "Carla",  "Chen",   "Clara",  "Dan",
    "Dora",  "Eli",    "Emma",   "Farid",  "Fiona",  "Grace",  "Hana",   "Hugo",   "Ines",   "Ivan",   "Jana",
    "Jonas", "Kai",    "Karin",  "Lea",    "Liam",   "Lena",   "Marco",  "Maya",   "Mia",    "Nils",   "Nora",
    "Omar",  "Olga",   "Paul",   "Petra",  "Quinn",  "Rosa",   "Sami",   "Sara",   "Tom",    "Ugo",    "Vera",
    "Wim",   "Xenia",  "Yusuf",  "Zoe"};
constexpr std::array<const char*, 40> surnames = {
    "Abbott", "Baker",  "Berg",    "Costa",  "Dahl",   "Dietz",  "Evans",  "Falk",   "Garcia", "Gruber",
    "Haas",   "Horn",   "Ito",     "Jansen", "Keller", "Kim",    "Lang",   "Lopez",  "Meyer",  "Moreau",
    "Nagy",   "Novak",  "Olsen",   "Ortiz",  "Park",   "Peters", "Quist",  "Rossi",  "Sato",   "Schulz",
    "Silva",  "Tanaka", "Torres",  "Ulrich", "Vogel",  "Wagner", "Weber",  "Xu",     "Young",  "Zimmer"};
constexpr std::array<const char*, 24> cities = {
    "Aarhus", "Berlin", "Bologna", "Cork",   "Delft",  "Dresden", "Gdansk", "Genoa",
    "Graz",   "Leeds",  "Lille",   "Lisbon", "Lyon",   "Malmo",  "Munich", "Nantes",
    "Oslo",   "Porto",  "Prague",  "Riga",   "Seville", "Turin", "Vienna", "Zurich"};

std::u16string wide(const std::string& text) { return platform::fromUtf8(text); }

Contact draw(Random& random) {
  Contact c;
  std::string name = std::string(firstNames[random.below(firstNames.size())]) + " " +
                     surnames[random.below(surnames.size())];
  // Some names typed in lower case: the order ignores case.
  if (random.below(20) == 0) std::transform(name.begin(), name.end(), name.begin(), [](char ch) {
      return static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
    });
  // A middle initial or two keeps most names apart without making all unique.
  if (random.below(2) == 0) {
    name += ' ';
    name += static_cast<char>('A' + random.below(26));
    name += '.';
  }
  c.name = wide(name);
  if (random.below(10) != 0) c.city = wide(cities[random.below(cities.size())]);
  if (random.below(5) != 0) {
    char mobile[24];
    std::snprintf(mobile, sizeof mobile, "07%03u %06u", random.below(1000), random.below(1000000));
    c.mobile = wide(mobile);
  }
  c.visits = static_cast<std::int32_t>(random.below(100));
  c.balanceCents = static_cast<std::int64_t>(random.below(550001)) - 50000;
  if (random.below(20) != 0) c.birthday = Day{1940 + static_cast<int>(random.below(70)),
                                              1 + static_cast<int>(random.below(12)),
                                              1 + static_cast<int>(random.below(28))};
  c.active = random.below(2) == 0;
  return c;
}

std::u16string folded(const std::u16string& text) {
  std::u16string out(text);
  for (auto& unit : out) unit = foldedUnit(unit);
  return out;
}

ItemImage itemImage(ItemKind kind, ValueType type, std::uint16_t fieldId, const char16_t* caption, int row,
                    int left, int width) {
  ItemImage i;
  i.kind = static_cast<std::uint8_t>(kind);
  i.valueType = static_cast<std::uint8_t>(type);
  i.fieldId = fieldId;
  i.caption = caption;
  i.row = row;
  i.left = left;
  i.width = width;
  return i;
}

FieldValue emptyOf(std::uint16_t fieldId, ValueType type) {
  FieldValue v{};
  v.fieldId = fieldId;
  v.valueType = static_cast<std::uint8_t>(type);
  return v;
}

FieldValue textOf(std::uint16_t fieldId, const std::u16string& text) {
  FieldValue v = emptyOf(fieldId, ValueType::Text);
  setText(v, text.c_str());
  return v;
}

FieldValue integerOf(std::uint16_t fieldId, std::int32_t value) {
  FieldValue v = emptyOf(fieldId, ValueType::Integer);
  v.payload.integer = value;
  return v;
}

}  // namespace

std::vector<Contact> makeContacts(std::uint32_t count) {
  Random random{seed};
  std::vector<Contact> contacts;
  contacts.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) contacts.push_back(draw(random));
  std::vector<std::u16string> keys;
  keys.reserve(count);
  for (const Contact& c : contacts) keys.push_back(folded(c.name));
  std::vector<std::uint32_t> order(count);
  for (std::uint32_t i = 0; i < count; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
  std::vector<Contact> sorted;
  sorted.reserve(count);
  for (std::uint32_t i : order) sorted.push_back(std::move(contacts[i]));
  return sorted;
}

Contact extraContact(std::uint32_t serial) {
  Random random{seed ^ (0xA5A5A5A5ull + serial)};
  return draw(random);
}

DatabaseImage contactsImage(const std::vector<Contact>& contacts) {
  DatabaseImage image;
  image.header.headerText = u"Contacts for the benchmark";
  auto label = [](const char16_t* caption, int row) {
    return itemImage(ItemKind::Label, ValueType::Text, 0xFFFF, caption, row, 0, 54);
  };
  auto field = [](ValueType type, std::uint16_t fieldId, const char16_t* caption, int row) {
    return itemImage(ItemKind::Field, type, fieldId, caption, row, 56, -1);
  };
  image.items = {label(u"Name", 0),     field(ValueType::Text, 1, u"Name", 0),
                 label(u"City", 1),     field(ValueType::Text, 2, u"City", 1),
                 label(u"Mobile", 2),   field(ValueType::Text, 3, u"Mobile", 2),
                 label(u"Visits", 3),   field(ValueType::Integer, 4, u"Visits", 3),
                 label(u"Balance", 4),  field(ValueType::Currency, 5, u"Balance", 4),
                 label(u"Birthday", 5), field(ValueType::Date, 6, u"Birthday", 5),
                 itemImage(ItemKind::CheckBox, ValueType::YesNo, 7, u"Active", 6, 0, -1),
                 itemImage(ItemKind::SearchButton, ValueType::Text, 0xFFFF, u"Thirties", 7, 0, 80),
                 itemImage(ItemKind::SearchButton, ValueType::Text, 0xFFFF, u"All", 7, 86, -1)};
  image.items[item::mobile].numericInput = 1;
  ItemImage& thirties = image.items[item::thirties];
  thirties.matchAll = 1;
  thirties.criteria = {SearchCriterion{item::visits, op::greaterOrEqual, integerOf(4, thirtiesLow)},
                       SearchCriterion{item::visits, op::less, integerOf(4, thirtiesHigh)}};
  image.sortItem = item::name;

  image.records.reserve(contacts.size());
  for (const Contact& c : contacts) {
    RecordImage r;
    r.values.push_back(textOf(1, c.name));
    if (!c.city.empty()) r.values.push_back(textOf(2, c.city));
    if (!c.mobile.empty()) r.values.push_back(textOf(3, c.mobile));
    if (c.visits != 0) r.values.push_back(integerOf(4, c.visits));
    if (c.balanceCents != 0) {
      FieldValue balance = emptyOf(5, ValueType::Currency);
      balance.payload.number = static_cast<double>(c.balanceCents) / 100.0;
      r.values.push_back(balance);
    }
    if (c.birthday.year != 0) {
      FieldValue birthday = emptyOf(6, ValueType::Date);
      birthday.payload.calendar.noValue = 0;
      birthday.payload.calendar.time = SYSTEMTIME{static_cast<WORD>(c.birthday.year),
                                                  static_cast<WORD>(c.birthday.month), 0,
                                                  static_cast<WORD>(c.birthday.day), 0, 0, 0, 0};
      r.values.push_back(birthday);
    }
    if (c.active) {
      FieldValue active = emptyOf(7, ValueType::YesNo);
      active.payload.yesNo = 1;
      r.values.push_back(active);
    }
    image.records.push_back(std::move(r));
  }
  return image;
}

bool insertContact(sqlite3_stmt* insert, const Contact& c) {
  auto text = [&](int column, const std::u16string& value) {
    return value.empty() ? sqlite3_bind_null(insert, column)
                         : sqlite3_bind_text16(insert, column, value.data(), static_cast<int>(value.size() * 2),
                                               SQLITE_TRANSIENT);
  };
  char birthday[16] = {};
  if (c.birthday.year != 0)
    std::snprintf(birthday, sizeof birthday, "%04d-%02d-%02d", c.birthday.year, c.birthday.month, c.birthday.day);
  bool ok = text(1, c.name) == SQLITE_OK && text(2, c.city) == SQLITE_OK && text(3, c.mobile) == SQLITE_OK &&
            sqlite3_bind_int(insert, 4, c.visits) == SQLITE_OK &&
            sqlite3_bind_double(insert, 5, static_cast<double>(c.balanceCents) / 100.0) == SQLITE_OK &&
            (c.birthday.year == 0 ? sqlite3_bind_null(insert, 6)
                                  : sqlite3_bind_text(insert, 6, birthday, -1, SQLITE_TRANSIENT)) == SQLITE_OK &&
            sqlite3_bind_int(insert, 7, c.active ? 1 : 0) == SQLITE_OK;
  ok = ok && sqlite3_step(insert) == SQLITE_DONE;
  return sqlite3_reset(insert) == SQLITE_OK && ok;
}

bool writeSqlite(const std::string& path, const std::vector<Contact>& contacts) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  bool ok = sqlite3_exec(db,
                         "PRAGMA journal_mode=DELETE;"
                         "CREATE TABLE contacts(name TEXT COLLATE NOCASE, city TEXT COLLATE NOCASE,"
                         " mobile TEXT COLLATE NOCASE, visits INTEGER, balance REAL, birthday TEXT,"
                         " active INTEGER);"
                         "CREATE INDEX contacts_name ON contacts(name);"
                         "BEGIN;",
                         nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_stmt* insert = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "INSERT INTO contacts VALUES(?,?,?,?,?,?,?)", -1, &insert, nullptr) == SQLITE_OK;
  for (std::size_t i = 0; ok && i < contacts.size(); ++i) ok = insertContact(insert, contacts[i]);
  sqlite3_finalize(insert);
  ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  return sqlite3_close(db) == SQLITE_OK && ok;
}

}  // namespace bench
