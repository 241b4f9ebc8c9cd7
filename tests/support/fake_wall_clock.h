// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A wall clock that only moves when slept on (by the slept time plus a set overshoot, as a real
// sleep overshoots) or when the test moves it, and keeps every sleep.

#include <cstdint>
#include <vector>

#include "src/device/platform/sim/wall_clock_pacing.h"

namespace q71x::testing {

class FakeWallClock final : public WallClock {
 public:
  explicit FakeWallClock(std::uint64_t startUs = 7'000'000) : nowUs_(startUs) {}
  std::uint64_t NowUs() override { return nowUs_; }
  void SleepUs(std::uint64_t us) override {
    Sleeps.push_back(us);
    nowUs_ += us + OvershootUs;
  }
  void Advance(std::uint64_t us) { nowUs_ += us; }

  std::uint64_t OvershootUs = 0;
  std::vector<std::uint64_t> Sleeps;

 private:
  std::uint64_t nowUs_;
};

}  // namespace q71x::testing
