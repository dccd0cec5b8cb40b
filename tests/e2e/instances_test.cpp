// A second start of the program while a first one runs: instance A runs in
// the background through the headless driver and serves (the key script's
// Serve), instance B starts on the same phone and signals it, takes over
// from it, or ends.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/tsq_fixture.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr const char* notesDefinition = R"({
  "items": [
    {"kind": "Label", "caption": "Title", "row": 0, "left": 0, "width": 36},
    {"kind": "Field", "caption": "Title", "row": 0, "left": 42}
  ],
  "sortItem": "Title",
  "records": [{"Title": "Apples"}, {"Title": "Pears"}]
})";

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool blank(const std::string& screen) { return screen.find_first_not_of(" \n") == std::string::npos; }

// A program run as its own process, its output kept in files.
struct Process {
  pid_t pid = -1;
  std::string out;
  std::string err;

  // The exit code; -1 when it did not end by itself within a minute (it is
  // then killed, so a hang fails the test instead of stalling the suite).
  int wait() {
    for (int i = 0; i < 6000; ++i) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
  }
  std::string screen() const { return readText(out); }
  std::string errors() const { return readText(err); }
};

class SecondStart : public ::testing::Test {
 protected:
  SecondStart() : root_(tsqtest::uniqueTempPath("-instances")) {
    for (const char* folder : {"home", "device", "other-device", "scratch"}) fs::create_directories(root_ + "/" + folder);
  }
  ~SecondStart() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::string home() const { return root_ + "/home"; }
  std::string device() const { return root_ + "/device"; }
  std::string otherDevice() const { return root_ + "/other-device"; }

  void create(const std::string& name) {
    const std::string json = root_ + "/scratch/" + name + ".json";
    std::ofstream(json) << notesDefinition;
    Process tool = spawn({TSQ, "create", home() + "/" + name + ".tsq", json});
    ASSERT_EQ(tool.wait(), 0) << tool.screen() << tool.errors();
  }

  // The program through the driver: keys, then the program's command line.
  Process drive(const std::string& device, const std::string& keys, const std::string& commandLine = {}) {
    std::vector<std::string> args = {TESSRA_DRIVE, "--home", home(), "--device", device, "--keys", keys};
    if (!commandLine.empty()) {
      args.push_back("--");
      args.push_back(commandLine);
    }
    return spawn(args);
  }

  // Instance A: started in the background; returns once it is known to the
  // phone (its registry entry exists), so that B finds it.
  Process startFirst(const std::string& device, const std::string& keys) {
    Process a = drive(device, keys);
    const std::string entry = device + "/instances/" + std::to_string(a.pid);
    for (int i = 0; i < 1000 && !fs::exists(entry); ++i) ::usleep(10000);
    EXPECT_TRUE(fs::exists(entry)) << "the first instance never published itself";
    return a;
  }

 private:
  Process spawn(const std::vector<std::string>& args) {
    Process p;
    const std::string name = root_ + "/scratch/run" + std::to_string(runs_++);
    p.out = name + ".out";
    p.err = name + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, p.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, p.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&p.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) p.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_GT(p.pid, 0) << "cannot start " << args[0];
    return p;
  }

  std::string root_;
  int runs_ = 0;
};

// What the driver says when Serve waited in vain.
constexpr const char* servedNothing = "no other instance sent a message";

TEST_F(SecondStart, WithoutArgumentsBringsTheFirstForwardAndEndsWithoutAWindow) {
  create("Notes");
  Process a = startFirst(device(), "Serve");
  Process b = drive(device(), "Down");
  EXPECT_EQ(b.wait(), 0);
  // B never had a window: its screen is blank and its key was never asked for.
  EXPECT_TRUE(blank(b.screen())) << b.screen();

  EXPECT_EQ(a.wait(), 0);
  EXPECT_EQ(a.errors().find(servedNothing), std::string::npos) << a.errors();
  EXPECT_NE(a.screen().find("Notes"), std::string::npos) << a.screen();
}

TEST_F(SecondStart, RefreshOptionSendsTheFirstBackToItsCatalogueListedAfresh) {
  create("Notes");
  // A opens Notes and waits on its ListView.
  Process a = startFirst(device(), "Action Serve");
  create("Extra");  // appears only once A lists the folder again
  Process b = drive(device(), "", "/F");  // the option in either letter case
  EXPECT_EQ(b.wait(), 0);
  EXPECT_TRUE(blank(b.screen())) << b.screen();

  EXPECT_EQ(a.wait(), 0);
  EXPECT_EQ(a.errors().find(servedNothing), std::string::npos) << a.errors();
  const std::string screen = a.screen();
  EXPECT_NE(screen.find("Extra"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Notes"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("Apples"), std::string::npos) << screen;
}

TEST_F(SecondStart, RefreshOptionWithNothingRunningEndsAtOnce) {
  create("Notes");
  Process b = drive(device(), "Down", "/f");
  EXPECT_EQ(b.wait(), 0);
  EXPECT_TRUE(blank(b.screen())) << b.screen();
}

TEST_F(SecondStart, WithAPathClosesTheFirstAndOpensTheFileItHeld) {
  create("Notes");
  // A holds Notes open (and locked) on its ListView.
  Process a = startFirst(device(), "Action Serve");
  Process b = drive(device(), "", home() + "/Notes.tsq");
  EXPECT_EQ(b.wait(), 0);
  const std::string screen = b.screen();
  EXPECT_NE(screen.find("Apples"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Pears"), std::string::npos) << screen;

  // A closed its database and window, and ended.
  EXPECT_EQ(a.wait(), 0);
  EXPECT_EQ(a.errors().find(servedNothing), std::string::npos) << a.errors();
  EXPECT_TRUE(blank(a.screen())) << a.screen();
}

TEST_F(SecondStart, InstancesOfDifferentDeviceFoldersNeverSeeEachOther) {
  create("Notes");
  Process a = startFirst(device(), "Serve");
  // B on another phone starts as if alone: the Catalogue.
  Process b = drive(otherDevice(), "");
  EXPECT_EQ(b.wait(), 0);
  EXPECT_NE(b.screen().find("Notes"), std::string::npos) << b.screen();
  EXPECT_NE(b.screen().find("Open"), std::string::npos) << b.screen();

  // A was reachable all along on its own phone: a start there ends its wait.
  Process c = drive(device(), "");
  EXPECT_EQ(c.wait(), 0);
  EXPECT_TRUE(blank(c.screen())) << c.screen();
  EXPECT_EQ(a.wait(), 0);
  EXPECT_EQ(a.errors().find(servedNothing), std::string::npos) << a.errors();
}

}  // namespace
