// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the mode byte of a DF flash write (FB) asks the bridge to erase before it programs the
// block. Two dialects exist: the DF bridges read erase marks (low three bits name the unit,
// bit 7 asks to clear the block protection first); the 1394 QVK846 reads only an erase flag in
// bit 0, which erases the 32 KB half of the first 64 KB that holds the block, so the firmware
// half and the configuration half can be rewritten apart.

#include <cstdint>
#include <optional>

#include "sim/serial_flash_part.h"

namespace q71x::sim {

enum class DfWriteDialect { EraseMarks, EraseFlag };

enum class DfEraseScope { None, Sector, Block, WholeFlash, HalfOf64K };

struct DfWritePlan {
  DfEraseScope Scope = DfEraseScope::None;
  bool ClearProtection = false;
};

inline constexpr std::uint32_t kDf2EraseUnit = 32768;

DfWritePlan DecodeDfWriteMode(DfWriteDialect dialect, std::uint8_t modeByte);

// A range to erase and the opcode the bridge sends for each unit of it.
struct EraseRange {
  std::uint8_t Opcode = 0;
  std::uint32_t UnitBytes = 0;  // 0: one chip erase covers everything
  std::uint32_t Start = 0;
  std::uint32_t Length = 0;
};

// The part's erase that serves a scope at `address`: its smallest unit for a sector mark, its
// largest unit short of the whole chip for a block mark, its chip erase for the whole flash,
// and for the erase flag every unit of at most 32 KB that covers the 32 KB half. Nullopt for no
// erase, or when the part has no erase opcode that serves the scope.
std::optional<EraseRange> PlanErase(const SerialFlashPart& part, DfEraseScope scope,
                                    std::uint32_t address);

}  // namespace q71x::sim
