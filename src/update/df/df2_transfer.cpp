// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/df/df2_transfer.h"

#include <algorithm>

#include "src/device/df_commands.h"
#include "src/device/flash_waits.h"
#include "src/update/df/df_family.h"
#include "src/update/df/df_write_staging.h"

namespace q71x {
namespace {

// The two erase units of these parts: the firmware area and the configuration area after it.
bool StartsEraseUnit(std::uint32_t address) {
  return address == 0 || address == kDf2NvramAddress;
}

// A dot when the next block starts 256 bytes into a 2 KB stretch: one per 2048 bytes written.
constexpr std::uint32_t kDotStretchMask = 0x7FF;
constexpr std::uint32_t kDotOffset = 0x100;

}  // namespace

int WriteDf2Flash(DfWritePass& pass, const std::string& devicePath, std::uint32_t address,
                  const std::uint8_t* source, std::uint32_t length, bool eraseUnits) {
  const std::uint32_t pageSize = pass.Settings().FlashPageSize;
  if (pageSize == 0) {
    return 0;
  }
  const AlignedBuffer transfer = StagePaddedWrite(source, length, kDf2WriteGranule);
  if (!transfer.ok() || transfer.size() == 0) {
    return 0;
  }
  auto remaining = static_cast<std::uint32_t>(transfer.size());

  std::uint32_t done = 0;
  int result = 0;
  while (remaining > 0) {
    const std::uint32_t blockAddress = address + done;
    const std::uint32_t chunk = std::min(remaining, pageSize);
    WaitFlashReady(devicePath);
    if (WriteFlashDF2(devicePath, blockAddress, transfer.data() + done, chunk,
                      eraseUnits && StartsEraseUnit(blockAddress)) == 0) {
      result = 0;
      break;
    }
    done += chunk;
    remaining -= chunk;
    result = 1;
    pass.Moved(done, transfer.size());
    if (((address + done) & kDotStretchMask) == kDotOffset) {
      pass.ProgressDot();
    }
  }
  return result;
}

}  // namespace q71x
