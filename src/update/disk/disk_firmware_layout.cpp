// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/disk/disk_firmware_layout.h"

#include <limits>

#include "src/device/disk_commands.h"

namespace q71x {
namespace {

// A sector must hold the descriptor, and a 64 KB block must be whole sectors.
constexpr std::uint32_t kSmallestBlockSize = 512;

}  // namespace

bool UsesLongCommands(const DiskAreaFacts& facts) {
  return NeedsLongCommands(facts.SectorCount);
}

bool BlockSizeUsable(std::uint32_t blockSize) {
  return blockSize >= kSmallestBlockSize && kDiskFirmwareBlockSize % blockSize == 0;
}

std::string_view PlaceFwArea(const DiskAreaFacts& facts, std::uint64_t bytes,
                             std::uint64_t& start) {
  if (!BlockSizeUsable(facts.BlockSize) || bytes == 0 || bytes % facts.BlockSize != 0) {
    return kDiskBlockSizeErrorText;
  }
  std::uint64_t first = 0;
  if (!FwAreaStart(facts.AreaBase, facts.Shifted, first)) {
    return kFwAreaPositionErrorText;
  }
  const std::uint64_t lastOffset = bytes / facts.BlockSize - 1;
  const std::uint64_t limit =
      UsesLongCommands(facts) ? std::numeric_limits<std::uint64_t>::max() : kLastShortCommandLba;
  // A sector a 10-byte command cannot name would be cut to its low 32 bits: near sector 0.
  if (first > limit - lastOffset) {
    return kFwAreaPositionErrorText;
  }
  start = first;
  return {};
}

void PutFwAreaDescriptor(std::uint8_t* firstSector, std::uint64_t areaBase) {
  std::uint8_t* descriptor = firstSector + kFwAreaDescriptorOffset;
  descriptor[0] = 0x55;
  for (int i = 0; i < 4; ++i) {
    descriptor[1 + i] = static_cast<std::uint8_t>(areaBase >> (8 * (3 - i)));
  }
  descriptor[5] = 0xAA;
}

int ReadFwArea(const std::string& devicePath, const DiskAreaFacts& facts, std::uint64_t lba,
               std::uint8_t* buffer, std::uint32_t length, PassThroughOutcome* outcome) {
  return DiskRead(devicePath, UsesLongCommands(facts), lba, buffer, length, facts.BlockSize,
                  outcome);
}

int WriteFwArea(const std::string& devicePath, const DiskAreaFacts& facts, std::uint64_t lba,
                const std::uint8_t* buffer, std::uint32_t length) {
  return DiskWrite(devicePath, UsesLongCommands(facts), lba, buffer, length, facts.BlockSize);
}

}  // namespace q71x
