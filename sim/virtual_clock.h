// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Simulated time. Nothing in the simulator waits for real: sleeps, bus transfers and flash
// operations move this clock forward, so a whole run takes no wall time and the clock at the
// end of it is the run's modeled duration.

#include <cstdint>

namespace q71x::sim {

class VirtualClock {
 public:
  std::uint64_t NowUs() const { return nowUs_; }
  std::uint64_t NowMs() const { return nowUs_ / 1000; }
  void AdvanceUs(std::uint64_t us) { nowUs_ += us; }
  void AdvanceMs(std::uint64_t ms) { nowUs_ += ms * 1000; }
  // Moves forward to `us`; a time already passed leaves the clock where it is.
  void AdvanceTo(std::uint64_t us) {
    if (us > nowUs_) {
      nowUs_ = us;
    }
  }

 private:
  std::uint64_t nowUs_ = 0;
};

}  // namespace q71x::sim
