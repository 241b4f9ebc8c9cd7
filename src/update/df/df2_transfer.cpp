// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/df/df2_transfer.h"

#include <algorithm>

#include "src/device/df_commands.h"
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
  const auto blockLength = [pageSize](std::uint32_t /*blockAddress*/, std::uint32_t remaining) {
    return std::min(remaining, pageSize);
  };
  const auto send = [&](std::uint32_t blockAddress, const std::uint8_t* data, std::uint32_t chunk) {
    return WriteFlashDF2(devicePath, blockAddress, data, chunk,
                         eraseUnits && StartsEraseUnit(blockAddress));
  };
  const auto taken = [&](std::uint32_t sent, std::size_t staged) {
    pass.Moved(sent, staged);
    if (((address + sent) & kDotStretchMask) == kDotOffset) {
      pass.ProgressDot();
    }
  };
  return WriteStagedBlocks(devicePath, address, source, length, kDf2WriteGranule, blockLength, send,
                           taken);
}

}  // namespace q71x
