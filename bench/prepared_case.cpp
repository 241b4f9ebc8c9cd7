// SPDX-License-Identifier: GPL-2.0-or-later
#include "bench/prepared_case.h"

#include "bench/bench_devices.h"
#include "src/image/sample_image.h"
#include "src/tool/chip_probe.h"

namespace q71x::bench {

PreparedCase::PreparedCase(const ProcedureCase& procedureCase, bool latencyModel)
    : case_(procedureCase), machine_(latencyModel) {
  device_ = AddBenchDevice(machine_.System(), case_.DeviceKey);
  if (device_ == nullptr) {
    problem_ = std::string("no device ") + case_.DeviceKey;
    return;
  }
  path_ = device_->Path;
  ProbeChip(path_, window_.state, window_.settings);

  window_.nvram = case_.NvramTicked;
  window_.a1Chip = case_.A1Ticked;
  window_.parallelPart = case_.ParallelPart;
  window_.backupFile = folder_.File("backup.bin");
  if (case_.FirmwareSize != 0) {
    window_.settings.FirmwareSize = case_.FirmwareSize;
  }
  switch (case_.Act) {
    case EngineeringAction::Update:
      if (!WriteImage()) {
        problem_ = "cannot write the image file";
      }
      break;
    case EngineeringAction::EraseOnly:
      window_.rdVersion = true;
      window_.eraseOnly = true;
      window_.state.EraseOnly = 1;  // the window copies the tick into its state
      break;
    case EngineeringAction::BackupOnly:
      window_.rdVersion = true;
      window_.backupOnly = true;
      break;
  }
}

bool PreparedCase::WriteImage() {
  SampleImageOptions options;
  options.ChipType = window_.state.ChipType;
  options.ChipRevision = window_.state.ChipRevision;
  options.Size = case_.ImageBytes;
  options.NvramBlock = case_.ImageHasNvram;
  window_.firmwareFile = folder_.File("image.bin");
  return WriteSampleImage(window_.firmwareFile, options) == 1;
}

int PreparedCase::Run() {
  return RunUpdateProcedure(case_.Run, window_, path_, case_.ParallelPart);
}

}  // namespace q71x::bench
