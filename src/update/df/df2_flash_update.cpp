// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/df/df2_flash_update.h"

#include <algorithm>
#include <cstring>

#include "src/device/flash_waits.h"
#include "src/update/df/df2_erase.h"
#include "src/update/df/df2_transfer.h"
#include "src/update/df/df_backup.h"
#include "src/update/df/df_config_area.h"
#include "src/update/df/df_family.h"
#include "src/update/df/df_transfer.h"
#include "src/update/image_source.h"
#include "src/update/run_steps.h"
#include "src/update/status_reporting.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

// Runs the programming steps on an opened image; each failure ends them with its text. The
// power-cycle box follows in the caller either way.
void ProgramOpenedImage(ToolWindow& window, const std::string& devicePath, ImageSource& image) {
  if (image.length > kFlashAddressSpace) {
    window.SetStatus(std::string(kImageTooLargeText));
    return;
  }
  // Short images are programmed as the whole firmware area, zero-padded.
  const std::uint64_t readLength = std::max<std::uint64_t>(image.length, kDf2FirmwareArea);
  const auto programLength = static_cast<std::uint32_t>(RoundUpTo(readLength, kDf2WriteGranule));
  // Only an image that stays inside the firmware area leaves the configuration area in place;
  // it has to be readable before the erase reaches the unit next to it.
  const bool smallImage = programLength <= kDf2FirmwareArea;
  if (smallImage) {
    AlignedBuffer nvram;
    if (!SaveDfConfigArea(window, devicePath, kDf2NvramAddress, kDf2NvramSize, nvram)) {
      return;
    }
  }

  const std::uint32_t bufferLength = programLength + (smallImage ? kDf2NvramSize : 0);
  AlignedBuffer imageBytes = AllocateWorkBuffer(bufferLength);
  AlignedBuffer readBack = AllocateWorkBuffer(bufferLength);
  if (!imageBytes.ok() || !readBack.ok()) {
    window.SetStatus(std::string(kAllocateBuffersErrorText));
    return;
  }
  if (!ReadImageTail(image, 0, imageBytes.data())) {
    window.SetStatus(std::string(kOpenFileErrorText));
    return;
  }

  DeclarePhases(window, {{RunStep::Program, 70}, {RunStep::Verify, 30}});
  EnterStep(window, RunStep::Program);
  window.SetStatus(std::string(kProgrammingText));
  window.RedrawStatus();
  DfWritePass pass(window);
  if (WriteDf2Flash(pass, devicePath, 0, imageBytes.data(), programLength) == 0) {
    window.SetStatus(std::string(kWriteBinFileFailText));
    return;
  }
  EnterStep(window, RunStep::Verify);
  WaitFlashReady(devicePath);
  if (ReadDfFlash(window, devicePath, 0, readBack.data(), programLength) == 0) {
    window.SetStatus(std::string(kReadCommandFailText));
    return;
  }
  if (std::memcmp(imageBytes.data(), readBack.data(), programLength) != 0) {
    window.SetStatus(std::string(kDataCompareFailText));
    return;
  }
  ClaimSuccess(window);
  window.SetStatus(std::string(kProgrammingSuccessText));
}

}  // namespace

int UpdateDf2Flash(ToolWindow& window, const std::string& devicePath) {
  window.Settings().FlashPageSize = kDf2PageSize;
  if (window.RdVersionTicked() && window.EraseOnlyTicked()) {
    EraseAllDf2Flash(window, devicePath);
    AskPowerCycle(window, kPowerCycleText);
    return 1;
  }
  if (window.RdVersionTicked() && window.BackupOnlyTicked()) {
    return BackupDfFlashToFile(window, devicePath, 0);
  }
  return ProgramDf2Flash(window, devicePath);
}

int ProgramDf2Flash(ToolWindow& window, const std::string& devicePath) {
  ImageSource image;
  const std::string_view refusal =
      OpenImageFile(window.FirmwareFileName(), ChipGroup::SerialFlash, image);
  const bool opened = refusal.empty() || refusal == kEmptyImageFileText;
  if (!opened) {
    window.SetStatus(std::string(refusal));
    return 0;
  }
  // An empty image opened fine but must not be programmed as 32 KB of zeros; like every other
  // failure after the open it is reported and followed by the power-cycle box.
  if (refusal.empty()) {
    ProgramOpenedImage(window, devicePath, image);
  } else {
    window.SetStatus(std::string(refusal));
  }
  image.stream.close();
  AskPowerCycle(window, kPowerCycleText);
  return 1;
}

}  // namespace q71x
