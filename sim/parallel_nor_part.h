// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The 64 KB parallel NOR parts that the flash-type list offers. Each obeys only the JEDEC
// software-command sequences written to its own two unlock addresses, compared over all 16
// address lines, so a sequence meant for another part is ignored as it would be on the board.

#include <array>
#include <cstdint>
#include <string_view>

namespace q71x::sim {

struct ParallelNorPart {
  std::string_view Name = {};
  std::uint8_t MakerId = 0;
  std::uint8_t DeviceId = 0;
  std::uint16_t FirstUnlock = 0;   // receives AA, then the command byte
  std::uint16_t SecondUnlock = 0;  // receives 55
  std::uint32_t SizeBytes = 0;
  // 0 for a part that erases only as a whole.
  std::uint32_t SectorBytes = 0;
  // Typical data-sheet times.
  std::uint32_t ByteProgramUs = 0;
  std::uint32_t SectorEraseUs = 0;
  std::uint32_t ChipEraseUs = 0;
};

inline constexpr std::uint32_t kParallelNorSize = 65536;

// In the order of the flash-type list, so the list's item index names the part on the board.
inline constexpr std::array<ParallelNorPart, 3> kParallelNorParts{{
    {.Name = "AT 49BV512",
     .MakerId = 0x1F,
     .DeviceId = 0x03,
     .FirstUnlock = 0x5555,
     .SecondUnlock = 0x2AAA,
     .SizeBytes = kParallelNorSize,
     .SectorBytes = 0,
     .ByteProgramUs = 30,
     .SectorEraseUs = 0,
     .ChipEraseUs = 2'000'000},
    {.Name = "OM39LV512",
     .MakerId = 0x9D,
     .DeviceId = 0x1B,
     .FirstUnlock = 0x0555,
     .SecondUnlock = 0x02AA,
     .SizeBytes = kParallelNorSize,
     .SectorBytes = 4096,
     .ByteProgramUs = 9,
     .SectorEraseUs = 55'000,
     .ChipEraseUs = 55'000},
    {.Name = "SST39LF512",
     .MakerId = 0xBF,
     .DeviceId = 0xD4,
     .FirstUnlock = 0x5555,
     .SecondUnlock = 0x2AAA,
     .SizeBytes = kParallelNorSize,
     .SectorBytes = 4096,
     .ByteProgramUs = 14,
     .SectorEraseUs = 18'000,
     .ChipEraseUs = 70'000},
}};

}  // namespace q71x::sim
