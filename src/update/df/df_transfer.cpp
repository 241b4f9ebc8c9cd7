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
namespace {

// The blocks are at most a page each; the first is `firstBlock` bytes when that is shorter, which
// moves every later block off the page boundaries the plain read uses.
int ReadDfFlashBlocks(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                      std::uint8_t* destination, std::uint32_t length, std::uint32_t firstBlock) {
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
    const std::uint32_t chunk =
        std::min(remaining, done == 0 ? std::min(firstBlock, pageSize) : pageSize);
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

}  // namespace

int ReadDfFlash(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                std::uint8_t* destination, std::uint32_t length) {
  return ReadDfFlashBlocks(window, devicePath, address, destination, length,
                           window.Settings().FlashPageSize);
}

RangeRead DfFlashRange(ToolWindow& window, const std::string& devicePath, std::uint32_t address) {
  return [&window, &devicePath, address](ReadPass pass, std::uint8_t* buffer, std::size_t length) {
    const auto bytes = static_cast<std::uint32_t>(length);
    const std::uint32_t firstBlock =
        std::min(window.Settings().FlashPageSize, PaddedTransferLength(bytes, kDfWriteGranule));
    // Half a block for the second pass; a block too small to halve is read as the first pass was.
    const std::uint32_t halfBlock = firstBlock / 2;
    return ReadDfFlashBlocks(window, devicePath, address, buffer, bytes,
                             pass == ReadPass::Second && halfBlock > 0 ? halfBlock : firstBlock);
  };
}

int WriteDfFlash(DfWritePass& pass, const std::string& devicePath, std::uint32_t address,
                 const std::uint8_t* source, std::uint32_t length, std::uint32_t mode) {
  const DfWriteSettings& settings = pass.Settings();
  if (settings.FlashPageSize == 0) {
    return 0;
  }
  std::uint8_t mark = 0;  // the erase mark the block being sent carries
  const auto blockLength = [&](std::uint32_t blockAddress, std::uint32_t remaining) {
    std::uint32_t chunk = std::min(remaining, settings.FlashPageSize);
    if (blockAddress == 0) {
      chunk = std::min(chunk, kFirstBlockLimit);
    }
    mark = WithVendorMarkBit(settings.Vendor, blockAddress, pass.NextEraseMark(blockAddress, mode));
    return pass.ClipToEraseUnit(blockAddress, chunk, mode);
  };
  const auto send = [&](std::uint32_t blockAddress, const std::uint8_t* data, std::uint32_t chunk) {
    return WriteFlashDF(devicePath, blockAddress, data, chunk, mark);
  };
  const auto taken = [&](std::uint32_t sent, std::size_t staged) {
    pass.ProgressDot();
    pass.Moved(sent, staged);
  };
  return WriteStagedBlocks(devicePath, address, source, length, kDfWriteGranule, blockLength, send,
                           taken);
}

}  // namespace q71x
