// The file calls of the platform: sharing, creation, reading and seeking,
// copying, deleting, listing by wildcard, the program folder, and the faults
// tests inject.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/emulator.h"
#include "platform/os/wildcard.h"
#include "platform/text.h"
#include "platform/win_base.h"

namespace fs = std::filesystem;

namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tessra-files-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    platform::clearFileFaults();
  }
  void TearDown() override {
    platform::clearFileFaults();
    platform::setProgramFolder("");
    platform::setDeviceRoot("");
    fs::remove_all(folder_);
  }

  std::string posix(const std::string& name) const { return (folder_ / name).string(); }
  std::u16string path(const std::string& name) const { return platform::fromUtf8(posix(name)); }

  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(posix(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(posix(name), std::ios::binary);
    std::string bytes(fs::exists(posix(name)) ? fs::file_size(posix(name)) : 0, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  }

  HANDLE open(const std::string& name, DWORD share = 0, DWORD creation = OPEN_EXISTING,
              DWORD access = GENERIC_READ | GENERIC_WRITE) const {
    return CreateFileW(path(name).c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  std::vector<std::string> list(const std::string& pattern) const {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(path(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      names.push_back(platform::toUtf8(found.cFileName));
    } while (FindNextFileW(search, &found));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(search));
    return names;
  }

  fs::path folder_;
};

// ---- Sharing ---------------------------------------------------------------

struct SharingCase {
  const char* name;
  DWORD firstAccess, firstShare;
  DWORD secondAccess, secondShare;
  bool secondOpens;
};

class Sharing : public Files, public ::testing::WithParamInterface<SharingCase> {};

TEST_P(Sharing, SecondOpenerInThisProcess) {
  const SharingCase& c = GetParam();
  write("db.tsq", "data");
  HANDLE first = open("db.tsq", c.firstShare, OPEN_EXISTING, c.firstAccess);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  HANDLE second = open("db.tsq", c.secondShare, OPEN_EXISTING, c.secondAccess);
  if (c.secondOpens) {
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    CloseHandle(second);
  } else {
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  }
  CloseHandle(first);
  // Closing the first handle frees the file for anyone.
  HANDLE again = open("db.tsq");
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseHandle(again);
}

constexpr DWORD readWrite = GENERIC_READ | GENERIC_WRITE;
INSTANTIATE_TEST_SUITE_P(
    Files, Sharing,
    ::testing::Values(SharingCase{"ExclusiveRefusesExclusive", readWrite, 0, readWrite, 0, false},
                      SharingCase{"ExclusiveRefusesReader", readWrite, 0, GENERIC_READ, FILE_SHARE_READ, false},
                      SharingCase{"ReaderRefusesExclusive", GENERIC_READ, FILE_SHARE_READ, readWrite, 0, false},
                      SharingCase{"ReadersShare", GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true},
                      SharingCase{"ReaderRefusesUnsharedWriter", GENERIC_READ, FILE_SHARE_READ, readWrite,
                                  FILE_SHARE_READ, false}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(Files, ExclusiveOpenRefusesAnotherProcess) {
  write("db.tsq", "data");
  HANDLE held = open("db.tsq");
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HANDLE mine = open("db.tsq", FILE_SHARE_READ, OPEN_EXISTING, GENERIC_READ);
    ::_exit(mine == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the other process opened a file held exclusively";
  CloseHandle(held);
}

// ---- Creation --------------------------------------------------------------

struct CreationCase {
  const char* name;
  DWORD creation;
  bool existsBefore;
  bool opens;
  DWORD error;  // last error after the call
  const char* contentAfter;
};

class Creation : public Files, public ::testing::WithParamInterface<CreationCase> {};

TEST_P(Creation, Disposition) {
  const CreationCase& c = GetParam();
  if (c.existsBefore) write("f.bin", "old");
  SetLastError(12345);
  HANDLE file = open("f.bin", 0, c.creation);
  EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
  EXPECT_EQ(GetLastError(), c.error);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (c.contentAfter == nullptr) {
    EXPECT_FALSE(fs::exists(posix("f.bin")));
  } else {
    EXPECT_EQ(read("f.bin"), c.contentAfter);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Creation,
    ::testing::Values(CreationCase{"OpenExistingMissing", OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
                      CreationCase{"OpenExisting", OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
                      CreationCase{"CreateNewOverExisting", CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
                      CreationCase{"CreateNew", CREATE_NEW, false, true, ERROR_SUCCESS, ""},
                      CreationCase{"CreateAlwaysTruncates", CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
                      CreationCase{"CreateAlways", CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
                      CreationCase{"OpenAlwaysKeeps", OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
                      CreationCase{"TruncateExisting", TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
                      CreationCase{"TruncateMissing", TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND,
                                   nullptr}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(Files, CreateAlwaysDoesNotEmptyAFileHeldByAnother) {
  write("db.tsq", "precious");
  HANDLE held = open("db.tsq");
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(open("db.tsq", 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(read("db.tsq"), "precious");
  CloseHandle(held);
}

TEST_F(Files, OpenFailuresNameTheirCause) {
  EXPECT_EQ(open("no-such-folder/f.bin"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  fs::create_directory(posix("sub"));
  EXPECT_EQ(open("sub"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateFileW(u"", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileW(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

// ---- Reading, writing, seeking ---------------------------------------------------

TEST_F(Files, ShortReadAtTheEndSucceedsWithFewerBytes) {
  write("f.bin", "abcdef");
  HANDLE file = open("f.bin");
  ASSERT_NE(SetFilePointer(file, 4, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  char buffer[8] = {};
  DWORD got = 99;
  EXPECT_TRUE(ReadFile(file, buffer, 8, &got, nullptr));
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(std::string(buffer, got), "ef");
  EXPECT_TRUE(ReadFile(file, buffer, 8, &got, nullptr));
  EXPECT_EQ(got, 0u);
  CloseHandle(file);
}

TEST_F(Files, WriteSeekAndSize) {
  HANDLE file = open("f.bin", 0, CREATE_NEW);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD done = 0;
  EXPECT_TRUE(WriteFile(file, "0123456789", 10, &done, nullptr));
  EXPECT_EQ(done, 10u);
  EXPECT_EQ(SetFilePointer(file, -3, nullptr, FILE_END), 7u);
  EXPECT_EQ(SetFilePointer(file, 1, nullptr, FILE_CURRENT), 8u);
  EXPECT_TRUE(WriteFile(file, "xy", 2, &done, nullptr));
  EXPECT_EQ(GetFileSize(file, nullptr), 10u);
  // Extending with SetEndOfFile fills with zeros; cutting shortens.
  EXPECT_EQ(SetFilePointer(file, 12, nullptr, FILE_BEGIN), 12u);
  EXPECT_TRUE(SetEndOfFile(file));
  EXPECT_EQ(SetFilePointer(file, 5, nullptr, FILE_BEGIN), 5u);
  EXPECT_TRUE(FlushFileBuffers(file));
  CloseHandle(file);
  EXPECT_EQ(read("f.bin"), std::string("01234567xy\0\0", 12));
  file = open("f.bin");
  SetFilePointer(file, 5, nullptr, FILE_BEGIN);
  EXPECT_TRUE(SetEndOfFile(file));
  EXPECT_EQ(GetFileSize(file, nullptr), 5u);
  CloseHandle(file);
}

TEST_F(Files, SeeksOutsideTheFileRangeAreRefused) {
  write("f.bin", "abc");
  HANDLE file = open("f.bin");
  EXPECT_EQ(SetFilePointer(file, -4, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(file, 2, nullptr, 7), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  // With a high part, positions beyond 4 GiB can be named.
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_BEGIN), 0u);
  EXPECT_EQ(high, 1);
  // Without one, a position must fit in 32 bits below INVALID_SET_FILE_POINTER.
  EXPECT_EQ(SetFilePointer(file, 0x7FFFFFFF, nullptr, FILE_BEGIN), 0x7FFFFFFFu);
  EXPECT_EQ(SetFilePointer(file, 0x7FFFFFFF, nullptr, FILE_CURRENT), 0xFFFFFFFEu);
  EXPECT_EQ(SetFilePointer(file, 1, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  // A failed seek leaves the position where it was.
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 0xFFFFFFFEu);
  CloseHandle(file);
}

TEST_F(Files, AccessIsCheckedPerHandle) {
  write("f.bin", "abc");
  HANDLE reader = open("f.bin", FILE_SHARE_READ, OPEN_EXISTING, GENERIC_READ);
  DWORD done = 0;
  EXPECT_FALSE(WriteFile(reader, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(SetEndOfFile(reader));
  CloseHandle(reader);
  EXPECT_EQ(read("f.bin"), "abc");
}

TEST_F(Files, StaleAndForgedHandlesAreRefused) {
  write("f.bin", "abc");
  HANDLE file = open("f.bin");
  ASSERT_TRUE(CloseHandle(file));
  char buffer[4];
  DWORD got = 0;
  const HANDLE forged = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x1234567));
  for (HANDLE bad : {file, forged, INVALID_HANDLE_VALUE, HANDLE{nullptr}}) {
    SetLastError(0);
    EXPECT_FALSE(ReadFile(bad, buffer, 4, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(bad));
    EXPECT_EQ(GetFileSize(bad, nullptr), INVALID_FILE_SIZE);
  }
  // A search handle is not a file handle, and the other way round.
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(path("*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CloseHandle(search));
  EXPECT_TRUE(FindClose(search));
  file = open("f.bin");
  EXPECT_FALSE(FindClose(file));
  EXPECT_TRUE(CloseHandle(file));
}

// ---- Injected faults ------------------------------------------------------------

TEST_F(Files, InjectedFaultsFireOnceAfterTheSkippedCalls) {
  write("f.bin", "abcdef");
  HANDLE file = open("f.bin");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char buffer[2];
  DWORD done = 0;
  struct Case {
    platform::FileOp op;
    std::function<bool()> call;  // true when the call succeeded
    DWORD error;
  };
  const std::vector<Case> cases = {
      {platform::FileOp::Read, [&] { return ReadFile(file, buffer, 1, &done, nullptr) != FALSE; }, ERROR_READ_FAULT},
      {platform::FileOp::Write, [&] { return WriteFile(file, "z", 1, &done, nullptr) != FALSE; }, ERROR_WRITE_FAULT},
      {platform::FileOp::Seek,
       [&] { return SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER; }, ERROR_SEEK},
      {platform::FileOp::Open,
       [&] {
         HANDLE other = open("f.bin", FILE_SHARE_READ, OPEN_EXISTING, GENERIC_READ);
         if (other == INVALID_HANDLE_VALUE) return false;
         CloseHandle(other);
         return true;
       },
       ERROR_ACCESS_DENIED},
  };
  CloseHandle(file);
  for (const auto& c : cases) {
    file = c.op == platform::FileOp::Open ? INVALID_HANDLE_VALUE : open("f.bin");
    platform::clearFileFaults();
    platform::failFileOperation(c.op, 1);
    EXPECT_TRUE(c.call()) << static_cast<int>(c.op);
    EXPECT_FALSE(c.call()) << static_cast<int>(c.op);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_TRUE(c.call()) << static_cast<int>(c.op);
    EXPECT_EQ(platform::fileOperationCount(c.op), 3);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
}

TEST_F(Files, FailedReadAndWriteReportNothingDone) {
  write("f.bin", "abcdef");
  HANDLE file = open("f.bin");
  char buffer[4];
  DWORD done = 77;
  platform::failFileOperation(platform::FileOp::Read, 0);
  EXPECT_FALSE(ReadFile(file, buffer, 4, &done, nullptr));
  EXPECT_EQ(done, 0u);
  done = 77;
  platform::failFileOperation(platform::FileOp::Write, 0);
  EXPECT_FALSE(WriteFile(file, "zz", 2, &done, nullptr));
  EXPECT_EQ(done, 0u);
  CloseHandle(file);
  EXPECT_EQ(read("f.bin"), "abcdef");
}

// The recorder sees what reached the file, where it went, in order: a
// replay of what it gives turns the starting bytes into the file's.
TEST_F(Files, RecordedWritesAreWhatReachedTheFile) {
  write("f.bin", "abcdef");
  platform::stopRecordingWrites();  // nothing from before the start
  HANDLE file = open("f.bin");
  DWORD done = 0;
  WriteFile(file, "zz", 2, &done, nullptr);  // before recording
  platform::startRecordingWrites();
  SetFilePointer(file, 4, nullptr, FILE_BEGIN);
  WriteFile(file, "XYZ", 3, &done, nullptr);
  platform::failFileOperation(platform::FileOp::Write, 0);
  WriteFile(file, "lost", 4, &done, nullptr);
  SetFilePointer(file, 5, nullptr, FILE_BEGIN);
  SetEndOfFile(file);
  HANDLE made = open("new.bin", 0, CREATE_NEW);
  WriteFile(made, "n", 1, &done, nullptr);
  const std::vector<platform::RecordedWrite> writes = platform::stopRecordingWrites();
  WriteFile(file, "after", 5, &done, nullptr);  // after recording
  CloseHandle(file);
  CloseHandle(made);

  using Kind = platform::RecordedWrite::Kind;
  ASSERT_EQ(writes.size(), 4u);
  EXPECT_EQ(writes[0].kind, Kind::Write);
  EXPECT_EQ(writes[0].path, posix("f.bin"));
  EXPECT_EQ(writes[0].offset, 4u);
  EXPECT_EQ(std::string(writes[0].bytes.begin(), writes[0].bytes.end()), "XYZ");
  EXPECT_EQ(writes[1].kind, Kind::Resize);
  EXPECT_EQ(writes[1].offset, 5u);
  EXPECT_EQ(writes[2].kind, Kind::Resize);  // made: a file cut to nothing
  EXPECT_EQ(writes[2].path, posix("new.bin"));
  EXPECT_EQ(writes[2].offset, 0u);
  EXPECT_EQ(writes[3].offset, 0u);
  EXPECT_EQ(std::string(writes[3].bytes.begin(), writes[3].bytes.end()), "n");
}

// ---- Copy and delete -------------------------------------------------------------

TEST_F(Files, CopyHonoursFailIfExists) {
  write("a.tsq", "source");
  write("b.tsq", "target");
  EXPECT_FALSE(CopyFileW(path("a.tsq").c_str(), path("b.tsq").c_str(), TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(read("b.tsq"), "target");
  EXPECT_TRUE(CopyFileW(path("a.tsq").c_str(), path("b.tsq").c_str(), FALSE));
  EXPECT_EQ(read("b.tsq"), "source");
  EXPECT_TRUE(CopyFileW(path("a.tsq").c_str(), path("c.tsq").c_str(), TRUE));
  EXPECT_EQ(read("c.tsq"), "source");
  EXPECT_EQ(read("a.tsq"), "source");
  // No scratch file is left beside the copies.
  EXPECT_EQ(list("*").size(), 3u);
}

TEST_F(Files, CopyOntoItselfIsRefusedWithoutDamage) {
  write("a.tsq", "keep me");
  fs::create_hard_link(posix("a.tsq"), posix("alias.tsq"));
  const std::u16string spellings[] = {path("a.tsq"), path("./a.tsq"), path("alias.tsq")};
  for (const auto& target : spellings) {
    for (BOOL failIfExists : {FALSE, TRUE}) {
      EXPECT_FALSE(CopyFileW(path("a.tsq").c_str(), target.c_str(), failIfExists));
      EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
      EXPECT_EQ(read("a.tsq"), "keep me");
    }
  }
}

TEST_F(Files, CopyFailuresLeaveTheTargetAlone) {
  write("a.tsq", "source");
  write("b.tsq", "target");
  EXPECT_FALSE(CopyFileW(path("missing.tsq").c_str(), path("b.tsq").c_str(), FALSE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  HANDLE held = open("b.tsq");
  EXPECT_FALSE(CopyFileW(path("a.tsq").c_str(), path("b.tsq").c_str(), FALSE));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(held);
  held = open("a.tsq");
  EXPECT_FALSE(CopyFileW(path("a.tsq").c_str(), path("c.tsq").c_str(), FALSE));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(held);
  platform::failFileOperation(platform::FileOp::Write, 0);
  EXPECT_FALSE(CopyFileW(path("a.tsq").c_str(), path("b.tsq").c_str(), FALSE));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
  EXPECT_EQ(read("b.tsq"), "target");
  EXPECT_FALSE(fs::exists(posix("c.tsq")));
  EXPECT_EQ(list("*").size(), 2u);
}

TEST_F(Files, Delete) {
  write("a.tsq", "x");
  fs::create_directory(posix("dir"));
  HANDLE held = open("a.tsq");
  EXPECT_FALSE(DeleteFileW(path("a.tsq").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(held);
  EXPECT_TRUE(DeleteFileW(path("a.tsq").c_str()));
  EXPECT_FALSE(fs::exists(posix("a.tsq")));
  EXPECT_FALSE(DeleteFileW(path("a.tsq").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(DeleteFileW(path("dir").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(fs::exists(posix("dir")));
}

TEST_F(Files, Attributes) {
  write("a.tsq", "x");
  fs::create_directory(posix("dir"));
  EXPECT_EQ(GetFileAttributesW(path("a.tsq").c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesW(path("dir").c_str()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesW(path("b.tsq").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// The phone's file names ignore case: a listed "UP.TSQ" opens as "UP.tsq".
TEST_F(Files, NamesThatDifferOnlyInCaseNameTheSameFile) {
  write("UP.TSQ", "upper");
  HANDLE file = open("UP.tsq");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_EQ(GetFileAttributesW(path("up.Tsq").c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_FALSE(CreateFileW(path("Up.tsq").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr) != INVALID_HANDLE_VALUE);
  EXPECT_TRUE(DeleteFileW(path("up.tsq").c_str()));
  EXPECT_FALSE(fs::exists(posix("UP.TSQ")));
}

// ---- Listing ---------------------------------------------------------------------

TEST_F(Files, WildcardListingIsSortedFilesOnly) {
  for (const char* name : {"Beta.tsq", "alpha.TSQ", "my.notes.tsq", "other.txt", "x.tsqx", "tsq", "gamma.tsq.bak"}) {
    write(name, "x");
  }
  fs::create_directory(posix("folder.tsq"));
  EXPECT_EQ(list("*.tsq"), (std::vector<std::string>{"alpha.TSQ", "Beta.tsq", "my.notes.tsq"}));
  EXPECT_EQ(list("?eta.*"), (std::vector<std::string>{"Beta.tsq"}));
  EXPECT_EQ(list("*.TXT"), (std::vector<std::string>{"other.txt"}));

  WIN32_FIND_DATAW found{};
  EXPECT_EQ(FindFirstFileW(path("*.csv").c_str(), &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFileW(path("missing/*.tsq").c_str(), &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(Files, ListingReportsSizes) {
  write("a.tsq", std::string(70, 'x'));
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(path("*.tsq").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(found.nFileSizeLow, 70u);
  EXPECT_EQ(found.nFileSizeHigh, 0u);
  EXPECT_EQ(found.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
  FindClose(search);
}

TEST(Wildcard, Matching) {
  struct Case {
    const char16_t* pattern;
    const char16_t* name;
    bool matches;
  };
  const Case cases[] = {
      {u"*.tsq", u"a.tsq", true},      {u"*.tsq", u"A.TsQ", true},      {u"*.tsq", u"a.tsqx", false},
      {u"*.tsq", u".tsq", true},       {u"*.tsq", u"a.b.tsq", true},    {u"*.tsq", u"tsq", false},
      {u"a?c", u"abc", true},          {u"a?c", u"ac", false},          {u"*", u"", true},
      {u"", u"a", false},              {u"*a*b*c", u"xxaxxbxxc", true}, {u"*a*b*c", u"xxaxxcxxb", false},
      {u"Ä*", u"äpfel", true},         {u"a**", u"a", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::os::matchesWildcard(c.pattern, c.name), c.matches)
        << platform::toUtf8(c.pattern) << " / " << platform::toUtf8(c.name);
  }
  // A hostile pattern against a long name ends quickly.
  const std::u16string stars(200, u'*');
  EXPECT_FALSE(platform::os::matchesWildcard(stars + u"b", std::u16string(250, u'a')));
}

// ---- Paths and folders -------------------------------------------------------------

TEST_F(Files, BackslashesSeparateAndALeadingOneIsThePhoneRoot) {
  platform::setDeviceRoot(posix("device"));
  fs::create_directories(posix("device/sub"));
  HANDLE file = CreateFileW(u"\\sub\\Tessra.tmp", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_TRUE(fs::exists(posix("device/sub/Tessra.tmp")));
  EXPECT_TRUE(DeleteFileW((platform::fromUtf8(posix("device")) + u"\\sub\\Tessra.tmp").c_str()));
}

TEST_F(Files, DeviceRootIsCreatedOnDemand) {
  platform::setDeviceRoot(posix("phone/root/"));
  EXPECT_EQ(platform::deviceRoot(), posix("phone/root"));
  EXPECT_TRUE(fs::is_directory(posix("phone/root")));
}

TEST_F(Files, ModuleFileNameLiesInTheProgramFolder) {
  const std::string exeName = fs::read_symlink("/proc/self/exe").filename().string();
  WCHAR buffer[MAX_PATH];

  platform::setProgramFolder(posix("home/"));
  const std::u16string expected = path("home/" + exeName);
  EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, MAX_PATH), expected.size());
  EXPECT_EQ(std::u16string(buffer), expected);
  EXPECT_EQ(platform::programFolderUtf8(), posix("home"));

  // Too small: truncated, terminated, and the buffer's size comes back.
  EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 5), 5u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(buffer), expected.substr(0, 4));

  // Without an override: TESSRA_HOME, then the executable's own folder.
  platform::setProgramFolder("");
  ::setenv("TESSRA_HOME", posix("env").c_str(), 1);
  EXPECT_EQ(platform::programFolderUtf8(), posix("env"));
  ::unsetenv("TESSRA_HOME");
  EXPECT_EQ(platform::programFolderUtf8(), fs::read_symlink("/proc/self/exe").parent_path().string());
}

TEST(Heap, LocalAllocZeroesWithLptr) {
  auto* block = static_cast<unsigned char*>(LocalAlloc(LPTR, 64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
  EXPECT_EQ(LocalFree(block), nullptr);
  void* empty = LocalAlloc(LPTR, 0);
  EXPECT_NE(empty, nullptr);
  LocalFree(empty);
}

}  // namespace
