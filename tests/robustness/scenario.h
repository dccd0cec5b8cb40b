// Operations that write, as a user gives them in the program, and the two
// ways of breaking them: a file operation that fails (the fault sweep),
// and the power going after any of their writes (the prefix replay).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/emulator.h"
#include "storage/writer.h"
#include "tests/robustness/file_state.h"
#include "tests/support/app_fixture.h"

namespace robust {

using apptest::App;

struct Scenario {
  std::string name;
  DatabaseImage image;
  // Opens the image as "db" and goes to where the operation starts.
  std::function<void(App&)> begin;
  // The operation as the user gives it, keys for its dialogs included.
  std::function<void(App&)> act;
  // The operation given again after it failed, as the user would: false
  // when what the user sees leaves nothing to do again.
  std::function<bool(App&)> again;
  // Whether the operation reads the file once the cache is emptied (a read
  // sweep that injects nothing is then a fault of the sweep).
  bool reads = true;
  // Whether closing the window finishes the operation (a commit does; a
  // Sort or Delete that failed is only given again by the user).
  bool closeFinishes = true;
  // Whether the order of records with equal keys the operation leaves
  // depends on the order it starts from (Sort is no stable sort): then it
  // is done when the records are all there in a sound order.
  bool unstableOrder = false;
  // Whether a failure may forget a remembered SMS text without saying so,
  // as storing one does when its room or its write fails.
  bool mayForget = false;
  // Asserts what a run without faults must leave; may be empty.
  std::function<void(const std::vector<std::uint8_t>&)> checkClean;
};

// The operation without faults.
struct CleanRun {
  std::vector<std::uint8_t> before;  // the file when the operation starts
  std::vector<std::uint8_t> after;
  FileState beforeState;
  FileState afterState;
  int writes = 0;
  int seeks = 0;
  int reads = 0;
  std::vector<std::string> messages;               // error messages shown (none expected)
  std::vector<platform::RecordedWrite> recorded;  // the writes that reached the database file
};
CleanRun runClean(const Scenario& scenario);

enum class Retry { Again, Close };

struct FaultRun {
  bool fired = false;
  int faults = 0;                     // faults that fired (one is armed)
  int operations = 0;                 // operations of the kind the operation ran
  std::vector<std::string> messages;  // error messages the failing operation showed
  std::vector<std::uint8_t> failed;   // the file as the failure left it
  bool repeated = false;              // the retry did the operation again
  bool closed = false;                // closing ended the program
  std::vector<std::string> retryMessages;
  std::vector<std::uint8_t> retried;  // the file after the retry
};
// The operation with the failAt-th operation of kind op failing (counted
// from 0), then the retry. For reads the cache is bypassed, so that every
// read of the operation reaches the file.
FaultRun runWithFault(const Scenario& scenario, platform::FileOp op, int failAt, Retry retry);

// The error messages among the texts of message boxes shown.
std::vector<std::string> errorMessages(const std::vector<std::string>& texts);
// Whether messages are the one message a failure of the kind shows: a
// failed write "Error writing data", a failed read "Error reading data", a
// failed seek either (seeking to the end to make room counts as writing).
bool rightMessage(platform::FileOp op, const std::vector<std::string>& messages);
const char* opName(platform::FileOp op);

// Opens the bytes as a database in a fresh program. True when the database
// came up; otherwise message gets what was shown.
bool opens(const std::vector<std::uint8_t>& bytes, std::string* message = nullptr);

// The bytes of a file after the first count of the recorded writes.
std::vector<std::uint8_t> replay(const std::vector<std::uint8_t>& start,
                                 const std::vector<platform::RecordedWrite>& writes, std::size_t count);

}  // namespace robust
