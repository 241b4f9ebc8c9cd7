// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/df_erase_marks.h"

namespace q71x::sim {

namespace {

constexpr std::uint8_t kMarkUnitBits = 0x07;
constexpr std::uint8_t kMarkClearProtection = 0x80;
constexpr std::uint8_t kEraseFlag = 0x01;

// Picks among the part's unit erasers (chip erase excluded) the one `better` prefers.
template <typename Better>
const EraseOp* PickUnitEraser(const SerialFlashPart& part, Better better) {
  const EraseOp* chosen = nullptr;
  for (const EraseOp& op : part.Erasers) {
    if (op.Opcode == 0 || op.UnitBytes == 0) {
      continue;
    }
    if (chosen == nullptr || better(op, *chosen)) {
      chosen = &op;
    }
  }
  return chosen;
}

const EraseOp* ChipEraser(const SerialFlashPart& part) {
  for (const EraseOp& op : part.Erasers) {
    if (op.Opcode != 0 && op.UnitBytes == 0) {
      return &op;
    }
  }
  return nullptr;
}

std::optional<EraseRange> UnitRange(const EraseOp* op, std::uint32_t start, std::uint32_t length) {
  if (op == nullptr) {
    return std::nullopt;
  }
  return EraseRange{op->Opcode, op->UnitBytes, start - start % op->UnitBytes, length};
}

}  // namespace

DfWritePlan DecodeDfWriteMode(DfWriteDialect dialect, std::uint8_t modeByte) {
  if (dialect == DfWriteDialect::EraseFlag) {
    return {(modeByte & kEraseFlag) != 0 ? DfEraseScope::HalfOf64K : DfEraseScope::None, false};
  }
  DfWritePlan plan;
  plan.ClearProtection = (modeByte & kMarkClearProtection) != 0;
  switch (modeByte & kMarkUnitBits) {
    case 1:
    case 4:
      plan.Scope = DfEraseScope::Sector;
      break;
    case 2:
    case 5:
      plan.Scope = DfEraseScope::Block;
      break;
    case 3:
    case 6:
    case 7:
      plan.Scope = DfEraseScope::WholeFlash;
      break;
    default:
      plan.Scope = DfEraseScope::None;
      break;
  }
  return plan;
}

std::optional<EraseRange> PlanErase(const SerialFlashPart& part, DfEraseScope scope,
                                    std::uint32_t address) {
  switch (scope) {
    case DfEraseScope::None:
      return std::nullopt;
    case DfEraseScope::Sector: {
      const EraseOp* op = PickUnitEraser(
          part, [](const EraseOp& a, const EraseOp& b) { return a.UnitBytes < b.UnitBytes; });
      return UnitRange(op, address, op ? op->UnitBytes : 0);
    }
    case DfEraseScope::Block: {
      const EraseOp* op = PickUnitEraser(
          part, [](const EraseOp& a, const EraseOp& b) { return a.UnitBytes > b.UnitBytes; });
      return UnitRange(op, address, op ? op->UnitBytes : 0);
    }
    case DfEraseScope::WholeFlash: {
      if (const EraseOp* chip = ChipEraser(part)) {
        return EraseRange{chip->Opcode, 0, 0, part.SizeBytes};
      }
      // No chip-erase opcode: the bridge walks the largest unit over the whole part.
      const EraseOp* op = PickUnitEraser(
          part, [](const EraseOp& a, const EraseOp& b) { return a.UnitBytes > b.UnitBytes; });
      return UnitRange(op, 0, part.SizeBytes);
    }
    case DfEraseScope::HalfOf64K: {
      // The largest unit that still fits the half; a part with only larger units loses more.
      const EraseOp* op = PickUnitEraser(part, [](const EraseOp& a, const EraseOp& b) {
        const bool aFits = a.UnitBytes <= kDf2EraseUnit;
        const bool bFits = b.UnitBytes <= kDf2EraseUnit;
        if (aFits != bFits) {
          return aFits;
        }
        return aFits ? a.UnitBytes > b.UnitBytes : a.UnitBytes < b.UnitBytes;
      });
      const std::uint32_t half = address - address % kDf2EraseUnit;
      if (op == nullptr) {
        return std::nullopt;
      }
      const std::uint32_t start = half - half % op->UnitBytes;
      const std::uint32_t length = op->UnitBytes > kDf2EraseUnit ? op->UnitBytes : kDf2EraseUnit;
      return EraseRange{op->Opcode, op->UnitBytes, start, length};
    }
  }
  return std::nullopt;
}

}  // namespace q71x::sim
