// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The two tables every later decision keys on: chip types (row = ChipType, in chip_type_table.h)
// and serial-flash vendors (row = FlashVendor), and the 16-bit chip identity that carries a row.

#include <array>
#include <cstdint>
#include <string_view>

#include "src/device/chip_type_table.h"

namespace q71x {

inline constexpr int kFlashVendorCount = 10;

struct FlashVendorRow {
  std::string_view Name;
  std::uint32_t LargeEraseUnit;
  std::uint32_t SmallEraseUnit;
};

inline constexpr std::array<FlashVendorRow, kFlashVendorCount> kFlashVendors{{
    {"Unknown", 32768, 4096},
    {"PMC", 32768, 4096},
    {"SST", 32768, 4096},
    {"ST/EON/MXIC", 65536, 32768},
    {"ATMEL", 65536, 32768},
    {"MXIC", 65536, 4096},
    {"WINBOND", 65536, 4096},
    {"AMIC", 65536, 4096},
    {"EON", 65536, 32768},
    {"ESMT", 65536, 4096},
}};

// A flash-vendor value from a bridge or a probe, made safe to index with: anything outside the
// table is "Unknown".
inline constexpr int SafeFlashVendor(int vendor) {
  return vendor >= 0 && vendor < kFlashVendorCount ? vendor : 0;
}

// The 16-bit chip identity: type in the low byte, revision in the high byte.
inline constexpr std::uint16_t MakeChipIdentity(std::uint8_t type, std::uint8_t revision) {
  return static_cast<std::uint16_t>((revision << 8) | type);
}
inline constexpr std::uint8_t IdentityType(std::uint16_t identity) {
  return identity & 0xFF;
}
inline constexpr std::uint8_t IdentityRevision(std::uint16_t identity) {
  return identity >> 8;
}

}  // namespace q71x
