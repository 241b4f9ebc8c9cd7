#pragma once
// The two tables every later decision keys on: chip types (row = ChipType) and serial-flash
// vendors (row = FlashVendor), with their self-checks in the tests.

#include <array>
#include <cstdint>
#include <string_view>

namespace q71x {

inline constexpr int kChipTypeCount = 20;
inline constexpr int kFlashVendorCount = 10;

struct ChipTypeRow {
  std::string_view DisplayName;
  std::string_view InquiryCode;   // INQUIRY bytes 36-39, empty when none
  std::string_view InfoCode;      // firmware-information bytes 8-10, empty when none
  std::string_view ChipInfoCode;  // GetChipInfo bytes 0-4 (0-3 for "q842"), empty when none
};

inline constexpr std::array<ChipTypeRow, kChipTypeCount> kChipTypes{{
    {"Unknown Chip", "", "", ""},
    {"QV40714 Series", "q714", "714", "q714C"},
    {"QV40712 Series", "q712", "712", ""},
    {"QV40716 Series", "q716", "716", ""},
    {"QV40713 Series", "q713", "713", "q713C"},
    {"QV40709 Series", "q709", "709", ""},
    {"QVK842 Series", "q842", "842", "q842"},
    {"QVK846 Series", "q846", "846", ""},
    {"QVK848 Series", "q848", "848", ""},
    {"QVK844 Series", "q844", "844", ""},
    {"QVN962/958 Series", "q962", "962", ""},
    {"QVN958 Series", "q958", "958", ""},
    {"QVK926 Series", "q926", "926", "q926A"},
    {"QVK924 Series", "q924", "924", ""},
    {"QV40713 Series", "", "", "q713E"},
    {"QV40716", "", "", ""},
    {"QV40718", "", "", ""},
    {"QV40713", "", "", ""},
    {"QV40714", "", "", ""},
    {"QV40712", "", "", ""},
}};

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

// What keeps a chip type's firmware, which decides the chip check's display and the procedures.
enum class ChipGroup { SerialFlash, DiskKept, ParallelFlash, NotSupported };

inline constexpr ChipGroup ChipGroupOf(int chipType) {
  switch (chipType) {
    case 1:
    case 3:
    case 4:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 14:
      return ChipGroup::SerialFlash;
    case 5:
    case 13:
      return ChipGroup::DiskKept;
    case 2:
    case 19:
      return ChipGroup::ParallelFlash;
    default:
      return ChipGroup::NotSupported;
  }
}

// A flash-vendor value from a bridge or a probe, made safe to index with: anything outside the
// table is "Unknown".
inline constexpr int SafeFlashVendor(int vendor) {
  return vendor >= 0 && vendor < kFlashVendorCount ? vendor : 0;
}

inline constexpr std::string_view ChipTypeName(int chipType) {
  return chipType >= 0 && chipType < kChipTypeCount ? kChipTypes[chipType].DisplayName
                                                    : kChipTypes[0].DisplayName;
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
