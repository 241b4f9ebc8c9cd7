// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/df/df_erase.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#include "src/catalog/chip_tables.h"
#include "src/device/df_commands.h"
#include "src/device/flash_commands.h"
#include "src/device/flash_waits.h"
#include "src/device/platform/platform.h"
#include "src/update/df/df_config_area.h"
#include "src/update/df/df_family.h"
#include "src/update/df/df_transfer.h"
#include "src/update/flash_common.h"
#include "src/update/journal/kept_area_journal.h"
#include "src/update/journal/kept_area_write_back.h"
#include "src/update/run_steps.h"
#include "src/update/update_procedure.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

AlignedBuffer ErasePattern(std::uint32_t length) {
  AlignedBuffer pattern = AllocateWorkBuffer(length);
  if (pattern.ok() && length > 0) {
    std::memset(pattern.data(), 0xFF, length);
  }
  return pattern;
}

// The mark that makes the bridge erase the whole firmware area (at address 0, so with the
// vendor's bit where its row wants one).
std::uint8_t WholeEraseMode(FlashVendor vendor) {
  const std::uint8_t mark =
      VendorRow(vendor).WholeErase == WholeAreaErase::BlockMark ? kMarkBlock : kMarkWholeFlash;
  return WithVendorMarkBit(vendor, 0, mark);
}

// The second erase for a flash the first one left non-blank: the plain whole-flash mark for
// parts that erase only as a whole, sector by sector for the others.
void EraseAgain(ToolWindow& window, DfWritePass& pass, const std::string& devicePath,
                const AlignedBuffer& pattern, std::uint32_t length) {
  int erased = 0;
  if (VendorRow(window.State().FlashVendor).ChipEraseOnly) {
    erased = WriteFlashDF(devicePath, 0, pattern.data(), kDfEraseBlockLength, kMarkWholeFlash);
  } else {
    erased = EraseDfFlashBySectors(window, pass, devicePath, length);
  }
  if (erased != 0) {
    ActivePlatform().SleepMs(kEraseSettleMs);
    window.PostStatus(std::string(kEraseAllSuccessText));
  }
}

// Sends the erase command and proves FirmwareSize bytes from 0 blank, erasing once more when
// they are not. Empty when the flash is blank; otherwise the text of the step that failed.
std::string_view EraseAndProveBlank(ToolWindow& window, DfWritePass& pass,
                                    const std::string& devicePath, const AlignedBuffer& pattern,
                                    std::uint32_t length) {
  const FlashVendor vendor = window.State().FlashVendor;
  const std::uint8_t eraseMode = WholeEraseMode(vendor);
  if (WriteFlashDF(devicePath, 0, pattern.data(), kDfEraseBlockLength, eraseMode) == 0) {
    return kEraseCommandFailText;
  }
  ActivePlatform().SleepMs(kEraseSettleMs);
  if (VendorRow(vendor).EraseInHalves) {
    WriteFlashDF(devicePath, kSecondHalfEraseAddress, pattern.data(), kDfEraseBlockLength,
                 eraseMode);
    ActivePlatform().SleepMs(kEraseSettleMs);
  }

  EnterStep(window, RunStep::BlankCheck);
  AlignedBuffer readBack = AllocateWorkBuffer(length);
  if (!readBack.ok()) {
    return kAllocateReadBufferErrorText;
  }
  if (!DfFlashReadsBlank(window, devicePath, readBack.data(), length)) {
    EraseAgain(window, pass, devicePath, pattern, length);
    if (!DfFlashReadsBlank(window, devicePath, readBack.data(), length)) {
      return kDataNotBlankText;
    }
  }
  return {};
}

}  // namespace

bool DfFlashReadsBlank(ToolWindow& window, const std::string& devicePath, std::uint8_t* readBack,
                       std::uint32_t length) {
  return ReadDfFlash(window, devicePath, 0, readBack, length) != 0 && IsErased(readBack, length);
}

int EraseDfFlashBySectors(ToolWindow& window, DfWritePass& pass, const std::string& devicePath,
                          std::uint32_t length) {
  const AlignedBuffer pattern = ErasePattern(length);
  if (!pattern.ok()) {
    return 0;
  }
  window.PostStatus(std::string(kEraseProgressText));
  return WriteDfFlash(pass, devicePath, 0, pattern.data(), length, kMarkSector);
}

int EraseAllDfFlash(ToolWindow& window, const std::string& devicePath) {
  DeclarePhases(window, {{RunStep::Erase, 60}, {RunStep::BlankCheck, 30}, {RunStep::Restore, 10}});
  window.PostStatus(std::string(kStartEraseOnlyText));
  const std::uint32_t length = window.Settings().FirmwareSize;
  DfWritePass pass(window);
  if (ChipRow(window.State().ChipType).PrepareDfWrite) {
    PrepareFlashWrite(devicePath);
  }
  // The erase command sends a whole erase block of the pattern, whatever the firmware size.
  const AlignedBuffer pattern = ErasePattern(std::max(length, kDfEraseBlockLength));
  if (!pattern.ok()) {
    window.PostStatus(std::string(kAllocateReadBufferErrorText));
    return 0;
  }

  const bool keepNvram = !window.NvramTicked();
  AlignedBuffer nvram;
  if (keepNvram && !SaveDfConfigArea(window, devicePath, 0, kDfNvramSize, nvram)) {
    return 0;
  }

  // From the erase command on, the configuration area may be gone from the flash: every stop
  // puts the saved bytes back before it reports, or the next run would keep the erased ones. The
  // journal's copy outlives an enclosure pulled before the area is back.
  std::optional<KeptAreaJournalEntry> journal;
  if (keepNvram) {
    journal.emplace(UpdateProcedureName(UpdateProcedure::UpdateDfFlash),
                    KeptArea{0, 0, nvram.data(), kDfNvramSize}, nullptr, 0);
  }
  EnterStep(window, RunStep::Erase);
  const std::string_view failure = EraseAndProveBlank(window, pass, devicePath, pattern, length);
  if (!failure.empty()) {
    MarkStopped(window);
    if (keepNvram && RestoreDfConfigArea(window, devicePath, nvram) == 1) {
      journal->AreaInPlace();
    }
    window.PostStatus(std::string(failure));
    return 0;
  }

  if (keepNvram) {
    WaitFlashReady(devicePath);
    // An area that is gone from the flash, or not what it was, is no success: the power-cycle
    // request would boot the bridge without it.
    if (!PutKeptAreaBack(
            window, *journal,
            [&] {
              return WriteDfFlash(pass, devicePath, 0, nvram.data(), kDfNvramSize, kMarkNone) !=
                         0 &&
                     DfConfigAreaReadsBack(window, devicePath, 0, nvram);
            },
            [&] { return RestoreDfConfigArea(window, devicePath, nvram); })) {
      return 0;
    }
  }
  ClaimSuccess(window);
  window.PostStatus(std::string(kEraseAllSuccessText));
  return 1;
}

}  // namespace q71x
