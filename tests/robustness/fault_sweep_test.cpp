// Every operation that writes, with one write, seek or read failing at each
// of its steps in turn (reads with the cache emptied, so that they reach
// the file), then retried once as a user would: the operation again (Done,
// Sort, Delete), or closing the window. Each failure shows its message
// once and the program carries on; the file it leaves opens; the retry
// leaves the file sound with the operation done (closing after a failed
// Sort or Delete leaves it sound, done or not). The runs make the fault
// table (robustness/faults).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/robustness/report.h"
#include "tests/robustness/scenarios.h"

namespace robust {
namespace {

struct SweepCase {
  const Scenario* scenario;
  platform::FileOp op;
};

std::string shown(const std::vector<std::string>& messages) {
  if (messages.empty()) return "nothing";
  std::string text;
  for (const std::string& m : messages) text += (text.empty() ? "" : " + ") + m;
  return text;
}

// The state a file is in, as the table gives it.
std::string described(const std::vector<std::uint8_t>& bytes, const CleanRun& clean, bool forgettable) {
  const FileState state = stateOf(bytes);
  return soundness(state) + ", " + keptName(compareWith(state, clean.beforeState, clean.afterState, forgettable));
}

class Faults : public ::testing::TestWithParam<SweepCase> {};

TEST_P(Faults, EveryStepFailingOnceIsShownOnceAndARetryFinishesTheOperation) {
  const Scenario& scenario = *GetParam().scenario;
  const platform::FileOp op = GetParam().op;
  const CleanRun clean = runClean(scenario);
  ASSERT_TRUE(clean.messages.empty()) << shown(clean.messages);
  ASSERT_TRUE(clean.afterState.sound()) << soundness(clean.afterState);
  if (scenario.checkClean) scenario.checkClean(clean.after);
  ASSERT_FALSE(HasFailure());

  std::vector<std::string> rows;
  int fired = 0, shownOnce = 0, leftSound = 0, leftOpening = 0, againDone = 0, closeDone = 0;
  int failAt = 0;
  for (;; ++failAt) {
    SCOPED_TRACE(std::string(opName(op)) + " " + std::to_string(failAt) + " failing");
    const FaultRun again = runWithFault(scenario, op, failAt, Retry::Again);
    if (!again.fired) {
      // Armed past the operation's last call of the kind: it went through.
      EXPECT_EQ(again.operations, failAt);
      EXPECT_TRUE(again.messages.empty()) << "a run without a fault showed " << shown(again.messages);
      EXPECT_TRUE(sameContents(stateOf(again.failed), clean.afterState));
      break;
    }
    const FaultRun close = runWithFault(scenario, op, failAt, Retry::Close);
    ASSERT_TRUE(close.fired) << "the second run took another path";
    ++fired;

    EXPECT_EQ(again.faults, 1);
    // Forgetting a remembered text is silent; every other failure shows.
    const bool once = rightMessage(op, again.messages);
    EXPECT_TRUE(once || (scenario.mayForget && again.messages.empty())) << "shown: " << shown(again.messages);
    shownOnce += once;

    const FileState left = stateOf(again.failed);
    leftSound += left.sound();
    std::string refusal;
    const bool leftOpens = opens(again.failed, &refusal);
    EXPECT_TRUE(leftOpens) << "the file the failure left does not open: " << refusal;
    leftOpening += leftOpens;

    EXPECT_TRUE(again.retryMessages.empty()) << "the retry showed " << shown(again.retryMessages);
    EXPECT_TRUE(close.retryMessages.empty()) << "closing showed " << shown(close.retryMessages);
    EXPECT_TRUE(close.closed) << "closing was refused";
    // Given again, the operation is done; where the user sees nothing left
    // to do again, it is done already or nothing is lost. Closing finishes
    // a commit, and leaves any other operation done or not, with nothing lost.
    const FileState afterAgain = stateOf(again.retried);
    const FileState afterClose = stateOf(close.retried);
    const Kept keptAgain = compareWith(afterAgain, clean.beforeState, clean.afterState, scenario.mayForget);
    const Kept keptClose = compareWith(afterClose, clean.beforeState, clean.afterState, scenario.mayForget);
    auto done = [&](const FileState& state, Kept kept) {
      return state.sound() &&
             (kept == Kept::New || (scenario.unstableOrder && sameRecords(state, clean.afterState)));
    };
    const bool doneAgain = done(afterAgain, keptAgain);
    const bool doneClose = done(afterClose, keptClose);
    if (again.repeated || scenario.closeFinishes) {
      EXPECT_TRUE(doneAgain) << "after the operation again: " << described(again.retried, clean, scenario.mayForget);
    } else {
      EXPECT_NE(keptAgain, Kept::Lost) << "after the operation again: " << described(again.retried, clean, scenario.mayForget);
    }
    if (scenario.closeFinishes) {
      EXPECT_TRUE(doneClose) << "after closing: " << described(close.retried, clean, scenario.mayForget);
    } else {
      EXPECT_TRUE(afterClose.sound() && keptClose != Kept::Lost) << "after closing: " << described(close.retried, clean, scenario.mayForget);
    }
    for (const auto* retried : {&again.retried, &close.retried}) {
      EXPECT_TRUE(opens(*retried, &refusal)) << "the file the retry left does not open: " << refusal;
    }
    againDone += doneAgain;
    closeDone += doneClose;

    rows.push_back(row({scenario.name, opName(op), std::to_string(failAt), shown(again.messages),
                        described(again.failed, clean, scenario.mayForget) + (leftOpens ? "" : ", does not open"),
                        (again.repeated ? "" : "(nothing to repeat) ") + described(again.retried, clean, scenario.mayForget),
                        described(close.retried, clean, scenario.mayForget)}));
  }
  if (op != platform::FileOp::Read || scenario.reads) {
    EXPECT_GT(fired, 0) << "the sweep injected nothing";
  }

  writeFragment("faults-detail", rows);
  writeFragment("faults", {row({scenario.name, opName(op), std::to_string(fired), std::to_string(shownOnce),
                                std::to_string(leftSound), std::to_string(fired - leftSound),
                                std::to_string(leftOpening), std::to_string(againDone), std::to_string(closeDone)})});
}

std::vector<SweepCase> sweepCases() {
  std::vector<SweepCase> cases;
  for (const Scenario* scenario : allScenarios())
    for (platform::FileOp op : {platform::FileOp::Write, platform::FileOp::Seek, platform::FileOp::Read})
      cases.push_back({scenario, op});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Sweep, Faults, ::testing::ValuesIn(sweepCases()), [](const auto& param) {
  return param.param.scenario->name + opName(param.param.op);
});

}  // namespace
}  // namespace robust
