// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One simulated machine with one campaign device, the window as the chip check leaves it and the
// recorders for boxes, for one faulted run and the recovery run after it.

#include <cstddef>
#include <string>
#include <vector>

#include "sim/simulated_system.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/tool/chip_probe.h"
#include "src/update/journal/recovery_journal.h"
#include "tests/campaign/campaign_devices.h"
#include "tests/campaign/device_memory.h"
#include "tests/campaign/run_judgement.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/recording_window.h"

namespace q71x::campaign {

class CampaignRig {
 public:
  // The image and backup files live where the caller says; the image must exist.
  CampaignRig(const CampaignDevice& device, std::string imageFile, std::string backupFile);
  CampaignRig(const CampaignRig&) = delete;
  CampaignRig& operator=(const CampaignRig&) = delete;

  bool Ready() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }
  sim::SimulatedSystem& System() { return system_; }
  testing::RecordingWindow& Window() { return window_; }

  // What the operator does before Run: the chip check settles the window, then the ticks of the
  // action are set.
  void Settle(EngineeringAction action);
  // Power off and on again (plugging the enclosure back in when a fault pulled it out).
  void PowerCycle();
  // The procedure the Run dispatch chose for the chip the last Settle found.
  UpdateProcedure Dispatched() const { return dispatched_; }
  // What the last Settle's chip check read of the flash and the firmware version.
  const ChipProbe& Probe() const { return probe_; }
  // Runs the dispatched procedure once; standard output of the procedures is held back.
  RunRecord Run();

  // A second enclosure of the device's model on the same machine (campaign_devices.h), whose
  // memory is taken now to judge later. Nothing the campaign does is meant for it.
  void AddTwin();
  const std::string& TwinPath() const { return twinPath_; }
  // The twin as a front end's chip check finds it, in a window state of its own.
  JournalDevice CheckTwin();
  // Whether the twin's memory is what it was when it was added.
  bool TwinUnchanged();

 private:
  const CampaignDevice& device_;
  sim::SimulatedSystem system_;
  SimPlatform platform_{system_};
  ScopedActivePlatform scope_{platform_};
  testing::RecordingDialogs dialogs_;
  testing::RecordingWindow window_;
  std::string path_;
  UpdateProcedure dispatched_ = UpdateProcedure::None;
  ChipProbe probe_;
  std::string twinPath_;
  MemorySnapshot twinMemory_;
};

}  // namespace q71x::campaign
