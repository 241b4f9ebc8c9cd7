// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/disk_firmware_area.h"

#include "src/device/aligned_buffer.h"
#include "src/device/command_fields.h"
#include "src/device/disk_commands.h"
#include "src/device/identification.h"

namespace q71x {
namespace {

constexpr std::size_t kConfigLevelByte = 8;
constexpr std::size_t kDiskFirmwareByte = 16;
constexpr std::size_t kAreaShiftByte = 17;
constexpr std::uint16_t kDiskFirmwareSignatureAddress = 0xC000;

constexpr std::uint32_t kRecordBlocks = 4;
constexpr std::size_t kDescriptorBaseOffset = kFwAreaDescriptorOffset + 1;
constexpr std::size_t kDescriptorEnd = kFwAreaDescriptorOffset + kFwAreaDescriptorLength;
// How far past the start of an area without a descriptor its base is placed.
constexpr std::uint64_t kZeroDescriptorDistance = 257;
constexpr std::uint64_t kAreaDistance = 256;
constexpr std::uint64_t kLowHalf = 0xFFFFFFFFull;
constexpr std::uint64_t kHalfRange = 0x80000000ull;

bool ConfigBlockFlag(const std::uint8_t config[kConfigBlockLength], std::size_t flagByte) {
  return config[kConfigLevelByte] != 0 && config[flagByte] == 0x01;
}

// Byte `flagByte` of the configuration block, as a test: 1 when the block was read, its
// configuration level is set and the byte is 01.
int ReadConfigBlockFlag(const std::string& devicePath, std::size_t flagByte) {
  std::uint8_t reply[kConfigBlockLength] = {};
  int commandOk = 0;
  ReadConfigBlock(devicePath, reply, kConfigBlockLength, &commandOk);
  return commandOk != 0 && ConfigBlockFlag(reply, flagByte) ? 1 : 0;
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

// The first sector past what the host sees, where the area record is looked for.
std::uint64_t RecordLba(const DiskAreaAnswers& answers) {
  return NeedsLongCommands(answers.SectorCount) ? answers.SectorCount
                                                : std::uint64_t{answers.LastLba} + 1;
}

bool HasDescriptorMarks(const std::uint8_t* record) {
  return record[kFwAreaDescriptorOffset] == 0x55 && record[kDescriptorEnd - 1] == 0xAA;
}

}  // namespace

int ReadDiskFirmwareSignature(const std::string& devicePath,
                              std::uint8_t signature[kDiskFirmwareSignatureLength]) {
  return ReadDiskFirmwareSignatureBytes(devicePath, 0, signature, kDiskFirmwareSignatureLength);
}

int ReadDiskFirmwareSignatureBytes(const std::string& devicePath, std::uint16_t offset,
                                   std::uint8_t* buffer, std::uint16_t length) {
  return ReadChipMemory(devicePath,
                        static_cast<std::uint16_t>(kDiskFirmwareSignatureAddress + offset), buffer,
                        length);
}

bool SignatureSaysFirmwareOnDisk(const std::uint8_t signature[kDiskFirmwareSignatureLength]) {
  return signature[0] == 0x55 && signature[1] == 0xAA;
}

bool ConfigBlockSaysFirmwareOnDisk(const std::uint8_t config[kConfigBlockLength]) {
  return ConfigBlockFlag(config, kDiskFirmwareByte);
}

bool ConfigBlockSaysAreaShifted(const std::uint8_t config[kConfigBlockLength]) {
  return ConfigBlockFlag(config, kAreaShiftByte);
}

int HasDiskFirmware(const std::string& devicePath, ChipType chipType) {
  if (TellsDiskFirmwareByConfigBlock(chipType)) {
    return ReadConfigBlockFlag(devicePath, kDiskFirmwareByte);
  }
  std::uint8_t signature[kDiskFirmwareSignatureLength] = {};
  if (ReadDiskFirmwareSignature(devicePath, signature) == 0) {
    return 0;  // whatever a failed read left in the buffer is not a signature
  }
  return SignatureSaysFirmwareOnDisk(signature) ? 1 : 0;
}

int FwAreaShiftFlag(const std::string& devicePath) {
  return ReadConfigBlockFlag(devicePath, kAreaShiftByte);
}

bool NeedsLongCommands(std::uint64_t sectorCount) {
  return (sectorCount >> 32) != 0;
}

std::uint64_t DefaultFwAreaBase(const DiskAreaAnswers& answers) {
  // A drive of 2^32 sectors or more is beyond what READ CAPACITY(10) can describe, so its own
  // count places the area there.
  const std::uint64_t last =
      NeedsLongCommands(answers.SectorCount) ? answers.SectorCount - 1 : answers.LastLba;
  return last + (answers.Shifted ? 1 : 0);
}

bool FwAreaRecordPlace(const DiskAreaAnswers& answers, std::uint32_t blockSize, std::uint64_t& lba,
                       std::uint32_t& length) {
  const std::uint64_t bytes = std::uint64_t{blockSize} * kRecordBlocks;
  if (bytes < kDescriptorEnd || bytes > UINT32_MAX) {
    return false;  // a block size no disk has; the descriptor cannot be where it belongs
  }
  const std::uint64_t record = RecordLba(answers);
  if (!NeedsLongCommands(answers.SectorCount) && record > kLastShortCommandLba) {
    return false;
  }
  lba = record;
  length = static_cast<std::uint32_t>(bytes);
  return true;
}

std::uint64_t FwAreaBaseFromRecord(const DiskAreaAnswers& answers, const std::uint8_t* record) {
  // Without a descriptor the base is put 257 blocks past the start of the area, which the
  // callers' rounding turns back into that start. The drive's count need not be a multiple of
  // the area alignment, so the first aligned block at or past the record is taken: nothing the
  // host can see is ever handed out as firmware area.
  const std::uint64_t recordLba = RecordLba(answers);
  const std::uint64_t capacityStart = AlignUpTo(recordLba, kFwAreaAlignment);
  const std::uint64_t capacityBase = capacityStart + kZeroDescriptorDistance;
  if (!HasDescriptorMarks(record)) {
    return capacityBase;
  }
  const std::uint32_t low = ReadBigEndian32(record + kDescriptorBaseOffset);
  const std::uint64_t base =
      NeedsLongCommands(answers.SectorCount) ? WidenNear(low, answers.SectorCount) : low;
  std::uint64_t start = 0;
  if (low == 0 || !FwAreaStart(base, answers.Shifted, start) || start != capacityStart) {
    return capacityBase;
  }
  return base;
}

bool FwAreaStart(std::uint64_t areaBase, bool shifted, std::uint64_t& start) {
  if (!shifted && areaBase == 0) {
    return false;
  }
  const std::uint64_t rounded = (shifted ? areaBase : areaBase - 1) & ~(kFwAreaAlignment - 1);
  // Below two alignment units the area would start on sector 0 or wrap to the end of the disk.
  if (rounded < kAreaDistance + kFwAreaAlignment) {
    return false;
  }
  start = rounded - kAreaDistance;
  return true;
}

std::uint64_t GetDiskFirmwareLba(const std::string& devicePath, std::uint32_t blockSize,
                                 ChipType chipType) {
  DiskAreaAnswers answers;
  answers.LastLba = GetLastLba(devicePath);
  answers.Shifted = FwAreaShiftFlag(devicePath) != 0;
  answers.SectorCount = IdentifySectorCount(devicePath);
  answers.FirmwarePresent = HasDiskFirmware(devicePath, chipType) != 0;
  if (!answers.FirmwarePresent) {
    return DefaultFwAreaBase(answers);
  }
  std::uint64_t lba = 0;
  std::uint32_t length = 0;
  if (!FwAreaRecordPlace(answers, blockSize, lba, length)) {
    return DefaultFwAreaBase(answers);
  }
  AlignedBuffer record(length);
  if (!record.ok() || DiskRead(devicePath, NeedsLongCommands(answers.SectorCount), lba,
                               record.data(), length, blockSize) == 0) {
    return DefaultFwAreaBase(answers);
  }
  return FwAreaBaseFromRecord(answers, record.data());
}

}  // namespace q71x
