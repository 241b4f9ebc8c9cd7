// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/serial/nvram_flash_update.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "src/catalog/chip_tables.h"
#include "src/device/flash_commands.h"
#include "src/device/flash_waits.h"
#include "src/image/nvram_block.h"
#include "src/update/flash_common.h"
#include "src/update/flash_write_access.h"
#include "src/update/image_source.h"
#include "src/update/journal/kept_area_journal.h"
#include "src/update/journal/kept_area_restore.h"
#include "src/update/journal/kept_area_write_back.h"
#include "src/update/proven_ranges.h"
#include "src/update/proven_read.h"
#include "src/update/run_steps.h"
#include "src/update/serial/block_unit_flash.h"
#include "src/update/status_reporting.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

constexpr std::uint32_t kConfigAreaBytes = kNvramAreaBytes;
// In device-area mode each block opens with 4 KB carried over (the configuration area first,
// then the tail of the previous chunk), so only this much of a fresh chunk fits behind it.
constexpr std::uint32_t kChunkBytesPerBlock = kProgramBlockBytes - kConfigAreaBytes;
constexpr std::string_view kProcedureName = "UpdateFlashWithNvram";

// Everything one run decides at its start. Ticks the operator changes while the run lets the
// window repaint do not change its course.
struct RunPlan {
  bool fileArea = false;  // the file is written unchanged, its configuration area included
  bool nvramTicked = false;
  bool fileHasNvram = false;
  bool prepareWrite = false;
};

// The device's configuration area, proven by two agreeing reads before anything is erased: a
// short or garbled answer taken as the area would be programmed back as the configuration.
// 0 after showing why the run must stop.
int ReadDeviceConfigArea(ToolWindow& window, const std::string& devicePath,
                         AlignedBuffer& configArea) {
  configArea = AllocateWorkBuffer(kConfigAreaBytes);
  if (!configArea.ok()) {
    ShowStatus(window, kAllocateBuffersErrorText);
    return 0;
  }
  WaitFlashReady(devicePath);
  const std::string_view refusal = ProvenReadRefusal(
      ReadTwiceAndCompare(FlashBlockRange(devicePath, 0), configArea.data(), kConfigAreaBytes),
      kAllocateBuffersErrorText, kBackupNvramFailText);
  if (!refusal.empty()) {
    ShowStatus(window, refusal);
    return 0;
  }
  return 1;
}

// A write the bridge accepted can still have gone in short or garbled, so only the read-back
// counts. 1 when the area holds the saved bytes again.
int WriteConfigAreaBack(const std::string& devicePath, const AlignedBuffer& configArea) {
  WaitFlashReady(devicePath);
  if (WriteFlashBlock(devicePath, 0, configArea.data(), kConfigAreaBytes) == 0) {
    return 0;
  }
  WaitFlashReady(devicePath);
  return ReadBackMatches(FlashBlockRange(devicePath, 0), configArea.data(), kConfigAreaBytes);
}

KeptArea DeviceArea(const AlignedBuffer& configArea) {
  return KeptArea{0, 0, configArea.data(), kConfigAreaBytes};
}

// Puts the saved area back after a stop that may have left it erased or half written. 1 when the
// area reads back as saved afterwards.
int RestoreConfigArea(const std::string& devicePath, const AlignedBuffer& configArea) {
  return RestoreKeptArea(devicePath, DeviceArea(configArea));
}

int RunEraseOnly(ToolWindow& window, const std::string& devicePath, const RunPlan& plan,
                 const AlignedBuffer& configArea) {
  if (plan.prepareWrite) {
    PrepareFlashWrite(devicePath);
  }
  // Without the tick the device keeps its configuration area through the erase. In file-area
  // mode the tick is set, so the area read at the start is always there to write back.
  std::optional<KeptAreaJournalEntry> journal;
  if (!plan.nvramTicked) {
    journal.emplace(kProcedureName, DeviceArea(configArea), nullptr, 0);
  }
  int result = EraseAllFlash(window, devicePath);
  if (!plan.nvramTicked &&
      !PutKeptAreaBack(
          window, *journal, [&] { return WriteConfigAreaBack(devicePath, configArea) == 1; },
          [&] { return RestoreConfigArea(devicePath, configArea); })) {
    result = 0;
  }
  if (result == 1) {
    AskPowerCycle(window, kPowerCycleText);
  }
  return result;
}

// The whole image file, read before anything is erased.
struct LoadedImage {
  AlignedBuffer bytes;
  std::uint64_t length = 0;
};

struct Buffers {
  AlignedBuffer readBack;
  AlignedBuffer block;
  AlignedBuffer chunk;
  // Opens with a copy of the device's area: the saved area itself must stay as read, for the
  // restore after a stop.
  AlignedBuffer carry;
};

