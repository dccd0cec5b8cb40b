// Tessra's record storage next to sqlite3 on the same records: a contact
// list with a text key, a number, a date and a note. Each pair of
// benchmarks does the same work both ways; the program ends by printing
// tessra / sqlite3 time ratios (below 1: Tessra is faster).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/windows.h"
#include "records/compare.h"
#include "records/encoding.h"
#include "storage/database.h"
#include "storage/layout.h"
#include "storage/primitives.h"
#include "storage/writer.h"

namespace {

constexpr int recordCount = 20000;

std::u16string nameOf(int i) {
  // Names spread over the alphabet, stored in key order.
  char text[32];
  std::snprintf(text, sizeof text, "Contact %c%c %05d", 'A' + (i * 7 / recordCount) % 26, 'a' + i % 26, i);
  return platform::fromUtf8(text);
}

FieldValue value(std::uint16_t fieldId, ValueType type) {
  FieldValue v{};
  v.fieldId = fieldId;
  v.valueType = static_cast<std::uint8_t>(type);
  return v;
}

DatabaseImage contacts() {
  DatabaseImage image;
  auto item = [](ItemKind kind, ValueType type, std::uint16_t id, const char16_t* caption) {
    ItemImage i;
    i.kind = static_cast<std::uint8_t>(kind);
    i.valueType = static_cast<std::uint8_t>(type);
    i.fieldId = id;
    i.caption = caption;
    return i;
  };
  image.items = {item(ItemKind::Field, ValueType::Text, 1, u"Name"), item(ItemKind::Field, ValueType::Number, 2, u"Score"),
                 item(ItemKind::Field, ValueType::Date, 3, u"Since"), item(ItemKind::Field, ValueType::Text, 4, u"Note")};
  image.sortItem = 0;
  for (int i = 0; i < recordCount; ++i) {
    RecordImage r;
    FieldValue name = value(1, ValueType::Text);
    setText(name, nameOf(i).c_str());
    FieldValue score = value(2, ValueType::Number);
    score.payload.number = i * 0.5;
    FieldValue since = value(3, ValueType::Date);
    since.payload.calendar.time = SYSTEMTIME{static_cast<WORD>(2000 + i % 25), static_cast<WORD>(1 + i % 12), 0,
                                             static_cast<WORD>(1 + i % 28), 0, 0, 0, 0};
    FieldValue note = value(4, ValueType::Text);
    setText(note, u"Met at the spring fair; call back about the order");
    r.values = {name, score, since, note};
    image.records.push_back(r);
  }
  return image;
}

struct Files {
  std::string folder = std::filesystem::temp_directory_path() / ("tessra-bench-" + std::to_string(::getpid()));
  std::string tsq = folder + "/contacts.tsq";
  std::string sqlite = folder + "/contacts.sqlite";

