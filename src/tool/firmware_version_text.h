// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The firmware version as the version field shows it, from the firmware-information reply.

#include <cstdint>
#include <string>

#include "src/catalog/chip_type_table.h"

namespace q71x {

inline constexpr std::uint32_t kFwInfoLength = 16;

// True when the reply carries the family's signature F4 E7.
bool HasFwInfoSignature(const std::uint8_t* reply);

// The version text of a reply with the signature, in the style of the chip's row. `toggleBitSet`
// is ToggleBitProbe's answer, asked only for the rows whose last number it flips (the lowest
// bit).
std::string FirmwareVersionText(ChipType chipType, const std::uint8_t* reply,
                                std::uint32_t transferred, int toggleBitSet);

// The fixed text shown when the reply could not be read.
std::string UnreadableVersionText(ChipType chipType);

}  // namespace q71x
