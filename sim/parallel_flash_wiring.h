// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The bridge side of a parallel NOR flash: the part on the board, whether the bridge has
// switched to its internal ROM (it must not erase or program the flash it runs from), and the
// chip-erase sequence the host loaded for the next start.

#include <array>
#include <cstdint>
#include <optional>

#include "sim/parallel_nor_flash.h"

namespace q71x::sim {

// Six addresses low byte first, then the six data bytes.
inline constexpr std::size_t kParallelEraseSequenceBytes = 18;

struct ParallelFlashWiring {
  explicit ParallelFlashWiring(const ParallelNorPart& part) : Flash(part) {}

  ParallelNorFlash Flash;
  // A1 silicon always runs from its ROM: it refuses the switch and needs none.
  bool AlwaysRunsFromRom = false;
  bool RunsFromRom = false;
  std::optional<std::array<std::uint8_t, kParallelEraseSequenceBytes>> EraseSequence;
  // Fault: the busy status never clears.
  bool StuckBusy = false;
};

// Power applied again: the bridge boots from the flash (or, A1, from its ROM) and has forgotten
// any loaded sequence; a hung part is reset. The array keeps its contents.
inline void PowerOnParallelFlash(ParallelFlashWiring& wiring) {
  wiring.RunsFromRom = wiring.AlwaysRunsFromRom;
  wiring.EraseSequence.reset();
  wiring.StuckBusy = false;
}

}  // namespace q71x::sim
