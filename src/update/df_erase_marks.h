#pragma once
// Which block of a DF write pass carries an erase mark, and where a block must end so that it
// never runs into the next erase unit. The bridge erases the unit a marked block falls in before
// programming it, so each unit must be marked exactly once per pass, on its first block.

#include <cstdint>

#include "src/update/tool_window.h"

namespace q71x {

// How many units of each size have been marked since the last reset. Process-wide: they belong
// to the one write pass in progress and span all the writes of that pass.
struct EraseUnitCounters {
  std::uint32_t BlockEraseCount = 0;   // units of EraseBlockSize
  std::uint32_t SectorEraseCount = 0;  // units of EraseSectorSize
};

EraseUnitCounters& EraseCounters();
// Starts a new pass: the erase-only action and programming call this before their writes.
void ResetEraseCounters();

// The mark (0-7) of the block at `address` for write mode `mode`; counts the unit when the block
// is the first one of a not yet marked unit. Sector modes are 1 and 4, block modes 2 and 5, the
// whole-flash modes 3, 6 and 7 mark only the block at address 0.
std::uint8_t NextEraseMark(const ProgramSettings& settings, std::uint32_t address,
                           std::uint32_t mode);

// The length of the block at `address` cut at the end of the unit NextEraseMark counted last.
// Modes other than 1, 2, 4 and 5 do not cut. Never more than `length`, and never a length that
// wraps: when the counters lag behind the address, the block is cut at the end of the unit that
// holds it.
std::uint32_t ClipToEraseUnit(const ProgramSettings& settings, std::uint32_t address,
                              std::uint32_t length, std::uint32_t mode);

// The mark as the block at `address` carries it on the wire: MXIC parts want kMxicMarkBit on a
// marked block at address 0 (and nowhere else).
std::uint8_t WithMxicBit(std::int32_t flashVendor, std::uint32_t address, std::uint8_t mark);

}  // namespace q71x
