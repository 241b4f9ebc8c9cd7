// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The 64 KB parallel NOR parts the bridges without a serial flash may carry, in the order of
// the operator's flash-type list: the list's item number is the row number. The bridge cannot
// identify the part, so the operator's choice decides the unlock addresses of the JEDEC
// software-command sequences the host hands it.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace q71x {

enum class ParallelPart : std::uint8_t { Atmel = 0, Pmc = 1, Sst = 2 };

struct ParallelPartRow {
  ParallelPart Part = ParallelPart::Atmel;
  std::string_view Caption{};  // the flash-type list's item
  std::uint8_t MakerId = 0;    // what the part's autoselect mode answers
  std::uint8_t DeviceId = 0;
  std::uint16_t FirstUnlock = 0;   // receives AA and the command byte
  std::uint16_t SecondUnlock = 0;  // receives 55
  std::uint32_t SizeBytes = 65536;
};

inline constexpr auto kParallelParts = std::to_array<ParallelPartRow>({
    {.Part = ParallelPart::Atmel,
     .Caption = "ATMELAT 49BV512",
     .MakerId = 0x1F,
     .DeviceId = 0x03,
     .FirstUnlock = 0x5555,
     .SecondUnlock = 0x2AAA},
    {.Part = ParallelPart::Pmc,
     .Caption = "PMC OM39LV512",
     .MakerId = 0x9D,
     .DeviceId = 0x1B,
     .FirstUnlock = 0x0555,
     .SecondUnlock = 0x02AA},
    {.Part = ParallelPart::Sst,
     .Caption = "SST SST39LF512",
     .MakerId = 0xBF,
     .DeviceId = 0xD4,
     .FirstUnlock = 0x5555,
     .SecondUnlock = 0x2AAA},
});
inline constexpr int kParallelPartCount = static_cast<int>(kParallelParts.size());

// The list item that chooses the part.
inline constexpr int ParallelPartItem(ParallelPart part) {
  return static_cast<int>(part);
}

// The row of a list item; null for an item outside the list (no part chosen).
inline constexpr const ParallelPartRow* ParallelPartOfItem(int item) {
  return item >= 0 && item < kParallelPartCount ? &kParallelParts[static_cast<std::size_t>(item)]
                                                : nullptr;
}

// One item of the flash-type list: what it shows and the value choosing it sets.
struct PartChoice {
  std::string_view Caption;
  int Value;
};

inline constexpr std::array<PartChoice, kParallelPartCount> ParallelPartChoices() {
  std::array<PartChoice, kParallelPartCount> choices{};
  for (std::size_t i = 0; i < choices.size(); ++i) {
    choices[i] = {kParallelParts[i].Caption, ParallelPartItem(kParallelParts[i].Part)};
  }
  return choices;
}

// What is wrong with `rows` as the parallel-part table, one text per problem; empty when
// nothing is.
std::vector<std::string> CheckParallelPartTable(
    std::span<const ParallelPartRow> rows = kParallelParts);

}  // namespace q71x
