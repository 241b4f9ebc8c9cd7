// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/disk_commands.h"

#include "src/device/command_fields.h"
#include "src/device/transfer_pieces.h"
#include "src/device/transport.h"

namespace q71x {
namespace {

constexpr std::uint8_t kReadCapacity10 = 0x25;
constexpr std::uint8_t kRead10 = 0x28;
constexpr std::uint8_t kWrite10 = 0x2A;
constexpr std::uint8_t kRead16 = 0x88;
constexpr std::uint8_t kWrite16 = 0x8A;
constexpr std::uint32_t kMaxCount10 = 0xFFFF;
constexpr std::uint32_t kSectorCount28Saturated = 0x0FFFFFFF;

std::uint64_t IdentifyWords(const std::uint8_t* identify, int firstWord, int wordCount) {
  std::uint64_t value = 0;
  for (int i = wordCount - 1; i >= 0; --i) {
    const int word = firstWord + i;
    value = (value << 16) | (static_cast<std::uint64_t>(identify[2 * word + 1]) << 8) |
            identify[2 * word];
  }
  return value;
}

bool BlockCount(std::uint32_t length, std::uint32_t blockSize, std::uint32_t maxCount,
                std::uint32_t& count) {
  if (blockSize == 0) {
    return false;
  }
  count = length / blockSize;
  return count <= maxCount;
}

CommandBlock Block10(std::uint8_t opcode, std::uint32_t lba, std::uint32_t count) {
  CommandBlock cdb(10);
  cdb[0] = opcode;
  PutBigEndian(cdb, 2, lba, 4);
  PutBigEndian(cdb, 7, count, 2);
  return cdb;
}

CommandBlock Block16(std::uint8_t opcode, std::uint64_t lba, std::uint32_t count) {
  CommandBlock cdb(16);
  cdb[0] = opcode;
  PutBigEndian(cdb, 2, lba, 8);
  PutBigEndian(cdb, 10, count, 4);
  return cdb;
}

}  // namespace

int ReadCapacity10(const std::string& devicePath, std::uint8_t reply[kCapacityReplyLength]) {
  CommandBlock cdb(12);
  cdb[0] = kReadCapacity10;
  return PassThroughIn(devicePath, cdb, reply, kCapacityReplyLength);
}

std::uint32_t LastLbaOfCapacity(const std::uint8_t reply[kCapacityReplyLength]) {
  return ReadBigEndian32(reply);
}

std::uint32_t BlockSizeOfCapacity(const std::uint8_t reply[kCapacityReplyLength]) {
  const std::uint32_t blockSize = ReadBigEndian32(reply + 4);
  return blockSize != 0 ? blockSize : kDefaultBlockSize;
}

std::uint32_t GetBlockSize(const std::string& devicePath) {
  std::uint8_t reply[kCapacityReplyLength] = {};
  if (ReadCapacity10(devicePath, reply) == 0) {
    return kDefaultBlockSize;
  }
  return BlockSizeOfCapacity(reply);
}

std::uint32_t GetLastLba(const std::string& devicePath) {
  std::uint8_t reply[kCapacityReplyLength] = {};
  if (ReadCapacity10(devicePath, reply) == 0) {
    return 0;
  }
  return LastLbaOfCapacity(reply);
}

int IdentifyDevice(const std::string& devicePath, std::uint8_t identify[kIdentifyLength]) {
  CommandBlock cdb(12);
  cdb[0] = 0xDF;
  cdb[1] = 0x10;
  PutBigEndian(cdb, 3, kIdentifyLength, 2);
  cdb[10] = 0xA0;  // device register: master
  cdb[11] = 0xEC;  // IDENTIFY DEVICE
  return PassThroughIn(devicePath, cdb, identify, kIdentifyLength);
}

std::uint64_t SectorCountOfIdentify(const std::uint8_t identify[kIdentifyLength]) {
  const std::uint64_t count28 = IdentifyWords(identify, 60, 2);
  if (count28 != kSectorCount28Saturated) {
    return count28;
  }
  return IdentifyWords(identify, 100, 4);
}

std::uint64_t IdentifySectorCount(const std::string& devicePath) {
  std::uint8_t identify[kIdentifyLength] = {};
  if (IdentifyDevice(devicePath, identify) == 0) {
    return 0;
  }
  return SectorCountOfIdentify(identify);
}

int DiskRead10(const std::string& devicePath, std::uint32_t lba, std::uint8_t* buffer,
               std::uint32_t length, std::uint32_t blockSize, PassThroughOutcome* outcome) {
  std::uint32_t count = 0;
  if (!BlockCount(length, blockSize, kMaxCount10, count)) {
    return 0;
  }
  return PassThroughIn(devicePath, Block10(kRead10, lba, count), buffer, length, nullptr, outcome);
}

int DiskWrite10(const std::string& devicePath, std::uint32_t lba, const std::uint8_t* buffer,
                std::uint32_t length, std::uint32_t blockSize) {
  std::uint32_t count = 0;
  if (!BlockCount(length, blockSize, kMaxCount10, count)) {
    return 0;
  }
  return PassThroughOut(devicePath, Block10(kWrite10, lba, count), buffer, length);
}

int DiskRead16(const std::string& devicePath, std::uint64_t lba, std::uint8_t* buffer,
               std::uint32_t length, std::uint32_t blockSize, PassThroughOutcome* outcome) {
  std::uint32_t count = 0;
  if (!BlockCount(length, blockSize, UINT32_MAX, count)) {
    return 0;
  }
  return PassThroughIn(devicePath, Block16(kRead16, lba, count), buffer, length, nullptr, outcome);
}

int DiskWrite16(const std::string& devicePath, std::uint64_t lba, const std::uint8_t* buffer,
                std::uint32_t length, std::uint32_t blockSize) {
  std::uint32_t count = 0;
  if (!BlockCount(length, blockSize, UINT32_MAX, count)) {
    return 0;
  }
  return PassThroughOut(devicePath, Block16(kWrite16, lba, count), buffer, length);
}

namespace {

// One read or write of whole blocks from `lba`, by the command size the disk needs.
int DiskReadOnce(const std::string& devicePath, bool wide, std::uint64_t lba, std::uint8_t* buffer,
                 std::uint32_t length, std::uint32_t blockSize, PassThroughOutcome* outcome) {
  if (wide) {
    return DiskRead16(devicePath, lba, buffer, length, blockSize, outcome);
  }
  if (lba > kLastShortCommandLba) {
    return 0;
  }
  return DiskRead10(devicePath, static_cast<std::uint32_t>(lba), buffer, length, blockSize,
                    outcome);
}

int DiskWriteOnce(const std::string& devicePath, bool wide, std::uint64_t lba,
                  const std::uint8_t* buffer, std::uint32_t length, std::uint32_t blockSize) {
  if (wide) {
    return DiskWrite16(devicePath, lba, buffer, length, blockSize);
  }
  if (lba > kLastShortCommandLba) {
    return 0;
  }
  return DiskWrite10(devicePath, static_cast<std::uint32_t>(lba), buffer, length, blockSize);
}

}  // namespace

int DiskRead(const std::string& devicePath, bool wide, std::uint64_t lba, std::uint8_t* buffer,
             std::uint32_t length, std::uint32_t blockSize, PassThroughOutcome* outcome) {
  if (blockSize == 0) {
    return 0;
  }
  return TransferInPieces(devicePath, length, blockSize,
                          [&](std::uint32_t offset, std::uint32_t piece) {
                            return DiskReadOnce(devicePath, wide, lba + offset / blockSize,
                                                buffer + offset, piece, blockSize, outcome);
                          });
}

int DiskWrite(const std::string& devicePath, bool wide, std::uint64_t lba,
              const std::uint8_t* buffer, std::uint32_t length, std::uint32_t blockSize) {
  if (blockSize == 0) {
    return 0;
  }
  return TransferInPieces(
      devicePath, length, blockSize, [&](std::uint32_t offset, std::uint32_t piece) {
        return DiskWriteOnce(devicePath, wide, lba + offset / blockSize,
                             buffer == nullptr ? nullptr : buffer + offset, piece, blockSize);
      });
}

}  // namespace q71x
