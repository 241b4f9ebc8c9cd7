// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Which update procedure Run starts for the identified chip: each row of the chip-type table
// names its rule, and the rules that depend on a fact of the device are decided here from what
// the chip check learnt.

#include <cstdint>
#include <string>

#include "src/update/tool_window.h"
#include "src/update/update_procedure.h"

namespace q71x {

// Chip types 5 and 13 keep their firmware on the disk from this configuration level on; below it
// they are not supported.
inline constexpr int kDiskKeptSupportedLevel = 0xD0;

// What the choice depends on, taken from the window when Run is pressed.
struct DispatchFacts {
  q71x::ChipType ChipType = q71x::ChipType::Unknown;
  std::uint8_t ChipRevision = 0;
  q71x::FlashVendor FlashVendor = q71x::FlashVendor::Unknown;
  std::uint32_t SstSpiFlash = 0;
  std::int32_t ConfigLevel = 0;
  std::string DevicePath;
};

// The facts as the chip check left them in the state, for the device at `devicePath`.
DispatchFacts DispatchFactsOf(const ChipState& state, const std::string& devicePath);

// The procedure for the chip; None when its row has none, or its condition does not hold. For a
// row whose rule is decided by the mode flag the device is asked for it (CheckChipModeFlag),
// always; no other rule sends anything.
UpdateProcedure ChooseUpdateProcedure(const DispatchFacts& facts);

}  // namespace q71x