  Files() {
    std::filesystem::create_directories(folder);
    std::vector<std::uint8_t> bytes = encodeDatabase(contacts());
    std::FILE* out = std::fopen(tsq.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);

    sqlite3* db = nullptr;
    sqlite3_open(sqlite.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE contacts(name TEXT COLLATE NOCASE, score REAL, since TEXT, note TEXT);"
                 "CREATE INDEX by_name ON contacts(name);",
                 nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO contacts VALUES(?,?,?,?)", -1, &insert, nullptr);
    for (int i = 0; i < recordCount; ++i) {
      std::string name = platform::toUtf8(nameOf(i));
      char since[16];
      std::snprintf(since, sizeof since, "%04d-%02d-%02d", 2000 + i % 25, 1 + i % 12, 1 + i % 28);
      sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_double(insert, 2, i * 0.5);
      sqlite3_bind_text(insert, 3, since, -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 4, "Met at the spring fair; call back about the order", -1, SQLITE_STATIC);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  ~Files() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

Files& files() {
  static Files f;
  return f;
}

// A tsq file opened as the program opens it, up to its record index.
struct OpenTsq {
  std::unique_ptr<Database> db = std::make_unique<Database>();
  std::vector<RecordIndexEntry> index;

  OpenTsq() {
    setStartupValues(*db);
    std::u16string path = platform::fromUtf8(files().tsq);
    db->store.file.handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    readLayout(db->store.file.handle, db->store.layout, nullptr, nullptr);
    db->store.file.dataBase = SetFilePointer(db->store.file.handle, 0, nullptr, FILE_CURRENT);
    std::uint8_t raw[dataHeaderSize];
    readAt((*db).store.file, 0, dataHeaderSize, raw);
    db->store.file.header.recordCount = loadU32(raw);
    db->store.file.header.firstRecord = loadU32(raw + 8);
    db->store.file.header.sortItem = loadU32(raw + 12);
  }
  ~OpenTsq() { CloseHandle(db->store.file.handle); }

  static std::uint32_t loadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }

  // What opening does: walk the chain, find every record's key.
  void loadIndex() {
    index.clear();
    index.reserve(db->store.file.header.recordCount);
    Position at = db->store.file.header.firstRecord;
    while (at != noPosition && index.size() < db->store.file.header.recordCount) {
      RecordHeader header;
      readRecordHeader((*db).store.file, at, header);
      Position key = noPosition;
      findKeyField((*db).store, header.firstField, 0, key);
      index.push_back(RecordIndexEntry{at, includedFlag, -1, key});
      at = header.nextRecord;
    }
    db->store.records.index = index.data();
  }
};

void loadIndexTessra(benchmark::State& state) {
  OpenTsq open;
  for (auto _ : state) {
    open.loadIndex();
    benchmark::DoNotOptimize(open.index.data());
  }
  state.SetItemsProcessed(state.iterations() * recordCount);
}

void loadIndexSqlite(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(files().sqlite.c_str(), &db);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db, "SELECT rowid, name FROM contacts ORDER BY name", -1, &select, nullptr);
  std::vector<std::int64_t> rows;
  for (auto _ : state) {
    rows.clear();
    while (sqlite3_step(select) == SQLITE_ROW) rows.push_back(sqlite3_column_int64(select, 0));
    sqlite3_reset(select);
    benchmark::DoNotOptimize(rows.data());
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * recordCount);
}

void readAllTessra(benchmark::State& state) {
  OpenTsq open;
  open.loadIndex();
  FieldValue value{};
  for (auto _ : state) {
    double sum = 0;
    for (const RecordIndexEntry& entry : open.index) {
      RecordHeader header;
      readRecordHeader(open.db->store.file, entry.position, header);
      for (Position at = header.firstField; at != noPosition; at = value.next) {
        readFieldValue(open.db->store.file, at, value);
        if (value.valueType == static_cast<std::uint8_t>(ValueType::Number)) sum += value.payload.number;
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * recordCount);
}

void readAllSqlite(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(files().sqlite.c_str(), &db);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db, "SELECT name, score, since, note FROM contacts ORDER BY name", -1, &select, nullptr);
  for (auto _ : state) {
    double sum = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_text(select, 0));
      sum += sqlite3_column_double(select, 1);
      benchmark::DoNotOptimize(sqlite3_column_text(select, 2));
      benchmark::DoNotOptimize(sqlite3_column_text(select, 3));
    }
    sqlite3_reset(select);
    benchmark::DoNotOptimize(sum);
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * recordCount);
}

void findKeyTessra(benchmark::State& state) {
  OpenTsq open;
  open.loadIndex();
  FieldValue probe{};
  probe.fieldId = 1;
  probe.valueType = static_cast<std::uint8_t>(ValueType::Text);
  int i = 0;
  for (auto _ : state) {
    setText(probe, nameOf((i++ * 7919) % recordCount).c_str());
    std::int32_t found = -1;
    locateKey(open.db->store, probe, false, found);
    benchmark::DoNotOptimize(found);
  }
}

void findKeySqlite(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(files().sqlite.c_str(), &db);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db, "SELECT rowid FROM contacts WHERE name >= ? ORDER BY name LIMIT 1", -1, &select, nullptr);
  int i = 0;
  for (auto _ : state) {
    std::string name = platform::toUtf8(nameOf((i++ * 7919) % recordCount));
    sqlite3_bind_text(select, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(select);
    benchmark::DoNotOptimize(sqlite3_column_int64(select, 0));
    sqlite3_reset(select);
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
}

BENCHMARK(loadIndexTessra)->Name("open_index/tessra")->Unit(benchmark::kMillisecond);
BENCHMARK(loadIndexSqlite)->Name("open_index/sqlite3")->Unit(benchmark::kMillisecond);
BENCHMARK(readAllTessra)->Name("read_all/tessra")->Unit(benchmark::kMillisecond);
BENCHMARK(readAllSqlite)->Name("read_all/sqlite3")->Unit(benchmark::kMillisecond);
BENCHMARK(findKeyTessra)->Name("find_key/tessra")->Unit(benchmark::kMicrosecond);
BENCHMARK(findKeySqlite)->Name("find_key/sqlite3")->Unit(benchmark::kMicrosecond);

// Collects each run's time per iteration, then prints the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-12s %14s\n", "work", "tessra/sqlite3");
    for (const auto& [name, time] : times_) {
      auto slash = name.find("/tessra");
      if (slash == std::string::npos) continue;
      std::string work = name.substr(0, slash);
      auto other = times_.find(work + "/sqlite3");
      if (other == times_.end() || other->second <= 0) continue;
      std::printf("%-12s %14.2f\n", work.c_str(), time / other->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  files();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
