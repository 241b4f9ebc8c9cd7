// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A 64 KB parallel NOR flash as its bus sees it: single write cycles feed the JEDEC command
// state machine, read cycles return array data, the autoselect ids, or the status bits of an
// operation still running. Programming only clears bits; only an erase sets them again.

#include <cstdint>
#include <span>
#include <vector>

#include "sim/parallel_nor_part.h"

namespace q71x::sim {

class ParallelNorFlash {
 public:
  explicit ParallelNorFlash(const ParallelNorPart& part);

  const ParallelNorPart& Part() const { return part_; }

  // One bus write cycle at virtual time nowUs. Cycles that do not continue a valid sequence
  // for this part's unlock addresses drop the sequence and change nothing.
  void WriteCycle(std::uint32_t address, std::uint8_t data, std::uint64_t nowUs);
  // One bus read cycle. While an erase or program runs, the part answers with its status bits
  // (DQ7 data polling, DQ6 toggling on every read) instead of array data.
  std::uint8_t ReadCycle(std::uint32_t address, std::uint64_t nowUs);

  bool IsBusy(std::uint64_t nowUs) const { return nowUs < busyUntilUs_; }
  std::uint64_t BusyUntilUs() const { return busyUntilUs_; }

  // The array itself, for presets and for tests that inspect what a procedure left.
  std::span<const std::uint8_t> Contents() const { return cells_; }
  // Puts bytes into the array as a factory programmer would, outside the command protocol.
  void Preload(std::uint32_t offset, std::span<const std::uint8_t> bytes);

 private:
  enum class Step {
    Idle,
    Unlocked1,
    Unlocked2,
    ProgramArmed,
    EraseArmed,
    EraseUnlocked1,
    EraseUnlocked2,
    Autoselect,
  };

  std::uint32_t Wrap(std::uint32_t address) const { return address % part_.SizeBytes; }
  void StartOperation(std::uint64_t nowUs, std::uint32_t durationUs, std::uint8_t pollingBit7);

  ParallelNorPart part_;
  std::vector<std::uint8_t> cells_;
  Step step_ = Step::Idle;
  std::uint64_t busyUntilUs_ = 0;
  std::uint8_t pollingBit7_ = 0;
  std::uint8_t toggleBit6_ = 0;
};

}  // namespace q71x::sim
