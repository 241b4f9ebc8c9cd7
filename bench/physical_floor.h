// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The least time a run could take on the modeled hardware: the data-sheet erase and program times
// of the bytes it must write, plus the bus time of the bytes it moved, with no per-command cost,
// no polling and no sleeps. The modeled duration over this floor says how much of a run is the
// protocol's and the procedure's overhead rather than physics.

#include <cstdint>

#include "bench/counting_platform.h"
#include "sim/enclosure.h"

namespace q71x::bench {

struct PhysicalFloor {
  std::uint64_t EraseUs = 0;
  std::uint64_t ProgramUs = 0;
  std::uint64_t BusUs = 0;
  std::uint64_t TotalUs() const { return EraseUs + ProgramUs + BusUs; }
  // Not part of the floor, shown beside it: the bridge's own serial-flash bus clocking the same
  // bytes. It explains most of what separates a read-only run (a backup) from its floor.
  std::uint64_t FlashBusUs = 0;
};

// `eraseBytes` and `programBytes` count from address 0 of the device's firmware memory. A disk
// has no erase or program time in the model; its floor is the bus alone.
PhysicalFloor ComputePhysicalFloor(const sim::Enclosure& device, std::uint32_t eraseBytes,
                                   std::uint32_t programBytes, const BusTally& moved);

}  // namespace q71x::bench
