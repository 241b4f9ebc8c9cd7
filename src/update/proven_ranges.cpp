// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/proven_ranges.h"

#include <cstring>

#include "src/device/flash_commands.h"
#include "src/device/parallel_flash_commands.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

// The serial and parallel flash read commands name where they start but not how much they move,
// so two reads from one address are the same command block whatever their lengths. A range with
// flash before it is read the second time from this far before its start; a range at address 0
// has nothing before it, and only its first bytes, read as this short a piece, share a command
// block with the first pass.
constexpr std::size_t kSecondPassLeadIn = 256;
constexpr std::size_t kFirstPieceAtZero = 16;

}  // namespace

RangeRead FlashBlockRange(const std::string& devicePath, std::uint32_t address) {
  const AddressedRead fromStart = [&devicePath, address](std::size_t offset, std::uint8_t* buffer,
                                                         std::size_t length) {
    return ReadFlashBlock(devicePath, address + static_cast<std::uint32_t>(offset), buffer,
                          static_cast<std::uint32_t>(length));
  };
  if (address < kSecondPassLeadIn) {
    return SplitOnSecondPass(fromStart, kFirstPieceAtZero);
  }
  return
      [&devicePath, address, fromStart](ReadPass pass, std::uint8_t* buffer, std::size_t length) {
        if (pass == ReadPass::First) {
          return fromStart(0, buffer, length);
        }
        AlignedBuffer widened = AllocateWorkBuffer(length + kSecondPassLeadIn);
        if (!widened.ok() ||
            ReadFlashBlock(devicePath, address - static_cast<std::uint32_t>(kSecondPassLeadIn),
                           widened.data(), static_cast<std::uint32_t>(widened.size())) == 0) {
          return 0;
        }
        std::memcpy(buffer, widened.data() + kSecondPassLeadIn, length);
        return 1;
      };
}

RangeRead ParallelFlashRange(const std::string& devicePath) {
  return SplitOnSecondPass(
      [&devicePath](std::size_t offset, std::uint8_t* buffer, std::size_t length) {
        return ReadParallelFlash(devicePath, static_cast<std::uint32_t>(offset), buffer,
                                 static_cast<std::uint32_t>(length));
      },
      kFirstPieceAtZero);
}

RangeRead FwAreaRange(const std::string& devicePath, const DiskAreaFacts& facts,
                      std::uint64_t lba) {
  // The disk read names its length, so a first piece of one block is another command block. A
  // block size of zero is refused by the read itself; it leaves nothing to cut at.
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
