// SPDX-License-Identifier: GPL-2.0-or-later
// The simulator at the operator's pace, on a wall clock that only moves when slept on: how long
// each step of virtual time is waited for, in which slices, with the pump between them.
#include "src/device/platform/sim/wall_clock_pacing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/fake_wall_clock.h"

namespace q71x {
namespace {

using testing::FakeWallClock;

constexpr std::uint64_t kMs = 1000;
constexpr std::uint64_t kSecondUs = 1000 * kMs;

// Wall time spent catching up with `virtualUs`.
std::uint64_t WaitedFor(WallClockPacing& pacing, FakeWallClock& wall, std::uint64_t virtualUs) {
  const std::uint64_t before = wall.NowUs();
  pacing.CatchUp(virtualUs);
  return wall.NowUs() - before;
}

bool AllSlicesShort(const std::vector<std::uint64_t>& sleeps) {
  return std::all_of(sleeps.begin(), sleeps.end(),
                     [](std::uint64_t us) { return us > 0 && us <= WallClockPacing::kSliceUs; });
}

TEST(WallClockPacing, VirtualTimeIsWaitedForAtThePaceInShortSlicesWithAPumpAfterEach) {
  struct Case {
    double Pace;
    std::uint64_t WallUs;  // for one virtual second
  };
  for (const Case& c :
       {Case{1, kSecondUs}, Case{2, kSecondUs / 2}, Case{0.5, 2 * kSecondUs}, Case{0, 0}}) {
    SCOPED_TRACE(c.Pace);
    FakeWallClock wall;
    WallClockPacing pacing(c.Pace, wall);
    int pumps = 0;
    pacing.SetPump([&] { ++pumps; });
    // Where the clock stands when pacing starts is not waited for.
    EXPECT_EQ(WaitedFor(pacing, wall, 3 * kSecondUs), 0u);
    EXPECT_EQ(WaitedFor(pacing, wall, 4 * kSecondUs), c.WallUs);
    EXPECT_TRUE(AllSlicesShort(wall.Sleeps));
    EXPECT_EQ(pumps, static_cast<int>(c.WallUs / WallClockPacing::kSliceUs));
  }
}

TEST(WallClockPacing, ManySmallStepsKeepToTheClockThoughEverySleepOvershoots) {
  FakeWallClock wall;
  wall.OvershootUs = 300;
  WallClockPacing pacing(1, wall);
  std::vector<std::uint64_t> pumpedAt;
  pacing.SetPump([&] { pumpedAt.push_back(wall.NowUs()); });
  const std::uint64_t start = wall.NowUs();
  pacing.CatchUp(0);
  // A thousand commands of 400 us each: 0.4 s, whatever the sleeps overshoot by.
  for (std::uint64_t step = 1; step <= 1000; ++step) {
    pacing.CatchUp(step * 400);
  }
  const std::uint64_t elapsed = wall.NowUs() - start;
  EXPECT_GE(elapsed, 400 * kMs);
  EXPECT_LE(elapsed, 400 * kMs + wall.OvershootUs);
  // The window is let through at least every slice, and not on every little step.
  ASSERT_GE(pumpedAt.size(), 2u);
  EXPECT_LE(pumpedAt.size(), 400 * kMs / WallClockPacing::kSliceUs + 1);
  for (std::size_t i = 1; i < pumpedAt.size(); ++i) {
    EXPECT_LE(pumpedAt[i] - pumpedAt[i - 1], WallClockPacing::kSliceUs + 400 + wall.OvershootUs);
  }
}

TEST(WallClockPacing, TimeSpentIdleIsNotRacedAwayButAShortDelayIsMadeUp) {
  FakeWallClock wall;
  WallClockPacing pacing(1, wall);
  pacing.CatchUp(0);
  EXPECT_EQ(WaitedFor(pacing, wall, 100 * kMs), 100 * kMs);
  // Ten seconds of nothing: the next second of virtual time still takes a second.
  wall.Advance(10 * kSecondUs);
  EXPECT_EQ(WaitedFor(pacing, wall, 1100 * kMs), kSecondUs);
  EXPECT_EQ(WaitedFor(pacing, wall, 1200 * kMs), 100 * kMs);
  // A slow moment shorter than the lag allowed is made up by the next wait.
  wall.Advance(30 * kMs);
  EXPECT_EQ(WaitedFor(pacing, wall, 1300 * kMs), 70 * kMs);
  // A clock that starts over (another machine) is followed from where it stands.
  EXPECT_EQ(WaitedFor(pacing, wall, 0), 0u);
  EXPECT_EQ(WaitedFor(pacing, wall, 20 * kMs), 20 * kMs);
}

TEST(WallClockPacing, AWaitInsideThePumpSleepsWithoutPumpingAgain) {
  FakeWallClock wall;
  WallClockPacing pacing(1, wall);
  int pumps = 0;
  std::uint64_t nestedWaited = 0;
  // An event run by the pump sends a command of its own, which waits too.
  pacing.SetPump([&] {
    ++pumps;
    if (pumps == 1) {
      nestedWaited = WaitedFor(pacing, wall, 500 * kMs);
    }
  });
  pacing.CatchUp(0);
  pacing.CatchUp(100 * kMs);
  EXPECT_EQ(nestedWaited, 480 * kMs);  // the first slice had passed when the pump ran
  EXPECT_EQ(pumps, 1);
  // The outer wait was due long before: it returns, and pumping works again afterwards.
  EXPECT_EQ(WaitedFor(pacing, wall, 540 * kMs), 40 * kMs);
  EXPECT_EQ(pumps, 3);
}

TEST(WallClockPacing, ThePaceOptionTakesAFactorOfRealTimeOnly) {
  EXPECT_EQ(ParsePace("1"), 1.0);
  EXPECT_EQ(ParsePace("2"), 2.0);
  EXPECT_EQ(ParsePace("0.5"), 0.5);
  EXPECT_EQ(ParsePace("0"), 0.0);
  for (const char* bad : {"", "-1", "fast", "2x", " 1", "inf", "nan", "1e3"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParsePace(bad).has_value());
  }
}

}  // namespace
}  // namespace q71x
