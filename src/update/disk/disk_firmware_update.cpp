// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/disk/disk_firmware_update.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "src/device/aligned_buffer.h"
#include "src/update/backup_file.h"
#include "src/update/disk/disk_area_location.h"
#include "src/update/disk/disk_firmware_layout.h"
#include "src/update/image_source.h"
#include "src/update/proven_ranges.h"
#include "src/update/proven_read.h"
#include "src/update/run_steps.h"
#include "src/update/status_reporting.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

constexpr std::string_view kDiskBackupName = "oldFlash.bak";
constexpr std::string_view kEraseDiskSuccessText = "Erase all data in HDD success!!";
constexpr std::string_view kEraseDiskCompareFailText = "Compare data in HDD fail!!";
constexpr std::string_view kDiskCompareFailText = "Compare Data in HDD FAIL!!";

std::string_view WriteFailText(const DiskAreaFacts& facts) {
  return UsesLongCommands(facts) ? "Write Data SCSI16 To HDD FAIL!!" : "Write Data To HDD FAIL!!";
}

std::string_view ReadFailText(const DiskAreaFacts& facts) {
  return UsesLongCommands(facts) ? "Read Data SCSI16 From HDD FAIL!!" : "Read Data From HDD FAIL!!";
}

// The failure end of a backup: whatever went wrong, the operator is told the backup is not there.
int FailBackup(ToolWindow& window) {
  PostStatus(window, kReadBackToBackupErrorText);
  return 0;
}

}  // namespace

int EraseDiskFirmware(ToolWindow& window, const std::string& devicePath, ChipType chipType) {
  DiskAreaFacts facts;
  if (const std::string_view refusal = LocateDiskArea(devicePath, chipType, facts);
      !refusal.empty()) {
    PostStatus(window, refusal);
    return 0;
  }
  AlignedBuffer pattern = AllocateWorkBuffer(kDiskFirmwareBlockSize);
  AlignedBuffer readBack = AllocateWorkBuffer(kDiskFirmwareBlockSize);
  if (!pattern.ok() || !readBack.ok()) {
    PostStatus(window, kAllocateReadBufferErrorText);
    return 0;
  }
  std::uint64_t start = 0;
  if (const std::string_view refusal = PlaceFwArea(facts, kDiskFirmwareBlockSize, start);
      !refusal.empty()) {
    PostStatus(window, refusal);
    return 0;
  }

  if (facts.FirmwarePresent) {
    // Zeros, or garbled bytes, in place of the descriptor would lose the area's base for good.
    if (const std::string_view refusal =
            ProvenReadRefusal(ReadTwiceAndCompare(FwAreaRange(devicePath, facts, start),
                                                  readBack.data(), facts.BlockSize),
                              kAllocateReadBufferErrorText, ReadFailText(facts));
        !refusal.empty()) {
      PostStatus(window, refusal);
      return 0;
    }
    std::copy_n(readBack.data() + kFwAreaDescriptorOffset, kFwAreaDescriptorLength,
                pattern.data() + kFwAreaDescriptorOffset);
    std::fill_n(readBack.data(), kDiskFirmwareBlockSize, std::uint8_t{0});
  }

  // The area's first block is overwritten with the erase pattern and read back.
  DeclarePhases(window, {{RunStep::Erase, 60}, {RunStep::Verify, 40}});
  EnterStep(window, RunStep::Erase);
  // Two failed transfers would leave two zero buffers that compare equal.
  if (WriteFwArea(devicePath, facts, start, pattern.data(), kDiskFirmwareBlockSize) == 0) {
    PostStatus(window, WriteFailText(facts));
    return 0;
  }
  EnterStep(window, RunStep::Verify);
  if (ReadFwArea(devicePath, facts, start, readBack.data(), kDiskFirmwareBlockSize) == 0) {
    PostStatus(window, ReadFailText(facts));
    return 0;
  }
  if (!std::equal(pattern.data(), pattern.data() + kDiskFirmwareBlockSize, readBack.data())) {
    PostStatus(window, kEraseDiskCompareFailText);
    return 0;
  }
  ClaimSuccess(window);
  PostStatus(window, kEraseDiskSuccessText);
  return 1;
}

int BackupDiskFirmware(ToolWindow& window, const std::string& devicePath, ChipType chipType) {
  const std::uint32_t length = window.Settings().FirmwareSize;
  DiskAreaFacts facts;
  if (const std::string_view refusal = LocateDiskArea(devicePath, chipType, facts);
      !refusal.empty()) {
    PostStatus(window, refusal);
    return FailBackup(window);
  }
  std::string path;
  if (!ChooseBackupPath(window.BackupFileName(), kDiskBackupName, path)) {
    PostStatus(window, kBackupNameTooLongText);
    return 0;
  }
  DeclarePhases(window, {{RunStep::Backup, 100}});
  EnterStep(window, RunStep::Backup);
  PostStatus(window, kBackupProgressText);

  AlignedBuffer area = AllocateWorkBuffer(length);
  if (!area.ok()) {
    PostStatus(window, kAllocateReadBufferErrorText);
    return FailBackup(window);
  }
  std::uint64_t start = 0;
  if (const std::string_view refusal = PlaceFwArea(facts, length, start); !refusal.empty()) {
    PostStatus(window, refusal);
    return FailBackup(window);
  }
  // A short or garbled answer would otherwise go into the file as the old firmware.
  switch (ReadTwiceAndCompare(CountingProvenReads(window, FwAreaRange(devicePath, facts, start)),
                              area.data(), length)) {
    case ProvenReadResult::Agreed:
      break;
    case ProvenReadResult::NoMemory:
      PostStatus(window, kAllocateReadBufferErrorText);
      return FailBackup(window);
    case ProvenReadResult::ReadFailed:
    case ProvenReadResult::Differed:
      return FailBackup(window);
  }
  if (const SafeWriteStatus written = WriteBackupFile(path, area.data(), length);
      written != SafeWriteStatus::Written) {
    PostStatus(window, BackupFailureText(written, kOpenBackupFileErrorText));
    return FailBackup(window);
  }
  ClaimSuccess(window);
  PostStatus(window, kBackupSuccessText);
  return 1;
}

