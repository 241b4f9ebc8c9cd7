// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The serial-flash parts the simulator can fit behind a bridge: at least one per flash-vendor
// row 1-9, from 512 Kbit to 16 Mbit, with the ids each identification opcode returns, the erase
// units per opcode and data-sheet timings.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/serial_flash_part.h"

namespace q71x::sim {

std::span<const SerialFlashPart> SerialFlashParts();
// Null when no part has that name.
const SerialFlashPart* FindSerialFlashPart(std::string_view name);
// The table's own consistency: one text per problem found, empty when sound.
std::vector<std::string> CheckSerialFlashParts(std::span<const SerialFlashPart> parts);

}  // namespace q71x::sim
