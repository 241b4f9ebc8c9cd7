// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The tables every later decision keys on: chip types (row = ChipType, chip_type_table.h),
// serial-flash vendors (row = FlashVendor, flash_vendor_table.h) and parallel parts (row = the
// flash-type list's item, parallel_part_table.h), and the 16-bit chip identity that carries a row.

#include <cstdint>

#include "src/catalog/chip_type_table.h"
#include "src/catalog/flash_vendor_table.h"
#include "src/catalog/parallel_part_table.h"

namespace q71x {

// The 16-bit chip identity: type in the low byte, revision in the high byte.
inline constexpr std::uint16_t MakeChipIdentity(std::uint8_t type, std::uint8_t revision) {
  return static_cast<std::uint16_t>((revision << 8) | type);
}
inline constexpr std::uint16_t MakeChipIdentity(ChipType type, std::uint8_t revision) {
  return MakeChipIdentity(RowNumber(type), revision);
}
inline constexpr std::uint8_t IdentityType(std::uint16_t identity) {
  return identity & 0xFF;
}
// The row the identity names; a type byte outside the table is the unknown chip.
inline constexpr ChipType IdentityChipType(std::uint16_t identity) {
  return ToChipType(IdentityType(identity));
}
inline constexpr std::uint8_t IdentityRevision(std::uint16_t identity) {
  return identity >> 8;
}

}  // namespace q71x
