// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/df_commands.h"

#include "src/device/command_fields.h"
#include "src/device/transfer_pieces.h"
#include "src/device/transport.h"

namespace q71x {
namespace {

constexpr std::uint8_t kDataInMode = 0x10;
constexpr std::uint8_t kReadFlash = 0xFA;
constexpr std::uint8_t kWriteFlash = 0xFB;
constexpr std::uint8_t kWriteMemory = 0xFE;
constexpr std::uint8_t kWriteModeMask = 0x87;
// A read longer than the system carries goes in pieces of the units the bridge counts in.
constexpr std::uint32_t kReadPieceGranule = 512;

CommandBlock DfBlock(std::uint8_t modeByte, std::uint32_t length, std::uint8_t command) {
  CommandBlock cdb(12);
  cdb[0] = 0xDF;
  cdb[1] = modeByte;
  PutBigEndian(cdb, 3, length, 2);
  cdb[11] = command;
  return cdb;
}

CommandBlock DfFlashBlock(std::uint8_t modeByte, std::uint32_t address, std::uint32_t length,
                          std::uint8_t command) {
  CommandBlock cdb = DfBlock(modeByte, length, command);
  PutBigEndian(cdb, 8, address, 3);
  return cdb;
}

}  // namespace

int ReadFlashDF(const std::string& devicePath, std::uint32_t address, std::uint8_t* buffer,
                std::uint32_t length) {
  if (length > kMaxDfTransfer) {
    return 0;
  }
  return TransferInPieces(
      devicePath, length, kReadPieceGranule, [&](std::uint32_t offset, std::uint32_t piece) {
        return PassThroughIn(devicePath,
                             DfFlashBlock(kDataInMode, address + offset, piece, kReadFlash),
                             buffer + offset, piece);
      });
}

int WriteFlashDF(const std::string& devicePath, std::uint32_t address, const std::uint8_t* buffer,
                 std::uint32_t length, std::uint8_t mode) {
  if (length > kMaxDfTransfer) {
    return 0;
  }
  const std::uint8_t modeByte = mode & kWriteModeMask;
  return PassThroughOut(devicePath, DfFlashBlock(modeByte, address, length, kWriteFlash), buffer,
                        length);
}

int WriteFlashDF2(const std::string& devicePath, std::uint32_t address, const std::uint8_t* buffer,
                  std::uint32_t length, bool eraseFirst) {
  if (length > kMaxDfTransfer) {
    return 0;
  }
  const std::uint8_t modeByte = eraseFirst ? 0x01 : 0x00;
  return PassThroughOut(devicePath, DfFlashBlock(modeByte, address, length, kWriteFlash), buffer,
                        length);
}

int WriteChipMemory(const std::string& devicePath, std::uint16_t address,
                    const std::uint8_t* buffer, std::uint32_t length) {
  if (length > kMaxDfTransfer) {
    return 0;
  }
  CommandBlock cdb = DfBlock(0x00, length, kWriteMemory);
  PutBigEndian(cdb, 6, address, 2);
  return PassThroughOut(devicePath, cdb, buffer, length);
}

}  // namespace q71x
