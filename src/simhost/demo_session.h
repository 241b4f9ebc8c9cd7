// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What both simulator executables (the Qt one and the native Windows one) run on: the demo
// machine of simulated enclosures, their memories restored from the state folder, the sample
// images written beside them, and the simulated platform active while the session lives, at the
// pace asked for.

#include <string>
#include <vector>

#include "sim/simulated_system.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/device/platform/sim/wall_clock_pacing.h"
#include "src/simhost/sim_state_folder.h"

namespace q71x {

class DemoSession {
 public:
  // `pace`: a factor of real time the simulated machine follows, 0 for as fast as possible.
  explicit DemoSession(const SimStateFolder& state, double pace = 0);
  DemoSession(const DemoSession&) = delete;
  DemoSession& operator=(const DemoSession&) = delete;

  sim::SimulatedSystem& System() { return system_; }
  // State files left out because their size does not fit their memory.
  const std::vector<std::string>& LeftOut() const { return leftOut_; }
  // Sample images that could not be written.
  const std::vector<std::string>& UnwrittenImages() const { return unwrittenImages_; }
  // The machine's pace (its pump runs the window's events while a command waits).
  WallClockPacing& Pacing() { return pacing_; }

 private:
  sim::SimulatedSystem system_;
  WallClockPacing pacing_;
  SimPlatform platform_{system_};
  ScopedActivePlatform usePlatform_{platform_};
  std::vector<std::string> leftOut_;
  std::vector<std::string> unwrittenImages_;
};

}  // namespace q71x
