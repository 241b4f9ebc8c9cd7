#include "src/update/df2_erase.h"

#include <algorithm>
#include <cstring>

#include "src/device/df_commands.h"
#include "src/device/flash_waits.h"
#include "src/device/platform/platform.h"
#include "src/update/df2_transfer.h"
#include "src/update/df_config_area.h"
#include "src/update/df_erase.h"
#include "src/update/df_family.h"
#include "src/update/df_transfer.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

// Every step's failure ends the action with its text; the caller asks for a power cycle anyway.
void EraseAndRestore(ToolWindow& window, const std::string& devicePath) {
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

  WriteFlashDF2(devicePath, 0, pattern.data(), kDf2EraseBlockLength, true);
  ActivePlatform().SleepMs(kEraseSettleMs);
  if (WriteFlashDF2(devicePath, kDf2NvramAddress, pattern.data(), kDf2EraseBlockLength, true) ==
      0) {
    window.PostStatus(std::string(kDf2EraseCommandFailText));
    return;
  }
  window.PostStatus(std::string(kEraseAllSuccessText));

  AlignedBuffer readBack = AllocateWorkBuffer(length);
  if (!readBack.ok()) {
    window.PostStatus(std::string(kAllocateReadBufferErrorText));
    return;
  }
  if (!DfFlashReadsBlank(window, devicePath, readBack.data(), length)) {
    window.PostStatus(std::string(kDataNotBlankText));
    return;
  }
  WaitFlashReady(devicePath);
  if (WriteDf2Flash(window, devicePath, kDf2NvramAddress, nvram.data(), kDf2NvramSize) == 0 ||
      !DfConfigAreaReadsBack(window, devicePath, kDf2NvramAddress, nvram)) {
    window.SetStatus(std::string(kWriteNvramBackFailText));
    return;
  }
  window.PostStatus(std::string(kEraseAllSuccessText));
}

}  // namespace

int EraseAllDf2Flash(ToolWindow& window, const std::string& devicePath) {
  EraseAndRestore(window, devicePath);
  return 1;
}

}  // namespace q71x
