// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/serial/serial_flash_update.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "src/device/flash_commands.h"
#include "src/device/flash_waits.h"
#include "src/device/platform/platform.h"
#include "src/device/transfer_pieces.h"
#include "src/update/flash_common.h"
#include "src/update/flash_write_access.h"
#include "src/update/image_source.h"
#include "src/update/journal/kept_area_journal.h"
#include "src/update/journal/kept_area_restore.h"
#include "src/update/proven_ranges.h"
#include "src/update/proven_read.h"
#include "src/update/run_steps.h"
#include "src/update/status_reporting.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

// Above this the whole chip is erased and no configuration copy is kept.
constexpr std::uint32_t kChipEraseAbove = 65536;

constexpr std::uint32_t kUpperSectorAddress = 0x8000;

constexpr std::uint32_t kSettleAfterEraseMs = 500;
constexpr std::uint32_t kSettleBeforeVerifyMs = 1000;

enum class AmicLayout { NotAmic, BootSectors, Unsupported };

AmicLayout ClassifyAmicPart(int amicFlashPart) {
  if (IsAmicBootSectorPart(amicFlashPart)) {
    return AmicLayout::BootSectors;
  }
  return amicFlashPart == -1 || amicFlashPart == 4 ? AmicLayout::NotAmic : AmicLayout::Unsupported;
}

// After an erase command the bridge returns while the flash may still be erasing.
void SettleAfterErase(ToolWindow& window, const std::string& devicePath, bool reportNotReady) {
  ActivePlatform().SleepMs(kSettleAfterEraseMs);
  if (WaitFlashReady(devicePath) == 0 && reportNotReady) {
    PostStatus(window, kNotReadyAfterEraseText);
  }
}

// One sector the image needs; 0 (reported) when the bridge refused it.
int EraseRequiredSector(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                        bool reportNotReady) {
  if (EraseFlashSector(devicePath, address) == 0) {
    PostStatus(window, kEraseCommandFailText);
    return 0;
  }
  SettleAfterErase(window, devicePath, reportNotReady);
  return 1;
}

int EraseWholeChip(ToolWindow& window, const std::string& devicePath) {
  if (EraseFlashChip(devicePath) == 0) {
    PostStatus(window, kEraseCommandFailText);
    return 0;
  }
  SettleAfterErase(window, devicePath, true);
  return 1;
}

// The lower 32 KB always, the upper 32 KB when the image reaches into it.
int EraseLowerAndUpperHalf(ToolWindow& window, const std::string& devicePath,
                           bool imageReachesUpper) {
  if (EraseRequiredSector(window, devicePath, 0x0000, true) == 0) {
    return 0;
  }
  return imageReachesUpper ? EraseRequiredSector(window, devicePath, kUpperSectorAddress, false)
                           : 1;
}

int EraseAmicBootSectors(ToolWindow& window, const std::string& devicePath,
                         bool imageReachesUpper) {
  // A boot sector the bridge refuses is passed over: the blank check that follows catches any
  // byte it left behind.
  for (std::uint32_t address : kAmicBootSectorAddresses) {
    if (EraseFlashSector(devicePath, address) != 0) {
      SettleAfterErase(window, devicePath, true);
    }
  }
  return imageReachesUpper ? EraseRequiredSector(window, devicePath, kAmicUpperSectorAddress, false)
                           : 1;
}

using ConfigCopy = std::array<std::uint8_t, kConfigCopyBytes>;

bool KeepsConfigCopy(std::uint32_t area) {
  return area <= kConfigCopyKeptUpTo;
}

// Reads the configuration copy twice. When it is to be kept, a copy the two reads do not prove
// stops the run before the erase: written back, it would replace the device's configuration with
// whatever the bridge answered. 0 after reporting why the run must stop.
int ReadConfigCopy(ToolWindow& window, const std::string& devicePath, std::uint32_t area,
                   ConfigCopy& config) {
  const ProvenReadResult read = ReadTwiceAndCompare(FlashBlockRange(devicePath, kConfigCopyAddress),
                                                    config.data(), kConfigCopyBytes);
  WriteConsoleLine(read == ProvenReadResult::Agreed ? kNvramReadOkLine : kNvramReadFailLine);
  if (read == ProvenReadResult::Agreed || !KeepsConfigCopy(area)) {
    return 1;
  }
  PostStatus(window, ProvenReadRefusal(read, kAllocateReadBufferErrorText, kBackupNvramFailText));
  return 0;
}

