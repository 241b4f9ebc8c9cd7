// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/sim/wall_clock_pacing.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <thread>

namespace q71x {
namespace {

class SteadyClock final : public WallClock {
 public:
  std::uint64_t NowUs() override {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
  }
  void SleepUs(std::uint64_t us) override {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
  }
};

// A pump may run events that send device commands, which wait again: that nested wait sleeps
// without pumping, so events are never run inside the running of events.
class PumpingScope {
 public:
  explicit PumpingScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~PumpingScope() { flag_ = false; }
  PumpingScope(const PumpingScope&) = delete;
  PumpingScope& operator=(const PumpingScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

WallClock& SteadyWallClock() {
  static SteadyClock clock;
  return clock;
}

std::optional<double> ParsePace(std::string_view text) {
  double pace = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, pace, std::chars_format::fixed);
  if (text.empty() || error != std::errc() || stop != end || !std::isfinite(pace) || pace < 0) {
    return std::nullopt;
  }
  return pace;
}

WallClockPacing::WallClockPacing(double pace, WallClock& wall) : pace_(pace), wall_(wall) {}

void WallClockPacing::Anchor(std::uint64_t virtualUs, std::uint64_t wallUs) {
  anchored_ = true;
  anchorVirtualUs_ = virtualUs;
  anchorWallUs_ = wallUs;
}

std::uint64_t WallClockPacing::DueUs(std::uint64_t virtualUs) const {
  return anchorWallUs_ +
         static_cast<std::uint64_t>(static_cast<double>(virtualUs - anchorVirtualUs_) / pace_);
}

void WallClockPacing::Pump(std::uint64_t nowUs) {
  if (!pump_ || pumping_ || nowUs - lastPumpUs_ < kSliceUs) {
    return;
  }
  const PumpingScope scope(pumping_);
  lastPumpUs_ = nowUs;
  pump_();
}

void WallClockPacing::StartAt(std::uint64_t virtualUs) {
  lastVirtualUs_ = virtualUs;
  Anchor(virtualUs, wall_.NowUs());
}

void WallClockPacing::CatchUp(std::uint64_t virtualUs) {
  if (!Enabled()) {
    return;
  }
  if (!anchored_ || virtualUs < anchorVirtualUs_) {
    StartAt(virtualUs);
    return;
  }
  std::uint64_t now = wall_.NowUs();
  const std::uint64_t previousUs = lastVirtualUs_;
  lastVirtualUs_ = virtualUs;
  std::uint64_t due = DueUs(virtualUs);
  if (now > due + kMaxLagUs) {
    // Wall time ran on while nothing happened (or the machine was slow): what is owed is only
    // the time this step took.
    Anchor(previousUs, now);
    due = DueUs(virtualUs);
  }
  while (now < due) {
    wall_.SleepUs(std::min(due - now, kSliceUs));
    now = wall_.NowUs();
    Pump(now);
    now = wall_.NowUs();
  }
}

}  // namespace q71x
