// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// How a DF-family bridge differs from its siblings where no command reply shows it: how it reads
// the mode byte of a flash write, and whether controller byte 506A keeps its lowest bit set
// whatever is written there (a probe that writes 0 and reads back 1 tells the later silicon).

#include <cstdint>

#include "sim/df_erase_marks.h"

namespace q71x::sim {

inline constexpr std::uint16_t kToggleByteAddress = 0x506A;

struct DfBridgeOptions {
  DfWriteDialect WriteDialect = DfWriteDialect::EraseMarks;
  bool ToggleByteRefusesClear = false;
};

}  // namespace q71x::sim
