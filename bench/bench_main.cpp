// tessra-bench: Tessra next to sqlite3 on the same contact list, in one
// process, one line per operation and size:
//
//   OPERATION RECORDS tessra_ms sqlite_ms ratio reads writes
//
// ratio is tessra_ms / sqlite_ms (below 1: Tessra is faster); reads and
// writes are the ReadFile and WriteFile calls Tessra made. Times are the
// medians of the repetitions. Notes and failures go to stderr; the exit
// status is 1 when the two sides disagree about a result or an operation
// failed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/clock.h"
#include "bench/contacts.h"
#include "bench/sqlite_side.h"
#include "bench/tessra_side.h"
#include "platform/text.h"

namespace {

namespace fs = std::filesystem;
using namespace bench;

const char* const operations[] = {"open-list", "sort", "sort-date", "search", "search-button", "rekey", "new-1000"};
// Asked for by name only: the list of a database sorted by its Date column,
// a row of formatted dates each.
const char* const extraOperations[] = {"open-list-date"};

struct Options {
  std::vector<std::uint32_t> sizes{1000, 10000, 100000};
  int repeat = 5;
  std::set<std::string> only;
  std::string folder;  // empty: a fresh temporary folder, removed at the end
};

void usage(std::FILE* out) {
  std::fprintf(out,
               "usage: tessra-bench [--sizes N,N,...] [--repeat R] [--only OP,OP,...] [--folder DIR]\n"
               "  --sizes   record counts (default 1000,10000,100000)\n"
               "  --repeat  repetitions per operation; the median is printed (default 5)\n"
               "  --only    operations: open-list sort sort-date search search-button rekey new-1000,\n"
               "            and open-list-date (only when named)\n"
               "  --folder  where the databases are made (kept); default a temporary folder\n"
               "prints: OPERATION RECORDS tessra_ms sqlite_ms ratio reads writes\n");
}

std::vector<std::string> splitList(const char* text) {
  std::vector<std::string> parts;
  std::string part;
  for (const char* p = text; *p != 0; ++p) {
    if (*p == ',') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += *p;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      std::exit(0);
    } else if (arg == "--sizes" && hasValue) {
      options.sizes.clear();
      for (const std::string& size : splitList(argv[++i])) {
        char* end = nullptr;
        const unsigned long n = std::strtoul(size.c_str(), &end, 10);
        if (*end != 0 || n == 0 || n > 1000000) return false;
        options.sizes.push_back(static_cast<std::uint32_t>(n));
      }
      if (options.sizes.empty()) return false;
    } else if (arg == "--repeat" && hasValue) {
      options.repeat = std::atoi(argv[++i]);
      if (options.repeat < 1 || options.repeat > 1000) return false;
    } else if (arg == "--only" && hasValue) {
      for (const std::string& op : splitList(argv[++i])) {
        bool known = false;
        for (const char* name : operations) known = known || op == name;
        for (const char* name : extraOperations) known = known || op == name;
        if (!known) return false;
        options.only.insert(op);
      }
    } else if (arg == "--folder" && hasValue) {
      options.folder = argv[++i];
    } else {
      return false;
    }
  }
  return true;
}

// One operation's medians and Tessra's file calls, with whether the two
// sides agreed on every repetition.
struct Measured {
  std::vector<double> tessra;
  std::vector<double> sqlite;
  int reads = 0;
  int writes = 0;
  bool agreed = true;
  bool failed = false;
  bool missing = false;  // Tessra has no such operation yet
};

class Bench {
 public:
  Bench(const Options& options, const std::string& folder)
      : options_(options), folder_(folder), session_(folder) {}

  bool started() const { return session_.started(); }
  bool allAgreed() const { return allAgreed_; }

