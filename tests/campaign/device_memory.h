// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The memory a device keeps its firmware in, as bytes the campaign can compare: the whole serial
// or parallel flash, or, for disk-kept firmware, a window of the disk around the firmware area
// (the area itself, the sectors below it and the hidden ones above it).

#include <cstdint>
#include <string>
#include <vector>

#include "sim/simulated_system.h"
#include "tests/campaign/campaign_devices.h"

namespace q71x::campaign {

struct MemorySnapshot {
  std::uint64_t Base = 0;  // address (flash) or byte offset on the disk of Bytes[0]
  std::vector<std::uint8_t> Bytes;
};

// Reads the memory straight from the simulated hardware, plugged in or not; empty when the
// device has none of the kind its procedure writes.
MemorySnapshot TakeSnapshot(sim::SimulatedSystem& system, const std::string& path,
                            const CampaignDevice& device);

// Where the disk window starts, in bytes, and how long it is.
std::uint64_t DiskWindowStart(const CampaignDevice& device);
inline constexpr std::uint32_t kDiskWindowBytes = 320 * 1024;

}  // namespace q71x::campaign
