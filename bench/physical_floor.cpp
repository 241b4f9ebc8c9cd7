// SPDX-License-Identifier: GPL-2.0-or-later
#include "bench/physical_floor.h"

#include <algorithm>
#include <limits>

#include "sim/bridge_flash_bus.h"
#include "sim/serial_flash.h"

namespace q71x::bench {
namespace {

std::uint64_t CeilDiv(std::uint64_t value, std::uint64_t divisor) {
  return (value + divisor - 1) / divisor;
}

// The cheapest way the part's erasers cover the range: whole units of one size, or one chip
// erase. Boot-sector layouts are taken as uniform, which can only make the floor lower.
std::uint64_t SerialEraseUs(const sim::SerialFlashPart& part, std::uint32_t bytes) {
  if (bytes == 0) {
    return 0;
  }
  std::uint64_t best = std::numeric_limits<std::uint64_t>::max();
  for (const sim::EraseOp& op : part.Erasers) {
    if (op.Opcode == 0) {
      continue;
    }
    const std::uint64_t units = op.UnitBytes == 0 ? 1 : CeilDiv(bytes, op.UnitBytes);
    best = std::min(best, units * op.TimeUs);
  }
  return best == std::numeric_limits<std::uint64_t>::max() ? 0 : best;
}

// Page programming, or auto-address-increment where the part has it, whichever is faster.
std::uint64_t SerialProgramUs(const sim::SerialFlashPart& part, std::uint32_t bytes) {
  if (bytes == 0) {
    return 0;
  }
  std::uint64_t best = CeilDiv(bytes, std::max<std::uint32_t>(part.PageBytes, 1)) *
                       static_cast<std::uint64_t>(part.PageProgramUs);
  if (part.HasAaiWord) {
    best = std::min(best, CeilDiv(bytes, 2) * part.AaiProgramUs);
  }
  if (part.HasAaiByte) {
    best = std::min(best, static_cast<std::uint64_t>(bytes) * part.AaiProgramUs);
  }
  return best;
}

std::uint64_t ParallelEraseUs(const sim::ParallelNorPart& part, std::uint32_t bytes) {
  if (bytes == 0) {
    return 0;
  }
  std::uint64_t best = part.ChipEraseUs;
  if (part.SectorBytes != 0) {
    best = std::min(best, CeilDiv(bytes, part.SectorBytes) * part.SectorEraseUs);
  }
  return best;
}

std::uint64_t BusUs(sim::Bus bus, const BusTally& moved) {
  const sim::BusCost cost = bus == sim::Bus::Usb ? sim::kUsbHighSpeedCost : sim::kIeee1394Cost;
  return CeilDiv((moved.BytesIn + moved.BytesOut) * cost.PerKibUs, 1024);
}

}  // namespace

PhysicalFloor ComputePhysicalFloor(const sim::Enclosure& device, std::uint32_t eraseBytes,
                                   std::uint32_t programBytes, const BusTally& moved) {
  PhysicalFloor floor;
  if (device.Bridge.Flash) {
    const sim::SerialFlashPart& part = device.Bridge.Flash->Part();
    floor.EraseUs = SerialEraseUs(part, eraseBytes);
    floor.ProgramUs = SerialProgramUs(part, programBytes);
    floor.FlashBusUs = CeilDiv((moved.BytesIn + moved.BytesOut) * sim::kFlashBusNsPerByte, 1000);
  } else if (device.Bridge.Parallel) {
    const sim::ParallelNorPart& part = device.Bridge.Parallel->Flash.Part();
    floor.EraseUs = ParallelEraseUs(part, eraseBytes);
    floor.ProgramUs = static_cast<std::uint64_t>(programBytes) * part.ByteProgramUs;
  }
  floor.BusUs = BusUs(device.BusKind, moved);
  return floor;
}

}  // namespace q71x::bench
