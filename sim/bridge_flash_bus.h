// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// How the bridge firmware reaches its serial flash: one chip-select cycle at a time over its
// flash bus, and a ready wait that polls the status register until the part is idle. Shared by
// every command family that touches the serial flash.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/bridge.h"

namespace q71x::sim {

// The flash bus runs at 24 MHz: a third of a microsecond per byte.
inline constexpr std::uint32_t kFlashBusNsPerByte = 333;

// One cycle: clocks out `command` then `readLength` zeros; returns the read-phase bytes. With no
// flash fitted the data line floats high and every byte reads FF.
std::vector<std::uint8_t> ClockFlash(BridgeState& bridge, CommandContext& context,
                                     std::span<const std::uint8_t> command,
                                     std::size_t readLength = 0);

// Polls until the flash is idle. False when that would take past the command's time-out (the
// clock then stands at the deadline).
bool WaitFlashIdleInBridge(BridgeState& bridge, CommandContext& context);

// Ends an auto-address-increment run the host left open through the raw channel (WRITE
// DISABLE): an SST part in that mode answers nothing but READ STATUS, so the bridge's own block
// commands close the run before they touch the flash, as its firmware does.
void LeaveAutoIncrement(BridgeState& bridge, CommandContext& context);

// WRITE ENABLE, then one cycle with `command`.
void WriteEnabledCycle(BridgeState& bridge, CommandContext& context,
                       std::span<const std::uint8_t> command);

// An opcode followed by a 24-bit address, high byte first.
std::array<std::uint8_t, 4> OpcodeWithAddress(std::uint8_t opcode, std::uint32_t address);

// Programs `data` from `address` the way the host set up for block writes: page programs split
// at the page size, or auto-address-increment cycles when the program opcode is AF or AD. Each
// step is waited for; false when that would pass the time-out. Used by FF 04 11 and DF .. FB.
// (Defined in bridge_ff04.cpp.)
bool ProgramFlashRange(BridgeState& bridge, CommandContext& context, std::uint32_t address,
                       std::span<const std::uint8_t> data);

}  // namespace q71x::sim
