#pragma once
// The three-digit code each chip type's image files carry in their header, one row per row of
// the chip-type table (src/device/chip_tables.h), and the facts about where each type's header
// may stand.

#include <array>
#include <cstdint>
#include <string_view>

#include "src/device/chip_tables.h"

namespace q71x {

// Rows 8 and 9 share "844": the two chips take the same images. Row 0 (unknown chip) has none.
inline constexpr std::array<std::string_view, kChipTypeCount> kChipCodes{{
    "",    "714", "712", "716", "713", "709", "842", "846", "844", "844",
    "962", "958", "926", "924", "713", "716", "718", "713", "714", "712",
}};

// The revision-1 images of chip type 1 carry these bytes where other images carry a code.
inline constexpr std::string_view kType1Revision1Code{"\x5A\xA5\x0F\xF0", 4};

// Type-7 images are recognised by their first 8 bytes, one pattern per revision.
inline constexpr std::string_view kType7Revision1Signature{"\x55\xAA\xAA\x55q846", 8};
inline constexpr std::string_view kType7Revision2Signature{
    "\x55\xAA\xAA\x55"
    "8461",
    8};

// Out-of-range types have no code, like row 0.
inline constexpr std::string_view ChipCodeFor(int chipType) {
  return chipType >= 0 && chipType < kChipTypeCount ? kChipCodes[chipType] : std::string_view{};
}

// Types whose images may begin with a 4 KB NVRAM block, so the header may stand at 4096.
inline constexpr bool IsNvramBlockType(int chipType) {
  return chipType == 6 || chipType == 8 || chipType == 9 || chipType == 10 || chipType == 11;
}

// Types whose header stands at 16384 and is recognised by its first two signature bytes only.
inline constexpr bool HasLateHeader(int chipType) {
  return chipType == 12 || chipType == 14;
}

}  // namespace q71x
