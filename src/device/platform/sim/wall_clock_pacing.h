// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The simulator at the operator's pace: after virtual time has moved, the process waits until
// wall time has caught up with it (divided by the pace), so a demonstration shows the progress
// real hardware would. The wait is cut into short slices with a pump between them, so that a
// window keeps painting and its helper windows keep taking clicks while a device command
// "takes" its time. The only place where the simulator really waits.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace q71x {

// Real time as the pacing reads and spends it; tests give a clock that only moves when slept on.
class WallClock {
 public:
  virtual ~WallClock() = default;
  virtual std::uint64_t NowUs() = 0;
  virtual void SleepUs(std::uint64_t us) = 0;
};

// The process's monotonic clock and the thread's own sleep.
WallClock& SteadyWallClock();

// The pace option as every simulator front end takes it: a factor of real time, 0 for as fast
// as possible.
inline constexpr const char* kPaceOptionHelp =
    "Let simulated time follow real time: 1 is real time, 2 twice as fast, 0 as fast as possible "
    "(the default).";
// A decimal number, 0 or more and finite ("1", "2", "0.5", "0"); nullopt for anything else.
std::optional<double> ParsePace(std::string_view text);

class WallClockPacing {
 public:
  // The longest sleep between two pumps.
  static constexpr std::uint64_t kSliceUs = 20000;
  // How far wall time may run ahead of the virtual clock before the pacing lets it go: beyond
  // it the process was idle or slow, and the virtual time to come is not raced to make up for it.
  static constexpr std::uint64_t kMaxLagUs = 50000;

  explicit WallClockPacing(double pace, WallClock& wall = SteadyWallClock());

  bool Enabled() const { return pace_ > 0; }
  double Pace() const { return pace_; }
  // Called between slices of a wait; it may run events (never during a nested wait).
  void SetPump(std::function<void()> pump) { pump_ = std::move(pump); }
  // Paced from here: virtual time up to `virtualUs` is not waited for. The first CatchUp starts
  // the pacing the same way.
  void StartAt(std::uint64_t virtualUs);
  // Virtual time is at `virtualUs` now: returns once wall time has caught up with it.
  void CatchUp(std::uint64_t virtualUs);

 private:
  void Anchor(std::uint64_t virtualUs, std::uint64_t wallUs);
  std::uint64_t DueUs(std::uint64_t virtualUs) const;
  void Pump(std::uint64_t nowUs);

  double pace_;
  WallClock& wall_;
  std::function<void()> pump_;
  bool anchored_ = false;
  bool pumping_ = false;
  std::uint64_t anchorVirtualUs_ = 0;
  std::uint64_t anchorWallUs_ = 0;
  std::uint64_t lastVirtualUs_ = 0;
  std::uint64_t lastPumpUs_ = 0;
};

// Sets a pacing's pump for its own life: a pump that calls into a window must not outlive it.
class PacingPumpScope {
 public:
  PacingPumpScope(WallClockPacing& pacing, std::function<void()> pump) : pacing_(pacing) {
    pacing_.SetPump(std::move(pump));
  }
  ~PacingPumpScope() { pacing_.SetPump(nullptr); }
  PacingPumpScope(const PacingPumpScope&) = delete;
  PacingPumpScope& operator=(const PacingPumpScope&) = delete;

 private:
  WallClockPacing& pacing_;
};

}  // namespace q71x
