// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/df/df_write_pass.h"

#include "src/catalog/flash_vendor_table.h"
#include "src/update/df/df_family.h"
#include "src/update/run_steps.h"

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
  std::uint32_t count;
};

CountedUnit Counted(const DfWriteSettings& settings, const EraseUnitCounters& counters,
                    EraseUnit unit) {
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

DfWritePass::DfWritePass(ToolWindow& window)
    : window_(window),
      settings_{window.Settings().FlashPageSize, window.Settings().EraseBlockSize,
                window.Settings().EraseSectorSize, window.State().FlashVendor} {}

std::uint8_t DfWritePass::NextEraseMark(std::uint32_t address, std::uint32_t mode) {
  const std::uint8_t mark = static_cast<std::uint8_t>(mode & 7);
  const EraseUnit unit = UnitOfMode(mode & 0x7F);
  switch (unit) {
    case EraseUnit::Sector:
    case EraseUnit::Block: {
      if (MarkedEnd(Counted(settings_, counters_, unit)) > address) {
        return 0;
      }
      ++(unit == EraseUnit::Sector ? counters_.SectorEraseCount : counters_.BlockEraseCount);
      return mark;
    }
    case EraseUnit::WholeFlash:
      return address == 0 ? mark : 0;
    case EraseUnit::None:
      break;
  }
  return 0;
}

std::uint32_t DfWritePass::ClipToEraseUnit(std::uint32_t address, std::uint32_t length,
                                           std::uint32_t mode) const {
  const EraseUnit unit = UnitOfMode(mode);
  if (unit != EraseUnit::Sector && unit != EraseUnit::Block) {
    return length;
  }
  const CountedUnit counted = Counted(settings_, counters_, unit);
  if (counted.size == 0) {
    return length;
  }
  std::uint64_t end = MarkedEnd(counted);
  if (end <= address) {
    // The counters describe a pass that has not reached this address (one that started above
    // the first unit); the unit holding the block still bounds it.
    end = (static_cast<std::uint64_t>(address) / counted.size + 1) * counted.size;
  }
  const std::uint64_t blockEnd = static_cast<std::uint64_t>(address) + length;
  if (blockEnd < end) {
    return length;
  }
  return static_cast<std::uint32_t>(end - address);
}

void DfWritePass::ProgressDot() {
  window_.AppendStatus(".");
}

void DfWritePass::Moved(std::uint64_t done, std::uint64_t total) {
  StepProgress(window_, done, total);
}

std::uint8_t WithVendorMarkBit(FlashVendor vendor, std::uint32_t address, std::uint8_t mark) {
  if (address == 0 && VendorRow(vendor).MarkBitOnFirstBlock && mark != 0) {
    return static_cast<std::uint8_t>(mark | kVendorMarkBit);
  }
  return mark;
}

}  // namespace q71x