int ProgramDiskFirmware(ToolWindow& window, const std::string& devicePath, ChipType chipType) {
  DiskAreaFacts facts;
  if (const std::string_view refusal = LocateDiskArea(devicePath, chipType, facts);
      !refusal.empty()) {
    PostStatus(window, refusal);
    return 0;
  }
  ImageSource source;
  if (const std::string_view refusal =
          OpenImageFile(window.FirmwareFileName(), ChipGroup::DiskKept, source);
      !refusal.empty()) {
    window.SetStatus(std::string(refusal));
    return 0;
  }
  const auto length = static_cast<std::uint32_t>(source.length);
  const std::uint32_t padded = static_cast<std::uint32_t>((length + kDiskImagePadding - 1) /
                                                          kDiskImagePadding * kDiskImagePadding);
  AlignedBuffer image = AllocateWorkBuffer(padded);
  if (!image.ok()) {
    PostStatus(window, kAllocateReadBufferErrorText);
    return 0;
  }
  if (!ReadWholeImage(source, image.data(), padded)) {
    window.SetStatus(std::string(kOpenFileErrorText));
    return 0;
  }
  window.SetStatus(std::string(kProgrammingText));
  window.RedrawStatus();

  // What is written, and compared, is the image with the descriptor in place of its own bytes.
  PutFwAreaDescriptor(image.data(), facts.AreaBase);
  const std::uint64_t blocks = (padded + kDiskFirmwareBlockSize - 1) / kDiskFirmwareBlockSize;
  std::uint64_t lba = 0;
  if (const std::string_view refusal = PlaceFwArea(facts, blocks * kDiskFirmwareBlockSize, lba);
      !refusal.empty()) {
    PostStatus(window, refusal);
    return 0;
  }

  AlignedBuffer block = AllocateWorkBuffer(kDiskFirmwareBlockSize);
  AlignedBuffer readBack = AllocateWorkBuffer(kDiskFirmwareBlockSize);
  if (!block.ok() || !readBack.ok()) {
    PostStatus(window, kAllocateReadBufferErrorText);
    return 0;
  }
  const std::uint32_t sectorsPerBlock = kDiskFirmwareBlockSize / facts.BlockSize;
  // Each block is read back and compared as it is written.
  DeclarePhases(window, {{RunStep::Program, 100}});
  EnterStep(window, RunStep::Program);
  for (std::uint64_t offset = 0; offset < padded; offset += kDiskFirmwareBlockSize) {
    std::fill_n(block.data(), kDiskFirmwareBlockSize, std::uint8_t{0});
    std::fill_n(readBack.data(), kDiskFirmwareBlockSize, std::uint8_t{0});
    const std::uint64_t count = std::min<std::uint64_t>(kDiskFirmwareBlockSize, padded - offset);
    std::copy_n(image.data() + offset, count, block.data());

    if (WriteFwArea(devicePath, facts, lba, block.data(), kDiskFirmwareBlockSize) == 0) {
      PostStatus(window, WriteFailText(facts));
      return 0;
    }
    if (ReadFwArea(devicePath, facts, lba, readBack.data(), kDiskFirmwareBlockSize) == 0) {
      PostStatus(window, ReadFailText(facts));
      return 0;
    }
    if (!std::equal(block.data(), block.data() + kDiskFirmwareBlockSize, readBack.data())) {
      MarkStopped(window, FailureReason::Mismatch);
      PostStatus(window, kDiskCompareFailText);
      return 0;
    }
    lba += sectorsPerBlock;
    StepProgress(window, offset + count, padded);
  }
  ClaimSuccess(window);
  PostStatus(window, kProgrammingSuccessText);
  return 1;
}

int UpdateDiskFirmware(ToolWindow& window, const std::string& devicePath) {
  const ChipType chipType = window.State().ChipType;
  if (window.RdVersionTicked() && window.EraseOnlyTicked()) {
    if (EraseDiskFirmware(window, devicePath, chipType) != 1) {
      return 0;
    }
    AskPowerCycle(window, kPowerCycleText);
    return 1;
  }
  if (window.RdVersionTicked() && window.BackupOnlyTicked()) {
    return BackupDiskFirmware(window, devicePath, chipType);
  }
  if (ProgramDiskFirmware(window, devicePath, chipType) != 1) {
    return 0;
  }
  AskPowerCycle(window, kPowerCycleText);
  return 1;
}

}  // namespace q71x
