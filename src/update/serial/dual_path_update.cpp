// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/serial/dual_path_update.h"

#include <algorithm>

#include "src/catalog/flash_vendor_table.h"
#include "src/device/flash_unprotect.h"
#include "src/device/raw_flash_programming.h"
#include "src/update/flash_common.h"
#include "src/update/flash_write_access.h"
#include "src/update/image_source.h"
#include "src/update/run_steps.h"
#include "src/update/serial/block_unit_flash.h"
#include "src/update/status_reporting.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

int RunEngineeringAction(ToolWindow& window, const std::string& devicePath) {
  if (window.State().EraseOnly == 1) {
    // The configuration area goes with everything else; the image brings its own.
    const int result = EraseAllFlash(window, devicePath);
    if (result == 1) {
      AskPowerCycle(window, kPowerCycleText);
    }
    return result;
  }
  return BackupFlashToFile(window, devicePath, 0);
}

// Programs the image in 16 KB blocks, each programmed by the host and verified before the next.
int ProgramBlocks(ToolWindow& window, const std::string& devicePath, const AlignedBuffer& image,
                  std::uint64_t imageLength, AlignedBuffer& block, AlignedBuffer& readBack) {
  EnterStep(window, RunStep::Program);
  ShowStatus(window, kProgrammingText);
  const ChipState& state = window.State();
  const FlashVendor flashVendor = state.FlashVendor;
  const int sstWordMode = static_cast<int>(state.SstSpiFlash);
  const BlockWriter program = [&devicePath, flashVendor, sstWordMode](std::uint32_t address,
                                                                      const std::uint8_t* data,
                                                                      std::uint32_t length) {
    return ProgramSerialFlash(devicePath, address, data, length, flashVendor, sstWordMode);
  };
  // Host-driven programming is the longest phase; let the window repaint after each block.
  const auto repaint = [&window] { window.ProcessMessages(); };

  ImageBlocks blocks(image.data(), imageLength, 0);
  std::uint32_t address = 0;
  while (blocks.Next(block.data(), kProgramBlockBytes)) {
    if (WriteVerifiedBlock(window, devicePath, address, block.data(), kProgramBlockBytes,
                           readBack.data(), program, repaint) == 0) {
      return 0;
    }
    ReportProgressDot(window, StatusStyle::Show);
    address += kProgramBlockBytes;
    StepProgress(window, address, imageLength);
  }
  return 1;
}

}  // namespace

int UpdateSerialFlashSpi(ToolWindow& window, const std::string& devicePath) {
  window.SetNvramTicked(true);
  if (VendorRow(window.State().FlashVendor).UnprotectBeforeHostProgram) {
    UnprotectSerialFlash(devicePath);
  }
  if (window.RdVersionTicked() && (window.State().EraseOnly == 1 || window.BackupOnlyTicked())) {
    return RunEngineeringAction(window, devicePath);
  }

  ImageSource image;
  if (!OpenWindowImage(window, ChipGroup::SerialFlash, StatusStyle::Show, image)) {
    return 0;
  }
  const std::uint64_t area =
      RoundUpToBlocks(std::max<std::uint64_t>(image.length, kProgramBlockBytes));
  if (area > kFlashAddressSpace) {
    ShowStatus(window, kImageTooLargeText);
    return 0;
  }
  AlignedBuffer imageBytes = AllocateWorkBuffer(image.length);
  AlignedBuffer block = AllocateWorkBuffer(kProgramBlockBytes);
  AlignedBuffer readBack = AllocateWorkBuffer(kProgramBlockBytes);
  if (!imageBytes.ok() || !block.ok() || !readBack.ok()) {
    ShowStatus(window, kAllocateBuffersErrorText);
    return 0;
  }
  if (!ReadWholeImage(image, imageBytes.data(), image.length)) {
    ShowStatus(window, kOpenFileErrorText);
    return 0;
  }

  // Each block is read back and compared as it is programmed.
  DeclarePhases(window, {{RunStep::Erase, 25}, {RunStep::Program, 75}});
  if (EraseSectorsProvenBlank(window, devicePath, SectorsCovering(area), readBack.data()) == 1 &&
      ProgramBlocks(window, devicePath, imageBytes, image.length, block, readBack) == 1) {
    ClaimSuccess(window);
    ShowStatus(window, kProgrammingSuccessText);
    AskPowerCycle(window, kPowerCycleText);
  }
  window.RedrawStatus();
  return 1;
}

}  // namespace q71x
