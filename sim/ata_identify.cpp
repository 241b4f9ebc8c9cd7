// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/ata_identify.h"

#include <algorithm>

namespace q71x::sim {

namespace {

using IdentifyData = std::array<std::uint8_t, kIdentifyDataSize>;

void PutWord(IdentifyData& data, std::size_t index, std::uint16_t value) {
  data[2 * index] = static_cast<std::uint8_t>(value);
  data[2 * index + 1] = static_cast<std::uint8_t>(value >> 8);
}

// ATA strings are space-padded and keep the first character of each pair in the high byte.
void PutString(IdentifyData& data, std::size_t firstWord, std::size_t words,
               std::string_view text) {
  for (std::size_t i = 0; i < words * 2; ++i) {
    const char c = i < text.size() ? text[i] : ' ';
    data[2 * firstWord + (i ^ 1)] = static_cast<std::uint8_t>(c);
  }
}

constexpr std::uint16_t kGeneralConfigFixedAta = 0x0040;
constexpr std::uint16_t kCapabilitiesLba = 0x0200;
constexpr std::uint16_t kCommandSetValid = 0x4000;
constexpr std::uint16_t kCommandSet48Bit = 0x0400;
constexpr std::uint16_t kSectorSizeValid = 0x4000;
constexpr std::uint16_t kLogicalSectorLongerThan256Words = 0x1000;
constexpr std::uint8_t kIntegritySignature = 0xA5;

}  // namespace

std::array<std::uint8_t, kIdentifyDataSize> BuildIdentifyData(const IdentifyFacts& facts) {
  IdentifyData data{};
  PutWord(data, 0, kGeneralConfigFixedAta);
  PutString(data, 10, 10, facts.Serial);
  PutString(data, 23, 4, facts.FirmwareRevision);
  PutString(data, 27, 20, facts.Model);
  PutWord(data, 49, kCapabilitiesLba);

  const std::uint64_t count28 = std::min<std::uint64_t>(facts.SectorCount, kMax28BitSectors);
  PutWord(data, 60, static_cast<std::uint16_t>(count28));
  PutWord(data, 61, static_cast<std::uint16_t>(count28 >> 16));

  PutWord(data, 83, kCommandSetValid | kCommandSet48Bit);
  PutWord(data, 86, kCommandSet48Bit);
  for (std::size_t i = 0; i < 4; ++i) {
    PutWord(data, 100 + i, static_cast<std::uint16_t>(facts.SectorCount >> (16 * i)));
  }

  if (facts.LogicalSectorBytes > 512) {
    PutWord(data, 106, kSectorSizeValid | kLogicalSectorLongerThan256Words);
    const std::uint32_t words = facts.LogicalSectorBytes / 2;
    PutWord(data, 117, static_cast<std::uint16_t>(words));
    PutWord(data, 118, static_cast<std::uint16_t>(words >> 16));
  } else {
    PutWord(data, 106, kSectorSizeValid);
  }

  // Integrity word: signature, then the byte that makes all 512 bytes sum to zero.
  data[510] = kIntegritySignature;
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 511; ++i) {
    sum = static_cast<std::uint8_t>(sum + data[i]);
  }
  data[511] = static_cast<std::uint8_t>(0x100 - sum);
  return data;
}

std::uint16_t IdentifyWord(const std::array<std::uint8_t, kIdentifyDataSize>& data,
                           std::size_t index) {
  return static_cast<std::uint16_t>(data[2 * index] | (data[2 * index + 1] << 8));
}

}  // namespace q71x::sim
