// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Which bridge chip is behind a device path and which serial flash sits behind the bridge.

#include <array>
#include <cstdint>
#include <string>

#include "src/catalog/flash_vendor_table.h"

namespace q71x {

// Chip-erase opcode, sector-erase opcode, program opcode, the vendor (its row goes to the bridge
// as a byte).
struct FlashOpcodeSet {
  std::uint8_t ChipErase = 0xC7;
  std::uint8_t SectorErase = 0xD8;
  std::uint8_t Program = 0x02;
  FlashVendor Vendor = FlashVendor::Unknown;
};

// The 16-bit identity (type low byte, revision high byte). Never fails: 0 = "Unknown Chip".
std::uint16_t IdentifyChip(const std::string& devicePath);
// 1 when a vendor was decided (or the very first probe failed), else 0.
int DetectSerialFlash(const std::string& devicePath, FlashOpcodeSet& opcodes);
// 1, 3, 4 or 5 for the AMIC parts, -1 otherwise.
int ProbeAmicFlash(const std::string& devicePath);
// 0, 1 or 2 for ATMEL parts, -1 otherwise.
int ProbeAtmelFlash(const std::string& devicePath);
int IsLateRevision(const std::string& devicePath);

// Identification commands (12-byte blocks, data in, 10 s).
// ReadFwInfo: E0 F4 E7; `transferred` receives the moved length.
int ReadFwInfo(const std::string& devicePath, std::uint8_t* reply, std::uint32_t length,
               std::uint32_t* transferred);
// GetChipInfo: FF 04 30 08. A length below 8 is refused before anything is sent.
int GetChipInfo(const std::string& devicePath, std::uint8_t* reply, std::uint32_t length);
int ReadChipMemory(const std::string& devicePath, std::uint16_t address, std::uint8_t* reply,
                   std::uint16_t length);
// FF 04 23: 1 on success. reply[0] is FlashVendor as the bridge knows it (0 when it does not);
// a byte outside the vendor table is reported as 0 so that it never indexes past the table.
int GetFlashVendor(const std::string& devicePath, std::uint8_t reply[4]);
// FF 04 20 01 01 OP (no data), then FF 04 21 for `length` bytes when the first succeeded.
int SpiCommandIn(const std::string& devicePath, std::uint8_t opcode, std::uint8_t* reply,
                 std::uint32_t length);
int ReadLegacyFlashId(const std::string& devicePath, std::uint8_t opcode, bool dummyBytes,
                      std::uint8_t reply[3]);
int SetFlashOpcodes(const std::string& devicePath, const FlashOpcodeSet& opcodes);
int SetFlashPageSize(const std::string& devicePath, std::uint32_t pageSize);
// FF 04 0F O0 O1 O2 O4 NN: three opcodes, the fifth byte of the caller's record, page size / 4.
int SetFlashOpcodesEx(const std::string& devicePath, const std::array<std::uint8_t, 5>& record,
                      std::uint32_t pageSize);
// Returns byte 8 of the 18-byte configuration block, 0 when the command fails. The whole reply
// goes to `reply` when it is given (at least `length` bytes).
int ReadConfigBlock(const std::string& devicePath, std::uint8_t* reply, std::uint32_t length,
                    int* commandOk = nullptr);

}  // namespace q71x