  void runSize(std::uint32_t n) {
    const std::vector<Contact> contacts = makeContacts(n);
    const std::string stem = "contacts-" + std::to_string(n);
    const std::string pristineTsq = folder_ + "/pristine/" + stem + ".tsq";
    const std::string pristineSqlite = folder_ + "/pristine/" + stem + ".sqlite";
    fs::create_directories(folder_ + "/pristine");
    if (!writeFile(pristineTsq, encodeDatabase(contactsImage(contacts))) ||
        !writeSqlite(pristineSqlite, contacts)) {
      std::fprintf(stderr, "tessra-bench: cannot write the databases of %u records\n", n);
      allAgreed_ = false;
      return;
    }
    tsq_ = folder_ + "/" + stem + ".tsq";
    sqlite_ = folder_ + "/" + stem + ".sqlite";
    name_ = platform::fromUtf8(stem);

    auto fresh = [&] {
      fs::copy_file(pristineTsq, tsq_, fs::copy_options::overwrite_existing);
      fs::copy_file(pristineSqlite, sqlite_, fs::copy_options::overwrite_existing);
    };

    measure("open-list", n, fresh, [&] { return session_.openList(name_); },
            [&] { return sqlite::openList(sqlite_, "name"); });
    if (options_.only.count("open-list-date") != 0) {
      // Both files sorted by the date first, outside the timing.
      const std::string byDateTsq = folder_ + "/pristine/" + stem + "-by-date.tsq";
      const std::string byDateSqlite = folder_ + "/pristine/" + stem + "-by-date.sqlite";
      session_.close();
      fresh();
      const bool sorted = session_.sort(name_, item::birthday).result == 1 &&
                          sqlite::createIndex(sqlite_, "birthday").ok;
      session_.close();
      fs::copy_file(tsq_, byDateTsq, fs::copy_options::overwrite_existing);
      fs::copy_file(sqlite_, byDateSqlite, fs::copy_options::overwrite_existing);
      auto freshByDate = [&] {
        fs::copy_file(byDateTsq, tsq_, fs::copy_options::overwrite_existing);
        fs::copy_file(byDateSqlite, sqlite_, fs::copy_options::overwrite_existing);
      };
      if (sorted)
        measure("open-list-date", n, freshByDate, [&] { return session_.openList(name_); },
                [&] { return sqlite::openList(sqlite_, "birthday"); });
    }
    measure("sort", n, fresh, [&] { return session_.sort(name_, item::city); },
            [&] { return sqlite::createIndex(sqlite_, "city"); });
    measure("sort-date", n, fresh, [&] { return session_.sort(name_, item::birthday); },
            [&] { return sqlite::createIndex(sqlite_, "birthday"); });

    std::vector<std::u16string> probes;
    // What a user types: the first letters of a name, in lower case.
    for (std::uint32_t k = 0; k < 50; ++k) {
      std::u16string typed;
      for (char16_t c : extraContact(k).name) {
        if (c == u' ' || typed.size() == 3 + k % 4) break;
        typed += static_cast<char16_t>(c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c);
      }
      probes.push_back(typed);
    }
    measure("search", n, fresh, [&] { return session_.search(name_, probes); },
            [&] { return sqlite::search(sqlite_, probes); });
    measure("search-button", n, fresh, [&] { return session_.searchButton(name_, item::thirties); },
            [&] { return sqlite::countThirties(sqlite_); });

    std::vector<std::u16string> names;
    for (std::uint32_t k = 0; k < 20; ++k) names.push_back(extraContact(100 + k).name);
    const std::uint32_t place = n / 2;
    const std::int64_t rowid = sqlite::rowidAtPlace(pristineSqlite, place);
    measure("rekey", n, fresh, [&] { return session_.rename(name_, place, names); },
            [&] { return sqlite::rename(sqlite_, rowid, names); });

    std::vector<Contact> added;
    for (std::uint32_t k = 0; k < 1000; ++k) added.push_back(extraContact(10000 + k));
    measure("new-1000", n, fresh, [&] { return session_.addEach(name_, added); },
            [&] { return sqlite::insertEach(sqlite_, added); });

    std::error_code ignored;
    fs::remove(tsq_, ignored);
    fs::remove(sqlite_, ignored);
    fs::remove(sqlite_ + "-journal", ignored);
  }

 private:
  static bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written;
  }

  // Every operation of the table unless some are named.
  bool wanted(const char* op) const {
    if (options_.only.empty()) {
      for (const char* extra : extraOperations)
        if (std::strcmp(op, extra) == 0) return false;
      return true;
    }
    return options_.only.count(op) != 0;
  }

  void measure(const char* op, std::uint32_t n, const std::function<void()>& fresh,
               const std::function<tessra::Run()>& ours, const std::function<sqlite::Run()>& theirs) {
    if (!wanted(op)) return;
    Measured m;
    for (int rep = 0; rep < options_.repeat && !m.failed; ++rep) {
      session_.close();
      fresh();
      tessra::Run a;
      sqlite::Run b;
      // Taking turns at going first spreads what the machine is doing
      // meanwhile over both sides.
      if (rep % 2 == 0) {
        a = ours();
        b = theirs();
      } else {
        b = theirs();
        a = ours();
      }
      if (!a.built) {
        m.missing = true;
        if (b.ok) m.sqlite.push_back(b.ms);
        continue;
      }
      for (const std::string& screen : session_.takeSurprises())
        std::fprintf(stderr, "%s %u: the program asked:\n%s\n", op, n, screen.c_str());
      if (!a.ok || !b.ok) {
        std::fprintf(stderr, "%s %u: %s failed\n", op, n, !a.ok ? "tessra" : "sqlite3");
        m.failed = true;
        break;
      }
      if (a.result != b.result) {
        std::fprintf(stderr, "%s %u: tessra found %llu, sqlite3 %llu\n", op, n,
                     static_cast<unsigned long long>(a.result), static_cast<unsigned long long>(b.result));
        m.agreed = false;
      }
      m.tessra.push_back(a.ms);
      m.sqlite.push_back(b.ms);
      m.reads = a.reads;
      m.writes = a.writes;
    }
    if (m.failed || !m.agreed) allAgreed_ = false;
    if (m.missing) {
      std::fprintf(stderr, "%s %u: not in Tessra yet; sqlite3 alone\n", op, n);
      std::printf("%s %u - %.3f - - -\n", op, n, median(m.sqlite));
    } else if (m.failed) {
      std::printf("%s %u - - - - -\n", op, n);
    } else {
      const double tessraMs = median(m.tessra);
      const double sqliteMs = median(m.sqlite);
      std::printf("%s %u %.3f %.3f %.2f %d %d\n", op, n, tessraMs, sqliteMs, sqliteMs > 0 ? tessraMs / sqliteMs : 0.0, m.reads,
                  m.writes);
    }
    std::fflush(stdout);
  }

  const Options& options_;
  std::string folder_;
  tessra::Session session_;
  std::string tsq_;
  std::string sqlite_;
  std::u16string name_;
  bool allAgreed_ = true;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    usage(stderr);
    return 2;
  }
  const bool temporary = options.folder.empty();
  std::string folder = options.folder;
  if (temporary) folder = (fs::temp_directory_path() / ("tessra-bench-" + std::to_string(::getpid()))).string();
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "tessra-bench: cannot make %s\n", folder.c_str());
    return 2;
  }
  bool agreed = false;
  {
    Bench bench(options, fs::absolute(folder).string());
    if (!bench.started()) {
      std::fprintf(stderr, "tessra-bench: the program did not start\n");
      return 2;
    }
    for (std::uint32_t n : options.sizes) bench.runSize(n);
    agreed = bench.allAgreed();
  }
  if (temporary) fs::remove_all(folder, error);
  return agreed ? 0 : 1;
}
