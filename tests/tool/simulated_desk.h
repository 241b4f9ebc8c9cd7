// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What a tool-core test sets in front of the core: a simulated machine as the active platform,
// recorded boxes and dialogs, a recording view and a folder of the test's own.

#include "sim/simulated_system.h"
#include "src/device/platform/sim/sim_platform.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_folder.h"

namespace q71x::testing {

struct SimulatedDesk {
  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform usePlatform{platform};
  RecordingDialogs dialogs;
  RecordingView view;
  TempFolder folder;
};

}  // namespace q71x::testing
