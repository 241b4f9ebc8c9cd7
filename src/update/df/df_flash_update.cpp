// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/df/df_flash_update.h"

#include <array>
#include <cstring>
#include <optional>

#include "src/catalog/chip_tables.h"
#include "src/device/df_commands.h"
#include "src/device/flash_commands.h"
#include "src/device/flash_waits.h"
#include "src/device/platform/platform.h"
#include "src/update/df/df_backup.h"
#include "src/update/df/df_config_area.h"
#include "src/update/df/df_erase.h"
#include "src/update/df/df_family.h"
#include "src/update/df/df_transfer.h"
#include "src/update/image_source.h"
#include "src/update/journal/kept_area_journal.h"
#include "src/update/run_steps.h"
#include "src/update/status_reporting.h"
#include "src/update/update_procedure.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

constexpr std::uint32_t kBufferGranule = 8192;
// Each attempt erases by a different unit, so a unit the bridge failed to erase one way gets
// another chance: blocks first, then sectors, then the whole flash.
constexpr std::array<std::uint32_t, 3> kAttemptModes{kMarkBlock, kMarkSector, kMarkWholeFlash};

// Refusals that must come before the first command: an image that cannot be opened, is empty,
// would wrap the flash address, or, while the device's configuration area is kept, holds nothing
// after its own.
std::string_view OpenImageForProgramming(const std::string& path, bool keepNvram,
                                         ImageSource& image) {
  std::string_view refusal = OpenImageFile(path, ChipGroup::SerialFlash, image);
  if (!refusal.empty()) {
    return refusal;
  }
  if (image.length > kFlashAddressSpace) {
    return kImageTooLargeText;
  }
  if (keepNvram && image.length <= kDfNvramSize) {
    return kImageWithoutFirmwareText;
  }
  return {};
}

// One write, read-back and compare over `length` bytes. True when all three succeeded; the
// status field keeps the last failure text otherwise. The attempts share the run's one write
// pass: each erases by a unit of its own, so each finds its unit not yet marked.
bool ProgramAttempt(ToolWindow& window, DfWritePass& pass, const std::string& devicePath,
                    const AlignedBuffer& image, AlignedBuffer& readBack, std::uint32_t length,
                    std::uint32_t mode) {
  bool failed = false;
  EnterStep(window, RunStep::Program);
  window.SetStatus(std::string(kProgrammingText));
  if (WriteDfFlash(pass, devicePath, 0, image.data(), length, mode) == 0) {
    window.SetStatus(std::string(kWriteBinFileFailText));
    failed = true;
  }
  EnterStep(window, RunStep::Verify);
  WaitFlashReady(devicePath);
  if (ReadDfFlash(window, devicePath, 0, readBack.data(), length) == 0) {
    window.SetStatus(std::string(kReadCommandFailText));
    failed = true;
  }
  if (std::memcmp(image.data(), readBack.data(), length) != 0) {
    window.SetStatus(std::string(kDataCompareFailText));
    failed = true;
  }
  return !failed;
}

}  // namespace

int UpdateDfFlash(ToolWindow& window, const std::string& devicePath) {
  window.Settings().FlashPageSize = kDfPageSize;
  if (window.RdVersionTicked() && window.EraseOnlyTicked()) {
    if (EraseAllDfFlash(window, devicePath) == 0) {
      return 0;
    }
    AskPowerCycle(window, kPowerCycleText);
    return 1;
  }
  if (window.RdVersionTicked() && window.BackupOnlyTicked()) {
    return BackupDfFlashToFile(window, devicePath, window.NvramTicked() ? 0 : kDfNvramSize);
  }
  return ProgramDfFlash(window, devicePath);
}

int ProgramDfFlash(ToolWindow& window, const std::string& devicePath) {
  const bool keepNvram = !window.NvramTicked();
  ImageSource image;
  const std::string_view refusal =
      OpenImageForProgramming(window.FirmwareFileName(), keepNvram, image);
  if (!refusal.empty()) {
    window.SetStatus(std::string(refusal));
    return 0;
  }

  if (ChipRow(window.State().ChipType).PrepareDfWrite) {
    PrepareFlashWrite(devicePath);
  }
  window.State().FileHasNvram = 1;
  AlignedBuffer nvram;
  if (keepNvram && !SaveDfConfigArea(window, devicePath, 0, kDfNvramSize, nvram)) {
    return 0;
  }

  // The image was refused beyond the flash address space, so these fit in 32 bits.
  const auto programLength = static_cast<std::uint32_t>(RoundUpTo(image.length, kDfProgramGranule));
  const auto bufferLength = static_cast<std::uint32_t>(RoundUpTo(programLength, kBufferGranule));
  AlignedBuffer imageBytes = AllocateWorkBuffer(bufferLength);
  AlignedBuffer readBack = AllocateWorkBuffer(bufferLength);
  if (!imageBytes.ok() || !readBack.ok()) {
    window.SetStatus(std::string(kAllocateBuffersErrorText));
    return 0;
  }
  if (!ReadImageTail(image, 0, imageBytes.data())) {
    window.SetStatus(std::string(kOpenFileErrorText));
    return 0;
  }
  // From the first erase on, the configuration area lives in `nvram` only: the journal keeps a
  // copy that outlives an enclosure pulled before it is back. It names the image file as read.
  std::optional<KeptAreaJournalEntry> journal;
  if (keepNvram) {
    journal.emplace(UpdateProcedureName(UpdateProcedure::UpdateDfFlash),
                    KeptArea{0, 0, nvram.data(), kDfNvramSize}, imageBytes.data(), image.length);
    // With the configuration area kept, the file's own first 4 KB are replaced by the device's.
    std::memcpy(imageBytes.data(), nvram.data(), kDfNvramSize);
  }

  // The bridge erases each unit as the first block into it arrives; a failed attempt is made
  // again by another unit.
  DeclarePhases(window, {{RunStep::Program, 70}, {RunStep::Verify, 30}});
  window.SetStatus(std::string(kProgrammingText));
  window.RedrawStatus();
  DfWritePass pass(window);
  if (VendorRow(window.State().FlashVendor).FirstBlockErasedBeforeProgram) {
    WaitFlashReady(devicePath);
    if (WriteFlashDF(devicePath, 0, imageBytes.data(), kDfNvramSize, kMarkBlock) != 0) {
      ActivePlatform().SleepMs(kEraseSettleMs);
    }
  }

  bool programmed = false;
  for (const std::uint32_t mode : kAttemptModes) {
    programmed =
        ProgramAttempt(window, pass, devicePath, imageBytes, readBack, programLength, mode);
    if (programmed) {
      break;
    }
  }
  if (programmed) {
    // The image's first 4 KB, the device's area when it was kept, were read back and compared.
    if (journal) {
      journal->AreaInPlace();
    }
    ClaimSuccess(window);
    window.SetStatus(std::string(kProgrammingSuccessText));
    AskPowerCycle(window, kPowerCycleText);
  } else if (keepNvram) {
    MarkStopped(window);
    // Each attempt erased the unit under the configuration area before it wrote it; a last
    // attempt that went wrong there would leave the next run saving whatever it left. The last
    // attempt's text is what the operator must see, not the progress of the restore.
    const std::string lastText = window.StatusText();
    if (RestoreDfConfigArea(window, devicePath, nvram) == 1) {
      journal->AreaInPlace();
    }
    window.SetStatus(lastText);
  }
  window.RedrawStatus();
  return 1;
}

}  // namespace q71x
