// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/df/df2_erase.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#include "src/device/df_commands.h"
#include "src/device/flash_waits.h"
#include "src/device/platform/platform.h"
#include "src/update/df/df2_transfer.h"
#include "src/update/df/df_config_area.h"
#include "src/update/df/df_erase.h"
#include "src/update/df/df_family.h"
#include "src/update/df/df_transfer.h"
#include "src/update/journal/kept_area_journal.h"
#include "src/update/journal/kept_area_write_back.h"
#include "src/update/run_steps.h"
#include "src/update/update_procedure.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

// Sends both erase commands and proves FirmwareSize bytes from 0 blank. Empty when they are;
// otherwise the text to post. The command at 0 is not looked at: the blank check judges it.
std::string_view EraseAndProveBlank(ToolWindow& window, const std::string& devicePath,
                                    const AlignedBuffer& pattern, std::uint32_t length) {
  WriteFlashDF2(devicePath, 0, pattern.data(), kDf2EraseBlockLength, true);
  ActivePlatform().SleepMs(kEraseSettleMs);
  if (WriteFlashDF2(devicePath, kDf2NvramAddress, pattern.data(), kDf2EraseBlockLength, true) ==
      0) {
    return kDf2EraseCommandFailText;
  }
  window.PostStatus(std::string(kEraseAllSuccessText));

  EnterStep(window, RunStep::BlankCheck);
  AlignedBuffer readBack = AllocateWorkBuffer(length);
  if (!readBack.ok()) {
    return kAllocateReadBufferErrorText;
  }
  if (!DfFlashReadsBlank(window, devicePath, readBack.data(), length)) {
    return kDataNotBlankText;
  }
  return {};
}

// Every step's failure ends the action with its text; the caller asks for a power cycle anyway.
void EraseAndRestore(ToolWindow& window, const std::string& devicePath) {
  DeclarePhases(window, {{RunStep::Erase, 50}, {RunStep::BlankCheck, 30}, {RunStep::Restore, 20}});
  window.PostStatus(std::string(kStartEraseOnlyText));
  const std::uint32_t length = window.Settings().FirmwareSize;
  AlignedBuffer pattern = AllocateWorkBuffer(std::max(length, kDf2EraseBlockLength));
  if (!pattern.ok()) {
    window.PostStatus(std::string(kAllocateReadBufferErrorText));
    return;
  }
  std::memset(pattern.data(), 0xFF, pattern.size());

  AlignedBuffer nvram;
  if (!SaveDfConfigArea(window, devicePath, kDf2NvramAddress, kDf2NvramSize, nvram)) {
    return;
  }

  // From the first erase command on, the configuration area may be gone from the flash: every
  // stop puts the saved bytes back before it reports, or the next run would keep the erased ones
  // and the power cycle that follows every outcome would boot the bridge without them. The
  // journal's copy outlives an enclosure pulled before the area is back.
  KeptAreaJournalEntry journal(
      UpdateProcedureName(UpdateProcedure::UpdateDf2Flash),
      KeptArea{kDf2NvramAddress, kDf2NvramAddress, nvram.data(), kDf2NvramSize}, nullptr, 0);
  EnterStep(window, RunStep::Erase);
  const std::string_view failure = EraseAndProveBlank(window, devicePath, pattern, length);
  if (!failure.empty()) {
    MarkStopped(window);
    if (RestoreDf2ConfigArea(window, devicePath, nvram) == 1) {
      journal.AreaInPlace();
    }
    window.PostStatus(std::string(failure));
    return;
  }
  WaitFlashReady(devicePath);
  DfWritePass writeBack(window);
  if (!PutKeptAreaBack(
          window, journal,
          [&] {
            return WriteDf2Flash(writeBack, devicePath, kDf2NvramAddress, nvram.data(),
                                 kDf2NvramSize) != 0 &&
                   DfConfigAreaReadsBack(window, devicePath, kDf2NvramAddress, nvram);
          },
          [&] { return RestoreDf2ConfigArea(window, devicePath, nvram); })) {
    return;
  }
  ClaimSuccess(window);
  window.PostStatus(std::string(kEraseAllSuccessText));
}

}  // namespace

int EraseAllDf2Flash(ToolWindow& window, const std::string& devicePath) {
  EraseAndRestore(window, devicePath);
  return 1;
}

}  // namespace q71x
