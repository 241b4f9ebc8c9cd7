// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/df/df_transfer.h"

#include <algorithm>
#include <cstring>

#include "src/device/df_commands.h"
#include "src/device/flash_waits.h"
#include "src/update/df/df_family.h"
#include "src/update/df/df_write_staging.h"
#include "src/update/work_buffer.h"

namespace q71x {
int ReadDfFlash(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                std::uint8_t* destination, std::uint32_t length) {
  window.PostStatus(std::string(kReadFlashText));
  const std::uint32_t pageSize = window.Settings().FlashPageSize;
  std::uint32_t remaining = PaddedTransferLength(length, kDfWriteGranule);
  if (pageSize == 0 || remaining == 0) {
    return 0;
  }
  AlignedBuffer transfer = AllocateWorkBuffer(remaining);
  if (!transfer.ok()) {
    return 0;
  }
  std::uint32_t done = 0;
  int result = 0;
  while (remaining > 0) {
    const std::uint32_t chunk = std::min(remaining, pageSize);
    WaitFlashReady(devicePath);
    if (ReadFlashDF(devicePath, address + done, transfer.data() + done, chunk) == 0) {
      result = 0;
      break;
    }
    done += chunk;
    remaining -= chunk;
    result = 1;
    window.AppendStatus(".");
  }
  std::memcpy(destination, transfer.data(), std::min<std::size_t>(length, transfer.size()));
  return result;
}

int WriteDfFlash(DfWritePass& pass, const std::string& devicePath, std::uint32_t address,
                 const std::uint8_t* source, std::uint32_t length, std::uint32_t mode) {
  const DfWriteSettings& settings = pass.Settings();
  if (settings.FlashPageSize == 0) {
    return 0;
  }
  const AlignedBuffer transfer = StagePaddedWrite(source, length, kDfWriteGranule);
  if (!transfer.ok() || transfer.size() == 0) {
    return 0;
  }
  auto remaining = static_cast<std::uint32_t>(transfer.size());

  std::uint32_t done = 0;
  int result = 0;
  while (remaining > 0) {
    const std::uint32_t blockAddress = address + done;
    std::uint32_t chunk = std::min(remaining, settings.FlashPageSize);
    if (blockAddress == 0) {
      chunk = std::min(chunk, kFirstBlockLimit);
    }
    const std::uint8_t mark =
        WithVendorMarkBit(settings.Vendor, blockAddress, pass.NextEraseMark(blockAddress, mode));
    chunk = pass.ClipToEraseUnit(blockAddress, chunk, mode);
    WaitFlashReady(devicePath);
    if (WriteFlashDF(devicePath, blockAddress, transfer.data() + done, chunk, mark) == 0) {
      result = 0;
      break;
    }
    done += chunk;
    remaining -= chunk;
    result = 1;
    pass.ProgressDot();
    pass.Moved(done, transfer.size());
  }
  return result;
}

}  // namespace q71x
