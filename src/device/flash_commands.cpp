// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/flash_commands.h"

#include "src/device/command_fields.h"
#include "src/device/transfer_pieces.h"
#include "src/device/transport.h"

namespace q71x {
namespace {

constexpr std::uint8_t kReadBlock = 0x10;
constexpr std::uint8_t kWriteBlock = 0x11;
constexpr std::uint8_t kReadStatus = 0x12;
constexpr std::uint8_t kEraseChip = 0x13;
constexpr std::uint8_t kEraseSector = 0x14;
constexpr std::uint8_t kSpiCommand = 0x20;
constexpr std::uint8_t kSpiData = 0x22;
constexpr std::uint8_t kPrepareWrite = 0x25;

CommandBlock AddressedBlock(std::uint8_t operation, std::uint32_t address) {
  CommandBlock cdb = Ff04Block(operation);
  PutBigEndian(cdb, 3, address, 3);
  return cdb;
}

CommandBlock SpiCommandBlock(const SpiDescriptor& descriptor) {
  CommandBlock cdb = Ff04Block(kSpiCommand);
  for (std::size_t i = 0; i < descriptor.size(); ++i) {
    cdb[3 + i] = descriptor[i];
  }
  return cdb;
}

}  // namespace

int ReadFlashBlock(const std::string& devicePath, std::uint32_t address, std::uint8_t* buffer,
                   std::uint32_t length) {
  return TransferInPieces(
      devicePath, length, kFlashBlockPieceGranule, [&](std::uint32_t offset, std::uint32_t piece) {
        return PassThroughIn(devicePath, AddressedBlock(kReadBlock, address + offset),
                             buffer + offset, piece);
      });
}

int WriteFlashBlock(const std::string& devicePath, std::uint32_t address,
                    const std::uint8_t* buffer, std::uint32_t length) {
  return TransferInPieces(
      devicePath, length, kFlashBlockPieceGranule, [&](std::uint32_t offset, std::uint32_t piece) {
        return PassThroughOut(devicePath, AddressedBlock(kWriteBlock, address + offset),
                              buffer == nullptr ? nullptr : buffer + offset, piece);
      });
}

int ReadFlashStatus(const std::string& devicePath, std::uint8_t& status) {
  std::uint8_t reply = 0;
  if (PassThroughIn(devicePath, Ff04Block(kReadStatus), &reply, 1) == 0) {
    return 0;
  }
  status = reply;
  return 1;
}

int EraseFlashChip(const std::string& devicePath) {
  return PassThroughOut(devicePath, Ff04Block(kEraseChip), nullptr, 0);
}

int EraseFlashSector(const std::string& devicePath, std::uint32_t address) {
  return PassThroughOut(devicePath, AddressedBlock(kEraseSector, address), nullptr, 0);
}

int PrepareFlashWrite(const std::string& devicePath) {
  return PassThroughOut(devicePath, Ff04Block(kPrepareWrite), nullptr, 0);
}

int FlashWriteEnable(const std::string& devicePath) {
  return SpiCommandOut(devicePath, {0x01, 0x00, 0x06});
}

int ClearFlashProtection(const std::string& devicePath) {
  static constexpr std::uint8_t kStatusValue[2] = {0x01, 0x00};
  return PassThroughOut(devicePath, SpiCommandBlock({0x02, 0x00, 0x01}), kStatusValue,
                        sizeof kStatusValue);
}

int SpiCommandOut(const std::string& devicePath, const SpiDescriptor& descriptor) {
  return PassThroughOut(devicePath, SpiCommandBlock(descriptor), nullptr, 0);
}

int SpiDataOut(const std::string& devicePath, const std::uint8_t* buffer, std::uint32_t length) {
  return PassThroughOut(devicePath, Ff04Block(kSpiData), buffer, length);
}

}  // namespace q71x
