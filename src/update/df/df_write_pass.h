// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One write pass of the DF family, from its first write to its last: which block carries an
// erase mark, and where a block must end so that it never runs into the next erase unit. The
// bridge erases the unit a marked block falls in before programming it, so each unit must be
// marked exactly once per pass, on its first block; the pass counts the units it has marked
// across all of its writes. Each pass (the erase-only action, a programming run, a write-back)
// makes its own, so nothing marked by an earlier run can hold a later one's marks back.

#include <cstdint>

#include "src/catalog/flash_vendor_table.h"
#include "src/update/tool_window.h"

namespace q71x {

// What the writes of a pass read of the program's settings and the chip check's facts.
struct DfWriteSettings {
  std::uint32_t FlashPageSize = 0;
  std::uint32_t EraseBlockSize = 0;
  std::uint32_t EraseSectorSize = 0;
  FlashVendor Vendor = FlashVendor::Unknown;
};

// How many units of each size this pass has marked so far.
struct EraseUnitCounters {
  std::uint32_t BlockEraseCount = 0;   // units of EraseBlockSize
  std::uint32_t SectorEraseCount = 0;  // units of EraseSectorSize
};

class DfWritePass {
 public:
  // Takes the settings as they stand when the pass starts, so that a choice changed in the window
  // while the pass runs cannot re-plan its blocks halfway. Progress dots go to the window's
  // status field.
  explicit DfWritePass(ToolWindow& window);

  const DfWriteSettings& Settings() const { return settings_; }
  const EraseUnitCounters& Counters() const { return counters_; }

  // The mark (0-7) of the block at `address` for write mode `mode`; counts the unit when the
  // block is the first one of a not yet marked unit. Sector modes are 1 and 4, block modes 2 and
  // 5, the whole-flash modes 3, 6 and 7 mark only the block at address 0.
  std::uint8_t NextEraseMark(std::uint32_t address, std::uint32_t mode);

  // The length of the block at `address` cut at the end of the unit NextEraseMark counted last.
  // Modes other than 1, 2, 4 and 5 do not cut. Never more than `length`, and never a length that
  // wraps: when the counters lag behind the address, the block is cut at the end of the unit
  // that holds it.
  std::uint32_t ClipToEraseUnit(std::uint32_t address, std::uint32_t length,
                                std::uint32_t mode) const;

  // One "." after the status text, per block written.
  void ProgressDot();
  // `done` of the write's `total` bytes are written: the share of the run's current step.
  void Moved(std::uint64_t done, std::uint64_t total);

 private:
  ToolWindow& window_;
  DfWriteSettings settings_;
  EraseUnitCounters counters_;
};

// The mark as the block at `address` carries it on the wire: vendors whose row says so want
// kVendorMarkBit on a marked block at address 0 (and nowhere else).
std::uint8_t WithVendorMarkBit(FlashVendor vendor, std::uint32_t address, std::uint8_t mark);

}  // namespace q71x
