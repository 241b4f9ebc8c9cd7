// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One simulated machine for a measurement: the system, the platform over it (wrapped so that
// commands and bytes are counted) installed as the active one, and message boxes that go nowhere
// (a measured run must not stop for an operator, and a box on standard error would be timed as
// if it were the tool's work).

#include <cstdint>

#include "bench/counting_platform.h"
#include "sim/simulated_system.h"
#include "src/device/platform/platform.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/host/user_dialogs.h"

namespace q71x::bench {

class SilentDialogs {
 public:
  SilentDialogs();
  ~SilentDialogs();
  SilentDialogs(const SilentDialogs&) = delete;
  SilentDialogs& operator=(const SilentDialogs&) = delete;

  int BoxCount() const { return boxes_; }

 private:
  int boxes_ = 0;
  MessageBoxHandler previous_;
};

class SimMachine {
 public:
  // `latencyModel` false: the bus costs nothing and only sleeps and flash times move the clock.
  explicit SimMachine(bool latencyModel);
  SimMachine(const SimMachine&) = delete;
  SimMachine& operator=(const SimMachine&) = delete;

  sim::SimulatedSystem& System() { return system_; }
  CountingPlatform& Counter() { return counting_; }
  const SilentDialogs& Dialogs() const { return dialogs_; }
  std::uint64_t NowUs() { return system_.Clock().NowUs(); }

 private:
  sim::SimulatedSystem system_;
  SimPlatform simPlatform_{system_};
  CountingPlatform counting_{simPlatform_, system_.Log()};
  ScopedActivePlatform active_{counting_};
  SilentDialogs dialogs_;
};

}  // namespace q71x::bench
