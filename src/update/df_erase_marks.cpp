#include "src/update/df_erase_marks.h"

#include <algorithm>

#include "src/update/df_family.h"

namespace q71x {
namespace {

enum class EraseUnit { None, Sector, Block, WholeFlash };

EraseUnit UnitOfMode(std::uint32_t mode) {
  switch (mode) {
    case 1:
    case 4:
      return EraseUnit::Sector;
    case 2:
    case 5:
      return EraseUnit::Block;
    case 3:
    case 6:
    case 7:
      return EraseUnit::WholeFlash;
    default:
      return EraseUnit::None;
  }
}

struct CountedUnit {
  std::uint32_t size;
  std::uint32_t& count;
};

CountedUnit Counted(const ProgramSettings& settings, EraseUnit unit) {
  EraseUnitCounters& counters = EraseCounters();
  if (unit == EraseUnit::Sector) {
    return {settings.EraseSectorSize, counters.SectorEraseCount};
  }
  return {settings.EraseBlockSize, counters.BlockEraseCount};
}

// Computed wide so that a long pass cannot wrap the product back below the address.
std::uint64_t MarkedEnd(const CountedUnit& unit) {
  return static_cast<std::uint64_t>(unit.size) * unit.count;
}

}  // namespace

EraseUnitCounters& EraseCounters() {
  static EraseUnitCounters counters;
  return counters;
}

void ResetEraseCounters() {
  EraseCounters() = EraseUnitCounters{};
}

std::uint8_t NextEraseMark(const ProgramSettings& settings, std::uint32_t address,
                           std::uint32_t mode) {
  const std::uint8_t mark = static_cast<std::uint8_t>(mode & 7);
  const EraseUnit unit = UnitOfMode(mode & 0x7F);
  switch (unit) {
    case EraseUnit::Sector:
    case EraseUnit::Block: {
      CountedUnit counted = Counted(settings, unit);
      if (MarkedEnd(counted) > address) {
        return 0;
      }
      ++counted.count;
      return mark;
    }
    case EraseUnit::WholeFlash:
      return address == 0 ? mark : 0;
    case EraseUnit::None:
      break;
  }
  return 0;
}

std::uint32_t ClipToEraseUnit(const ProgramSettings& settings, std::uint32_t address,
                              std::uint32_t length, std::uint32_t mode) {
  const EraseUnit unit = UnitOfMode(mode);
  if (unit != EraseUnit::Sector && unit != EraseUnit::Block) {
    return length;
  }
  const CountedUnit counted = Counted(settings, unit);
  if (counted.size == 0) {
    return length;
  }
  std::uint64_t end = MarkedEnd(counted);
  if (end <= address) {
    // The counters describe a pass that has not reached this address (one that started above
    // the first unit after a reset); the unit holding the block still bounds it.
    end = (static_cast<std::uint64_t>(address) / counted.size + 1) * counted.size;
  }
  const std::uint64_t blockEnd = static_cast<std::uint64_t>(address) + length;
  if (blockEnd < end) {
    return length;
  }
  return static_cast<std::uint32_t>(end - address);
}

std::uint8_t WithMxicBit(std::int32_t flashVendor, std::uint32_t address, std::uint8_t mark) {
  if (address == 0 && flashVendor == kFlashVendorMxic && mark != 0) {
    return static_cast<std::uint8_t>(mark | kMxicMarkBit);
  }
  return mark;
}

}  // namespace q71x
