#include "tests/campaign/campaign_rig.h"

#include <cstdio>
#include <filesystem>

#include "src/update/chip_probes.h"
#include "src/update/df2_flash_update.h"
#include "src/update/df_erase_marks.h"
#include "src/update/df_flash_update.h"
#include "src/update/disk_firmware_update.h"
#include "src/update/dual_path_update.h"
#include "src/update/nvram_flash_update.h"
#include "src/update/parallel_flash_update.h"
#include "src/update/serial_flash_update.h"
#include "tests/campaign/quiet_stdout.h"

namespace q71x::campaign {
namespace {

int RunProcedure(Procedure procedure, ToolWindow& window, const std::string& path) {
  switch (procedure) {
    case Procedure::SerialFlash:
      return UpdateSerialFlash(window, path);
    case Procedure::FlashWithNvram:
      return UpdateFlashWithNvram(window, path);
    case Procedure::SerialFlashSpi:
      return UpdateSerialFlashSpi(window, path);
    case Procedure::DfFlash:
      return UpdateDfFlash(window, path);
    case Procedure::Df2Flash:
      return UpdateDf2Flash(window, path);
    case Procedure::ParallelFlash:
      return UpdateParallelFlash(window, path, window.ParallelFlashPartIndex());
    case Procedure::DiskFirmware:
      return UpdateDiskFirmware(window, path);
  }
  return 0;
}

}  // namespace

CampaignRig::CampaignRig(const CampaignDevice& device, std::string imageFile,
                         std::string backupFile)
    : device_(device) {
  path_ = AddCampaignDevice(system_, device);
  window_.firmwareFile = std::move(imageFile);
  window_.backupFile = std::move(backupFile);
  // The erase-unit counters outlive a run; each machine starts as a fresh process would.
  ResetEraseCounters();
}

void CampaignRig::Settle(Action action) {
  RunChipProbes(path_, "", window_.state, window_.settings);
  window_.nvram = device_.NvramTicked;
  window_.a1Chip = device_.A1Ticked;
  window_.parallelPart = device_.ParallelPart;
  window_.rdVersion = action != Action::Update;
  window_.eraseOnly = action == Action::EraseOnly;
  window_.state.EraseOnly = action == Action::EraseOnly ? 1 : 0;
  window_.backupOnly = action == Action::BackupOnly;
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
    QuietStdout quiet;
    record.Result = RunProcedure(device_.Run, window_, path_);
  }
  record.FinalStatus = window_.StatusText();
  for (std::size_t i = boxesBefore; i < dialogs_.Boxes().size(); ++i) {
    record.Boxes.push_back(dialogs_.Boxes()[i].Text);
  }
  return record;
}

}  // namespace q71x::campaign