// The copy at 0x8000, with an address in the erase unit that holds it.
KeptArea ConfigCopyArea(ToolWindow& window, const ConfigCopy& config) {
  const std::uint32_t eraseAddress =
      ClassifyAmicPart(window.State().AmicFlashPart) == AmicLayout::BootSectors
          ? kAmicUpperSectorAddress
          : kConfigCopyAddress;
  return KeptArea{kConfigCopyAddress, eraseAddress, config.data(), kConfigCopyBytes};
}

// Puts a kept copy back at 0x8000 once the erase has run, whatever follows it, and only where it
// no longer reads as saved. 1 when the copy is in place (or none is kept); the journal's entry
// goes then.
int RestoreConfigCopy(ToolWindow& window, const std::string& devicePath, std::uint32_t area,
                      const ConfigCopy& config, std::optional<KeptAreaJournalEntry>& journal) {
  if (!KeepsConfigCopy(area)) {
    return 1;
  }
  if (RestoreKeptArea(devicePath, ConfigCopyArea(window, config)) == 0) {
    return 0;
  }
  journal->AreaInPlace();
  WriteConsoleLine(kNvramWriteOkLine);
  return 1;
}

// Erases what the image needs. 0 after reporting why the run must stop.
int EraseImageArea(ToolWindow& window, const std::string& devicePath, std::uint32_t area,
                   std::uint64_t imageLength) {
  if (area > kChipEraseAbove) {
    return EraseWholeChip(window, devicePath);
  }
  const bool imageReachesUpper = imageLength > kSerialFlashMinimumArea;
  switch (ClassifyAmicPart(window.State().AmicFlashPart)) {
    case AmicLayout::BootSectors:
      return EraseAmicBootSectors(window, devicePath, imageReachesUpper);
    case AmicLayout::Unsupported:
      PostStatus(window, kAmicNotSupportedText);
      return 0;
    case AmicLayout::NotAmic:
      break;
  }
  return EraseLowerAndUpperHalf(window, devicePath, imageReachesUpper);
}

// The blank check and the verify read the whole area. Where the system says what it carries they
// go in pieces of that; where it does not, an area above what every family sends in one request
// is read once before the erase, so that a system that refuses it costs the operator nothing.
// 0 after reporting why the run must stop.
int ProveAreaReadCarried(ToolWindow& window, const std::string& devicePath, std::uint32_t area,
                         std::uint8_t* scratch) {
  const std::uint32_t limit = SystemTransferLimit(devicePath);
  if (limit != 0) {
    if (area <= limit || limit >= kFlashBlockPieceGranule) {
      return 1;
    }
    PostStatus(window, kTransferTooLargeText);
    return 0;
  }
  if (area <= kChipEraseAbove || ReadFlashBlock(devicePath, 0, scratch, area) != 0) {
    return 1;
  }
  PostStatus(window, kAreaReadFailedBeforeEraseText);
  return 0;
}

// Writes the image block by block; false at the first refused block. Blocks before it stay
// programmed.
bool ProgramBlocks(ToolWindow& window, const std::string& devicePath, const std::uint8_t* image,
                   std::uint32_t blockCount, std::uint32_t blockSize) {
  std::string progress = window.StatusText();
  for (std::uint32_t block = 0; block < blockCount; ++block) {
    const std::uint32_t offset = block * blockSize;
    if (WriteFlashBlock(devicePath, offset, image + offset, blockSize) == 0) {
      return false;
    }
    progress += ".";
    PostStatus(window, progress);
    StepProgress(window, block + 1, blockCount);
  }
  return true;
}

int RunEngineeringAction(ToolWindow& window, const std::string& devicePath) {
  if (window.State().EraseOnly == 1) {
    if (EraseAllFlash(window, devicePath) == 0) {
      return 0;
    }
    AskPowerCycle(window, kPowerCycleText);
    return 1;
  }
  return BackupFlashToFile(window, devicePath, 0) == 1 ? 1 : 0;
}

}  // namespace

