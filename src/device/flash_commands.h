// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The serial-flash commands of the FF 04 family: block transfers and erases that the bridge
// carries out itself, the status register, and the raw channel that clocks opcodes straight
// through to the flash. Each is one pass-through call; 1 on success, 0 on failure.

#include <array>
#include <cstdint>
#include <string>

namespace q71x {

// Status register bits as the flash reports them.
inline constexpr std::uint8_t kFlashStatusBusy = 0x01;
inline constexpr std::uint8_t kFlashStatusWriteEnabled = 0x02;

// Block transfers longer than the system carries are cut into whole multiples of this (sector and
// page boundaries stay where the whole block had them).
inline constexpr std::uint32_t kFlashBlockPieceGranule = 4096;

// The nine bytes 3-11 of FF 04 20: count of command bytes, data-phase flag (1 when an
// SpiDataOut follows), then up to seven command bytes (opcode, address or data).
using SpiDescriptor = std::array<std::uint8_t, 9>;

// FF 04 10 A2 A1 A0, data in, 24-bit address. This and the block write are sent in pieces of
// what the system carries (see transfer_pieces.h), each with its own address.
int ReadFlashBlock(const std::string& devicePath, std::uint32_t address, std::uint8_t* buffer,
                   std::uint32_t length);
// FF 04 11 A2 A1 A0, data out.
int WriteFlashBlock(const std::string& devicePath, std::uint32_t address,
                    const std::uint8_t* buffer, std::uint32_t length);
// FF 04 12, one byte in. `status` is written only when the command succeeds: a failed read must
// not turn a busy flash into an idle one.
int ReadFlashStatus(const std::string& devicePath, std::uint8_t& status);
// FF 04 13, no data; its byte 2 gives it the long time-out.
int EraseFlashChip(const std::string& devicePath);
// FF 04 14 A2 A1 A0, no data: one erase unit starting at address.
int EraseFlashSector(const std::string& devicePath, std::uint32_t address);
// FF 04 25, no data.
int PrepareFlashWrite(const std::string& devicePath);
// FF 04 20 01 00 06: WRITE ENABLE.
int FlashWriteEnable(const std::string& devicePath);
// FF 04 20 02 00 01 with the data phase 01 00: WRITE STATUS REGISTER 00, clearing block protection.
int ClearFlashProtection(const std::string& devicePath);
// FF 04 20 and the descriptor, no data.
int SpiCommandOut(const std::string& devicePath, const SpiDescriptor& descriptor);
// FF 04 22, data out: the data phase of the SpiCommandOut before it.
int SpiDataOut(const std::string& devicePath, const std::uint8_t* buffer, std::uint32_t length);

}  // namespace q71x
