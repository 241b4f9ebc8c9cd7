#include "src/device/disk_firmware_area.h"

#include <cstddef>

#include "src/device/aligned_buffer.h"
#include "src/device/command_fields.h"
#include "src/device/disk_commands.h"
#include "src/device/identification.h"

namespace q71x {
namespace {

constexpr int kChipTypeConfigBlockFirmware = 14;
constexpr std::uint32_t kConfigBlockLength = 18;
constexpr std::size_t kConfigLevelByte = 8;
constexpr std::size_t kDiskFirmwareByte = 16;
constexpr std::size_t kAreaShiftByte = 17;
constexpr std::uint16_t kDiskFirmwareSignatureAddress = 0xC000;

constexpr std::uint32_t kRecordBlocks = 4;
constexpr std::size_t kDescriptorBaseOffset = 151;
constexpr std::size_t kDescriptorEnd = kDescriptorBaseOffset + 4;
// How far past the start of an area without a descriptor its base is placed.
constexpr std::uint64_t kZeroDescriptorDistance = 257;
constexpr std::uint64_t kAreaAlignment = 256;
constexpr std::uint64_t kLowHalf = 0xFFFFFFFFull;
constexpr std::uint64_t kHalfRange = 0x80000000ull;

// Byte `flagByte` of the configuration block, as a test: 1 when the block was read, its
// configuration level is set and the byte is 01.
int ConfigBlockFlag(const std::string& devicePath, std::size_t flagByte) {
  std::uint8_t reply[kConfigBlockLength] = {};
  int commandOk = 0;
  ReadConfigBlock(devicePath, reply, kConfigBlockLength, &commandOk);
  if (commandOk == 0) {
    return 0;
  }
  return reply[kConfigLevelByte] != 0 && reply[flagByte] == 0x01 ? 1 : 0;
}

// The 64-bit address whose low half is `low` and which lies nearest to `near`.
std::uint64_t WidenNear(std::uint32_t low, std::uint64_t near) {
  std::uint64_t wide = (near & ~kLowHalf) | low;
  if (wide > near && wide - near > kHalfRange && wide > kLowHalf) {
    wide -= kLowHalf + 1;
  } else if (wide < near && near - wide > kHalfRange) {
    wide += kLowHalf + 1;
  }
  return wide;
}

std::uint64_t AlignUpTo(std::uint64_t value, std::uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

// Reads the first blocks of the firmware area and returns the base its descriptor names (0 when
// the descriptor is empty). False when the record could not be read.
bool ReadAreaDescriptor(const std::string& devicePath, bool wide, std::uint64_t lba,
                        std::uint32_t blockSize, std::uint32_t& base) {
  const std::uint64_t length = static_cast<std::uint64_t>(blockSize) * kRecordBlocks;
  if (length < kDescriptorEnd || length > UINT32_MAX) {
    return false;  // a block size no disk has; the descriptor cannot be where it belongs
  }
  if (!wide && lba > kLowHalf) {
    return false;  // beyond what a 10-byte command can address
  }
  AlignedBuffer record(static_cast<std::size_t>(length));
  if (!record.ok()) {
    return false;
  }
  const std::uint32_t length32 = static_cast<std::uint32_t>(length);
  const int ok = wide ? DiskRead16(devicePath, lba, record.data(), length32, blockSize)
                      : DiskRead10(devicePath, static_cast<std::uint32_t>(lba), record.data(),
                                   length32, blockSize);
  if (ok == 0) {
    return false;
  }
  base = ReadBigEndian32(record.data() + kDescriptorBaseOffset);
  return true;
}

}  // namespace

int HasDiskFirmware(const std::string& devicePath, int chipType) {
  if (chipType == kChipTypeConfigBlockFirmware) {
    return ConfigBlockFlag(devicePath, kDiskFirmwareByte);
  }
  std::uint8_t signature[4] = {};
  if (ReadChipMemory(devicePath, kDiskFirmwareSignatureAddress, signature, sizeof signature) == 0) {
    return 0;  // whatever a failed read left in the buffer is not a signature
  }
  return signature[0] == 0x55 && signature[1] == 0xAA ? 1 : 0;
}

int FwAreaShiftFlag(const std::string& devicePath) {
  return ConfigBlockFlag(devicePath, kAreaShiftByte);
}

std::uint64_t GetDiskFirmwareLba(const std::string& devicePath, std::uint32_t blockSize,
                                 int chipType) {
  const std::uint64_t lastLba = GetLastLba(devicePath);
  const int shift = FwAreaShiftFlag(devicePath);
  const std::uint64_t sectorCount = IdentifySectorCount(devicePath);
  const int present = HasDiskFirmware(devicePath, chipType);

  // A drive of 2^32 sectors or more is beyond what READ CAPACITY(10) can describe, so its own
  // count places the area there.
  const bool wide = (sectorCount >> 32) != 0;
  const std::uint64_t defaultBase = (wide ? sectorCount - 1 : lastLba) + (shift != 0 ? 1 : 0);
  if (present == 0) {
    return defaultBase;
  }

  const std::uint64_t recordLba = wide ? sectorCount : lastLba + 1;
  std::uint32_t descriptor = 0;
  if (!ReadAreaDescriptor(devicePath, wide, recordLba, blockSize, descriptor)) {
    return defaultBase;
  }
  if (descriptor != 0) {
    return wide ? WidenNear(descriptor, sectorCount) : descriptor;
  }
  // No descriptor yet: the base is put 257 blocks past the start of the area, which the callers'
  // rounding turns back into that start. On the 10-byte path the start is the block read. On a
  // large drive the count need not be a multiple of the area alignment, so the first aligned
  // block at or past it is taken: nothing below the drive's own count, which is all the host
  // can see, is ever handed out as firmware area.
  const std::uint64_t areaStart = wide ? AlignUpTo(recordLba, kAreaAlignment) : recordLba;
  return areaStart + kZeroDescriptorDistance;
}

}  // namespace q71x
