#pragma once
// Which update procedure Run starts for the identified chip.

#include <cstdint>
#include <string>

#include "src/update/update_procedure.h"

namespace q71x {

// Chip types 5 and 13 keep their firmware on the disk from this configuration level on; below it
// they are not supported.
inline constexpr int kDiskKeptSupportedLevel = 0xD0;

// What the choice depends on, taken from the chip state when Run is pressed.
struct DispatchFacts {
  std::uint8_t ChipType = 0;
  std::uint8_t ChipRevision = 0;
  std::int32_t FlashVendor = 0;
  std::uint32_t SstSpiFlash = 0;
  std::int32_t ConfigLevel = 0;
  std::string DevicePath;
};

// The procedure for the chip. For chip type 10 the device is asked for its mode flag
// (CheckChipModeFlag), which is always sent for that type.
UpdateProcedure ChooseUpdateProcedure(const DispatchFacts& facts);

}  // namespace q71x
