// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/proven_ranges.h"

#include "src/device/flash_commands.h"
#include "src/device/parallel_flash_commands.h"

namespace q71x {
namespace {

// A serial flash read may start at any byte; the cut is one program page, so the second pass
// still starts its pieces on page boundaries.
constexpr std::size_t kFlashBlockCut = 256;
// The parallel flash is read in whole pieces of this size when the transfer is cut anyway.
constexpr std::size_t kParallelFlashCut = 4096;

}  // namespace

RangeRead FlashBlockRange(const std::string& devicePath, std::uint32_t address) {
  return SplitOnSecondPass(
      [&devicePath, address](std::size_t offset, std::uint8_t* buffer, std::size_t length) {
        return ReadFlashBlock(devicePath, address + static_cast<std::uint32_t>(offset), buffer,
                              static_cast<std::uint32_t>(length));
      },
      kFlashBlockCut);
}

RangeRead ParallelFlashRange(const std::string& devicePath) {
  return SplitOnSecondPass(
      [&devicePath](std::size_t offset, std::uint8_t* buffer, std::size_t length) {
        return ReadParallelFlash(devicePath, static_cast<std::uint32_t>(offset), buffer,
                                 static_cast<std::uint32_t>(length));
      },
      kParallelFlashCut);
}

RangeRead FwAreaRange(const std::string& devicePath, const DiskAreaFacts& facts,
                      std::uint64_t lba) {
  // A block size of zero is refused by the read itself; it leaves nothing to cut at.
  const std::size_t block = facts.BlockSize;
  return SplitOnSecondPass(
      [&devicePath, facts, lba, block](std::size_t offset, std::uint8_t* buffer,
                                       std::size_t length) {
        return ReadFwArea(devicePath, facts, lba + (block == 0 ? 0 : offset / block), buffer,
                          static_cast<std::uint32_t>(length));
      },
      block);
}

}  // namespace q71x
