// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/campaign/campaign_rig.h"

#include <cstdio>
#include <filesystem>

#include "sim/quiet_stdout.h"
#include "src/tool/chip_probe.h"
#include "src/tool/journal_device.h"
#include "src/update/procedure_dispatch.h"
#include "src/update/update_procedure.h"

namespace q71x::campaign {
CampaignRig::CampaignRig(const CampaignDevice& device, std::string imageFile,
                         std::string backupFile)
    : device_(device) {
  path_ = AddCampaignDevice(system_, device);
  window_.firmwareFile = std::move(imageFile);
  window_.backupFile = std::move(backupFile);
}

void CampaignRig::Settle(EngineeringAction action) {
  probe_ = ProbeChip(path_, window_.state, window_.settings);
  // Run goes where the window's dispatch sends this chip, not where the campaign's table says:
  // the table is what the dispatch is checked against.
  dispatched_ = ChooseUpdateProcedure(DispatchFactsOf(window_.state, path_));
  window_.nvram = device_.NvramTicked;
  window_.a1Chip = device_.A1Ticked;
  window_.parallelPart = device_.ParallelPart;
  window_.TickFor(action);
}

void CampaignRig::PowerCycle() {
  system_.Unplug(path_);
  system_.Plug(path_);
}

RunRecord CampaignRig::Run() {
  std::error_code ignored;
  std::filesystem::remove(window_.backupFile, ignored);
  const std::size_t boxesBefore = dialogs_.Boxes().size();
  window_.statusHistory.clear();
  RunRecord record;
  {
    sim::QuietStdout quiet;
    record.Result =
        RunUpdateProcedure(dispatched_, window_, path_, window_.ParallelFlashPartIndex());
  }
  record.FinalStatus = window_.StatusText();
  for (std::size_t i = boxesBefore; i < dialogs_.Boxes().size(); ++i) {
    record.Boxes.push_back(dialogs_.Boxes()[i].Text);
  }
  record.Outcome = window_.Run().Outcome;
  return record;
}

void CampaignRig::AddTwin() {
  twinPath_ = AddCampaignTwin(system_, device_);
  twinMemory_ = TakeSnapshot(system_, twinPath_, device_);
}

JournalDevice CampaignRig::CheckTwin() {
  ChipState state;
  ProgramSettings settings;
  const ChipProbe probe = ProbeChip(twinPath_, state, settings);
  return JournalDeviceOf(state, probe.VersionText, twinPath_);
}

bool CampaignRig::TwinUnchanged() {
  const MemorySnapshot now = TakeSnapshot(system_, twinPath_, device_);
  return now.Base == twinMemory_.Base && now.Bytes == twinMemory_.Bytes;
}

}  // namespace q71x::campaign
