// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The 512-byte IDENTIFY DEVICE data of the drive behind a bridge, little-endian words as ATA
// lays them out: the 28-bit sector count in words 60-61 (saturated at 0FFFFFFF when the drive
// is larger) and the 48-bit count in words 100-103.

#include <array>
#include <cstdint>
#include <string_view>

namespace q71x::sim {

inline constexpr std::size_t kIdentifyDataSize = 512;
inline constexpr std::uint32_t kMax28BitSectors = 0x0FFFFFFF;

struct IdentifyFacts {
  std::uint64_t SectorCount = 0;  // user-addressable sectors of logical-sector size
  std::uint32_t LogicalSectorBytes = 512;
  std::string_view Model = "SIMULATED DISK";
  std::string_view Serial = "SIM0000001";
  std::string_view FirmwareRevision = "1.0";
};

std::array<std::uint8_t, kIdentifyDataSize> BuildIdentifyData(const IdentifyFacts& facts);

// Word `index` of IDENTIFY data, for tests and for the disk commands that read it back.
std::uint16_t IdentifyWord(const std::array<std::uint8_t, kIdentifyDataSize>& data,
                           std::size_t index);

}  // namespace q71x::sim
