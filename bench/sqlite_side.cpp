#include "bench/sqlite_side.h"

#include <sqlite3.h>

#include "bench/clock.h"

namespace bench::sqlite {

namespace {

// One connection with the benchmark's settings; closed with the object.
class Connection {
 public:
  explicit Connection(const std::string& path) {
    ok_ = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
          sqlite3_exec(db_, "PRAGMA synchronous=OFF; PRAGMA journal_mode=DELETE;", nullptr, nullptr, nullptr) ==
              SQLITE_OK;
  }
  ~Connection() { sqlite3_close(db_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool ok() const { return ok_; }
  sqlite3* get() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
  bool ok_ = false;
};

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) == SQLITE_OK; }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return ok_; }
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  bool ok_ = false;
};

bool bindText(sqlite3_stmt* stmt, int column, const std::u16string& text) {
  return sqlite3_bind_text16(stmt, column, text.data(), static_cast<int>(text.size() * 2), SQLITE_TRANSIENT) ==
         SQLITE_OK;
}

}  // namespace

Run openList(const std::string& path, const char* column) {
  Run run;
  std::vector<std::u16string> names;
  Stopwatch watch;
  {
    Connection db(path);
    if (!db.ok()) return run;
    const std::string sql = std::string("SELECT ") + column + " FROM contacts ORDER BY " + column;
    Statement select(db.get(), sql.c_str());
    if (!select.ok()) return run;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(select.get())) == SQLITE_ROW) {
      const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(select.get(), 0));
      const int bytes = sqlite3_column_bytes16(select.get(), 0);
      names.emplace_back(text != nullptr ? text : u"", static_cast<std::size_t>(bytes / 2));
    }
    run.ms = watch.ms();
    run.ok = step == SQLITE_DONE;
  }
  run.result = names.size();
  return run;
}

Run createIndex(const std::string& path, const char* column) {
  Run run;
  Connection db(path);
  if (!db.ok()) return run;
  const std::string sql = std::string("CREATE INDEX contacts_") + column + " ON contacts(" + column + ")";
  Stopwatch watch;
  run.ok = sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  run.ms = watch.ms();
  run.result = run.ok ? 1 : 0;
  return run;
}

Run search(const std::string& path, const std::vector<std::u16string>& probes) {
  Run run;
  Connection db(path);
  if (!db.ok() || probes.empty()) return run;
  Statement select(db.get(), "SELECT rowid FROM contacts WHERE name >= ? ORDER BY name LIMIT 1");
  if (!select.ok()) return run;
  run.ok = true;
  Stopwatch watch;
  for (const std::u16string& probe : probes) {
    run.ok = run.ok && bindText(select.get(), 1, probe);
    const int step = sqlite3_step(select.get());
    if (step == SQLITE_ROW) ++run.result;
    run.ok = run.ok && (step == SQLITE_ROW || step == SQLITE_DONE);
    sqlite3_reset(select.get());
  }
  run.ms = watch.ms() / static_cast<double>(probes.size());
  return run;
}

Run countThirties(const std::string& path) {
  Run run;
  Connection db(path);
  if (!db.ok()) return run;
  Stopwatch watch;
  Statement count(db.get(), "SELECT count(*) FROM contacts WHERE visits >= ? AND visits < ?");
  if (!count.ok()) return run;
  sqlite3_bind_int(count.get(), 1, thirtiesLow);
  sqlite3_bind_int(count.get(), 2, thirtiesHigh);
  run.ok = sqlite3_step(count.get()) == SQLITE_ROW;
  run.result = static_cast<std::uint64_t>(sqlite3_column_int64(count.get(), 0));
  run.ms = watch.ms();
  return run;
}

Run rename(const std::string& path, std::int64_t rowid, const std::vector<std::u16string>& names) {
  Run run;
  Connection db(path);
  if (!db.ok() || names.empty()) return run;
  Statement update(db.get(), "UPDATE contacts SET name = ? WHERE rowid = ?");
  if (!update.ok()) return run;
  run.ok = true;
  Stopwatch watch;
  for (const std::u16string& name : names) {
    run.ok = run.ok && bindText(update.get(), 1, name) && sqlite3_bind_int64(update.get(), 2, rowid) == SQLITE_OK &&
             sqlite3_step(update.get()) == SQLITE_DONE;
    run.result += static_cast<std::uint64_t>(sqlite3_changes(db.get()));
    sqlite3_reset(update.get());
  }
  run.ms = watch.ms() / static_cast<double>(names.size());
  return run;
}

Run insertEach(const std::string& path, const std::vector<Contact>& contacts) {
  Run run;
  Connection db(path);
  if (!db.ok()) return run;
  Stopwatch watch;
  Statement insert(db.get(), "INSERT INTO contacts VALUES(?,?,?,?,?,?,?)");
  run.ok = insert.ok();
  for (std::size_t i = 0; run.ok && i < contacts.size(); ++i) {
    run.ok = insertContact(insert.get(), contacts[i]);
    if (run.ok) ++run.result;
  }
  run.ms = watch.ms();
  return run;
}

std::int64_t rowidAtPlace(const std::string& path, std::uint32_t place) {
  Connection db(path);
  if (!db.ok()) return 0;
  Statement select(db.get(), "SELECT rowid FROM contacts ORDER BY name LIMIT 1 OFFSET ?");
  if (!select.ok()) return 0;
  sqlite3_bind_int64(select.get(), 1, place);
  return sqlite3_step(select.get()) == SQLITE_ROW ? sqlite3_column_int64(select.get(), 0) : 0;
}

}  // namespace bench::sqlite