// Programs the image in 16 KB blocks, each written and verified before the next.
// In device-area mode the carry opens with the device's configuration area and afterwards holds
// the last 4 KB of the previous chunk. Returns 0 after showing the failure.
int ProgramBlocks(ToolWindow& window, const std::string& devicePath, const RunPlan& plan,
                  std::uint64_t area, const LoadedImage& image, Buffers& buffers) {
  AlignedBuffer& carry = buffers.carry;
  EnterStep(window, RunStep::Program);
  ShowStatus(window, kProgrammingText);
  // In device-area mode the device's area replaces the file's own.
  ImageBlocks blocks(image.bytes.data(), image.length,
                     !plan.fileArea && plan.fileHasNvram ? kConfigAreaBytes : 0);
  const BlockWriter write = [&devicePath](std::uint32_t address, const std::uint8_t* data,
                                          std::uint32_t length) {
    return WriteFlashBlock(devicePath, address, data, length);
  };

  std::uint32_t address = 0;
  while (blocks.Next(plan.fileArea ? buffers.block.data() : buffers.chunk.data(),
                     kProgramBlockBytes)) {
    if (!plan.fileArea) {
      std::memcpy(buffers.block.data(), carry.data(), kConfigAreaBytes);
      std::memcpy(buffers.block.data() + kConfigAreaBytes, buffers.chunk.data(),
                  kChunkBytesPerBlock);
    }
    if (WriteVerifiedBlock(window, devicePath, address, buffers.block.data(), kProgramBlockBytes,
                           buffers.readBack.data(), write) == 0) {
      return 0;
    }
    ReportProgressDot(window, StatusStyle::Show);
    if (!plan.fileArea) {
      std::memcpy(carry.data(), buffers.chunk.data() + kChunkBytesPerBlock, kConfigAreaBytes);
    }
    address += kProgramBlockBytes;
    StepProgress(window, address, area);
  }

  // The carried 4 KB still need their place when the blocks stopped short of the area.
  if (!plan.fileArea && address != area) {
    std::memcpy(buffers.block.data(), carry.data(), kConfigAreaBytes);
    if (WriteVerifiedBlock(window, devicePath, address, buffers.block.data(), kConfigAreaBytes,
                           buffers.readBack.data(), write) == 0) {
      return 0;
    }
  }
  return 1;
}

}  // namespace

int UpdateFlashWithNvram(ToolWindow& window, const std::string& devicePath) {
  ChipState& state = window.State();
  state.FileHasNvram = DetectNvramBlock(window.FirmwareFileName(), state.ChipType) == 1 ? 1 : 0;
  RunPlan plan;
  plan.nvramTicked = window.NvramTicked();
  plan.fileHasNvram = state.FileHasNvram == 1;
  plan.fileArea = plan.fileHasNvram && plan.nvramTicked;
  plan.prepareWrite = ChipRow(state.ChipType).PrepareDfWrite;

  AlignedBuffer configArea;
  if (!plan.fileArea && ReadDeviceConfigArea(window, devicePath, configArea) == 0) {
    return 0;
  }
  if (OpenFlashForWrite(window, devicePath, StatusStyle::Show) == 0) {
    return 0;
  }
  if (window.RdVersionTicked() && state.EraseOnly == 1) {
    return RunEraseOnly(window, devicePath, plan, configArea);
  }
  if (window.RdVersionTicked() && window.BackupOnlyTicked()) {
    return BackupFlashToFile(window, devicePath, plan.nvramTicked ? 0 : kConfigAreaSkip);
  }

  ImageSource image;
  if (!OpenWindowImage(window, ChipGroup::SerialFlash, StatusStyle::Show, image)) {
    return 0;
  }
  const std::uint64_t area =
      RoundUpToBlocks(std::max<std::uint64_t>(image.length, kProgramBlockBytes) +
                      (plan.fileHasNvram ? 0 : kConfigAreaBytes));
  if (area > kFlashAddressSpace) {
    ShowStatus(window, kImageTooLargeText);
    return 0;
  }
  Buffers buffers{AllocateWorkBuffer(kProgramBlockBytes), AllocateWorkBuffer(kProgramBlockBytes),
                  AllocateWorkBuffer(kProgramBlockBytes), AllocateWorkBuffer(kConfigAreaBytes)};
  if (!buffers.readBack.ok() || !buffers.block.ok() || !buffers.chunk.ok() || !buffers.carry.ok()) {
    ShowStatus(window, kAllocateBuffersErrorText);
    return 0;
  }
  LoadedImage loaded{AllocateWorkBuffer(image.length), image.length};
  if (!loaded.bytes.ok()) {
    ShowStatus(window, kAllocateBuffersErrorText);
    return 0;
  }
  if (!ReadWholeImage(image, loaded.bytes.data(), loaded.length)) {
    ShowStatus(window, kOpenFileErrorText);
    return 0;
  }
  if (!plan.fileArea) {
    std::memcpy(buffers.carry.data(), configArea.data(), kConfigAreaBytes);
  }
  if (plan.prepareWrite) {
    PrepareFlashWrite(devicePath);
  }
  // Each block is read back and compared as it is programmed.
  DeclarePhases(window, {{RunStep::Erase, 30}, {RunStep::Program, 70}});

  // The first sector erase takes the device's area with it, and block 0 carries it back: a stop
  // anywhere before that block is proven would leave the retry nothing to keep but erased or
  // half-written bytes. The failure text stays as the erase or the block left it.
  std::optional<KeptAreaJournalEntry> journal;
  if (!plan.fileArea) {
    journal.emplace(kProcedureName, DeviceArea(configArea), loaded.bytes.data(), loaded.length);
  }
  const bool erased = EraseSectorsProvenBlank(window, devicePath, SectorsCovering(area),
                                              buffers.readBack.data()) == 1;
  if (erased && ProgramBlocks(window, devicePath, plan, area, loaded, buffers) == 1) {
    // Block 0, the device's area in front, was read back and compared.
    if (journal) {
      journal->AreaInPlace();
    }
    ClaimSuccess(window);
    ShowStatus(window, kProgrammingSuccessText);
    AskPowerCycle(window, kPowerCycleText);
  } else if (!plan.fileArea && RestoreConfigArea(devicePath, configArea) == 1) {
    journal->AreaInPlace();
  }
  window.RedrawStatus();
  return 1;
}

}  // namespace q71x