int UpdateSerialFlash(ToolWindow& window, const std::string& devicePath) {
  if (OpenFlashForWrite(window, devicePath, StatusStyle::Post) == 0) {
    return 0;
  }
  if (window.RdVersionTicked() && (window.State().EraseOnly == 1 || window.BackupOnlyTicked())) {
    return RunEngineeringAction(window, devicePath);
  }

  ImageSource image;
  if (!OpenWindowImage(window, ChipGroup::SerialFlash, StatusStyle::Post, image)) {
    return 0;
  }
  const std::uint32_t blockSize = window.Settings().FlashPageSize;
  if (blockSize == 0) {
    PostStatus(window, kNoFlashPageSizeText);
    return 0;
  }
  std::uint64_t wanted = std::max<std::uint64_t>(image.length, kSerialFlashMinimumArea);
  wanted = (wanted + blockSize - 1) / blockSize * blockSize;
  if (wanted > kFlashAddressSpace) {
    PostStatus(window, kImageTooLargeText);
    return 0;
  }
  const auto area = static_cast<std::uint32_t>(wanted);
  // Counted in full width: a 64 KB image in 256-byte blocks is 256 blocks, not 0.
  const std::uint32_t blockCount = area / blockSize;

  AlignedBuffer readBack = AllocateWorkBuffer(area);
  if (!readBack.ok()) {
    PostStatus(window, kAllocateReadBufferErrorText);
    return 0;
  }
  AlignedBuffer imageBytes = AllocateWorkBuffer(area);
  if (!imageBytes.ok()) {
    PostStatus(window, kAllocateWriteBufferErrorText);
    return 0;
  }
  // Bytes past the end of the file stay 0x00 and are programmed as such. A file that gives
  // fewer bytes than it had at open is refused before the erase.
  if (!ReadWholeImage(image, imageBytes.data(), area)) {
    PostStatus(window, kOpenFileErrorText);
    return 0;
  }
  const std::uint64_t imageLength = image.length;
  image.stream.close();

  if (WaitFlashReady(devicePath) == 0) {
    WriteDebugLine(kDeviceInitialNotReadyText);
  }
  // The copy is read (when the area leaves room for keeping it) before anything is erased.
  ConfigCopy config{};
  if (area <= kChipEraseAbove && ReadConfigCopy(window, devicePath, area, config) == 0) {
    return 0;
  }
  if (ProveAreaReadCarried(window, devicePath, area, readBack.data()) == 0) {
    return 0;
  }
  DeclarePhases(window, {{RunStep::Erase, 20},
                         {RunStep::BlankCheck, 10},
                         {RunStep::Program, 45},
                         {RunStep::Restore, 5},
                         {RunStep::Verify, 20}});
  std::optional<KeptAreaJournalEntry> journal;
  if (KeepsConfigCopy(area)) {
    journal.emplace("UpdateSerialFlash", ConfigCopyArea(window, config), imageBytes.data(),
                    imageLength);
  }
  // From the erase on, every stop puts the copy back: an erase unit that reaches 0x8000 has taken
  // it, and the operator's retry would otherwise keep the erased bytes as the configuration. The
  // copy goes back before the status is posted, so the failure text is the last word.
  EnterStep(window, RunStep::Erase);
  if (EraseImageArea(window, devicePath, area, imageLength) == 0) {
    MarkStopped(window);
    RestoreConfigCopy(window, devicePath, area, config, journal);
    return 0;
  }
  EnterStep(window, RunStep::BlankCheck);
  if (ReadFlashBlock(devicePath, 0, readBack.data(), area) == 0) {
    MarkStopped(window);
    RestoreConfigCopy(window, devicePath, area, config, journal);
    PostStatus(window, kReadBackErasedErrorText);
    return 0;
  }
  if (!IsErased(readBack.data(), area)) {
    MarkStopped(window);
    RestoreConfigCopy(window, devicePath, area, config, journal);
    PostStatus(window, kDataNotBlankText);
    return 0;
  }

  EnterStep(window, RunStep::Program);
  const bool programmed =
      ProgramBlocks(window, devicePath, imageBytes.data(), blockCount, blockSize);
  if (!programmed) {
    MarkStopped(window);
  } else if (KeepsConfigCopy(area)) {
    EnterStep(window, RunStep::Restore);
  }
  const int copyInPlace = RestoreConfigCopy(window, devicePath, area, config, journal);
  if (!programmed) {
    PostStatus(window, kProgrammingFailText);
    return 1;
  }

  EnterStep(window, RunStep::Verify);
  ActivePlatform().SleepMs(kSettleBeforeVerifyMs);
  WaitFlashReady(devicePath);
  if (ReadFlashBlock(devicePath, 0, readBack.data(), area) == 0) {
    PostStatus(window, kReadFailText);
    return 0;
  }
  // A copy that could not be put back leaves the device without its configuration; that is no
  // success either.
  if (std::memcmp(imageBytes.data(), readBack.data(), area) != 0 || copyInPlace == 0) {
    PostStatus(window, kCompareFailText);
    return 1;
  }
  ClaimSuccess(window);
  PostStatus(window, kProgrammingSuccessText);
  AskPowerCycle(window, kPowerCycleAfterUpdateText);
  return 1;
}

}  // namespace q71x
