// The power going during an operation: its writes are recorded, and every
// prefix of them is replayed on a copy of the file it started from, with
// the last write also cut in half. Opening each result never crashes or
// hangs (a crash or a hang fails the test); whether it opens, and what it
// holds compared with the states before and after, makes the power-loss
// table (robustness/power-loss).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "tests/robustness/report.h"
#include "tests/robustness/scenarios.h"

namespace robust {
namespace {

struct Tally {
  int cuts = 0;
  int previous = 0;
  int fresh = 0;
  int otherSound = 0;
  int partial = 0;
  int lost = 0;
  int refused = 0;

  void add(const FileState& state, Kept kept, bool opened) {
    ++cuts;
    if (!opened) ++refused;
    if (kept == Kept::Lost) ++lost;
    else if (!state.sound()) ++partial;
    else if (kept == Kept::Previous) ++previous;
    else if (kept == Kept::New) ++fresh;
    else ++otherSound;
  }
  std::vector<std::string> cells() const {
    return {std::to_string(cuts),  std::to_string(previous), std::to_string(fresh), std::to_string(otherSound),
            std::to_string(partial), std::to_string(lost),   std::to_string(refused)};
  }
};

// What a rollback journal beside the database would cost the operation:
// before the first write into each 512-byte sector of what the file held,
// the sector's old bytes are appended to the journal and made durable.
// Writes past the old end need only the old length, kept in the journal's
// header. Returns the sectors so saved.
std::size_t journaledSectors(std::size_t oldSize, const std::vector<platform::RecordedWrite>& writes) {
  constexpr std::uint64_t sector = 512;
  std::set<std::uint64_t> sectors;
  for (const platform::RecordedWrite& write : writes) {
    if (write.kind != platform::RecordedWrite::Kind::Write || write.offset >= oldSize) continue;
    const std::uint64_t end = std::min<std::uint64_t>(write.offset + write.bytes.size(), oldSize);
    for (std::uint64_t s = write.offset / sector; s * sector < end; ++s) sectors.insert(s);
  }
  return sectors.size();
}

class PowerLoss : public ::testing::TestWithParam<const Scenario*> {};

TEST_P(PowerLoss, EveryPrefixOfTheWritesOpensWithoutACrash) {
  const Scenario& scenario = *GetParam();
  const CleanRun clean = runClean(scenario);
  ASSERT_TRUE(clean.afterState.sound()) << soundness(clean.afterState);
  ASSERT_FALSE(clean.recorded.empty()) << "nothing was recorded";
  if (scenario.checkClean) scenario.checkClean(clean.after);
  // The recorded writes make exactly the file the operation left.
  ASSERT_EQ(replay(clean.before, clean.recorded, clean.recorded.size()), clean.after);

  std::vector<std::string> rows;
  Tally whole;
  Tally torn;
  auto examine = [&](const std::vector<std::uint8_t>& bytes, const std::string& cut, Tally& tally) {
    const FileState state = stateOf(bytes);
    const Kept kept = compareWith(state, clean.beforeState, clean.afterState);
    std::string refusal;
    const bool opened = opens(bytes, &refusal);
    tally.add(state, kept, opened);
    if (!state.sound() || (kept != Kept::Previous && kept != Kept::New))
      rows.push_back(row({scenario.name, cut, soundness(state), keptName(kept),
                          opened ? "opens" : "does not open: " + refusal}));
  };
  const std::size_t n = clean.recorded.size();
  for (std::size_t k = 0; k <= n; ++k) {
    SCOPED_TRACE("after " + std::to_string(k) + " of " + std::to_string(n) + " writes");
    examine(replay(clean.before, clean.recorded, k), "after " + std::to_string(k) + " writes", whole);
    if (k == n || clean.recorded[k].bytes.size() < 2) continue;
    // The next write cut half-way, as a device that loses power mid-sector.
    std::vector<platform::RecordedWrite> cutShort(clean.recorded.begin(),
                                                  clean.recorded.begin() + static_cast<std::ptrdiff_t>(k) + 1);
    cutShort.back().bytes.resize(cutShort.back().bytes.size() / 2);
    examine(replay(clean.before, cutShort, k + 1), "write " + std::to_string(k + 1) + " cut in half", torn);
  }
  // The first prefix is the file as it was; the last, the file as left.
  EXPECT_GE(whole.previous, 1);
  EXPECT_GE(whole.fresh, 1);

  std::vector<std::string> summary = {scenario.name, std::to_string(n)};
  for (const std::string& cell : whole.cells()) summary.push_back(cell);
  for (const std::string& cell : torn.cells()) summary.push_back(cell);
  writeFragment("power-loss", {row(summary)});
  // The journal: a header, then each sector; one flush for each sector
  // before its first write, one for the database at the end, and one for
  // taking the journal away (the moment the operation counts as done).
  const std::size_t sectors = journaledSectors(clean.before.size(), clean.recorded);
  writeFragment("journal", {row({scenario.name, std::to_string(n), std::to_string(sectors),
                                 std::to_string(1 + sectors + 1), std::to_string(sectors + 2)})});
  writeFragment("power-loss-detail", rows);
}

INSTANTIATE_TEST_SUITE_P(Replay, PowerLoss, ::testing::ValuesIn(allScenarios()),
                         [](const auto& param) { return param.param->name; });

}  // namespace
}  // namespace robust
