// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/campaign/device_memory.h"

#include <algorithm>

#include "sim/serial_flash.h"

namespace q71x::campaign {
namespace {

// The window opens this far below the firmware area, so that a transfer landing short of the
// area is seen as well as one running past it.
constexpr std::uint64_t kDiskWindowLead = 64 * 1024;

MemorySnapshot DiskSnapshot(const sim::AttachedDisk& disk, const CampaignDevice& device) {
  MemorySnapshot snapshot;
  const std::uint32_t blockSize = disk.BlockSize();
  const std::uint64_t firstSector = DiskWindowStart(device) / blockSize;
  const std::uint64_t wanted = kDiskWindowBytes / blockSize;
  const std::uint64_t sectors =
      firstSector >= disk.EndSector() ? 0 : std::min(wanted, disk.EndSector() - firstSector);
  snapshot.Base = firstSector * blockSize;
  snapshot.Bytes.assign(static_cast<std::size_t>(sectors * blockSize), 0);
  if (sectors > 0 && !disk.Read(firstSector, static_cast<std::uint32_t>(sectors), snapshot.Bytes)) {
    snapshot.Bytes.clear();
  }
  return snapshot;
}

}  // namespace

std::uint64_t DiskWindowStart(const CampaignDevice& device) {
  const std::uint64_t areaByte = DiskAreaStartOf(device) * DiskBlockSizeOf(device);
  return areaByte > kDiskWindowLead ? areaByte - kDiskWindowLead : 0;
}

MemorySnapshot TakeSnapshot(sim::SimulatedSystem& system, const std::string& path,
                            const CampaignDevice& device) {
  MemorySnapshot snapshot;
  sim::Enclosure* enclosure = system.Find(path);
  if (enclosure == nullptr) {
    return snapshot;
  }
  sim::BridgeState& bridge = enclosure->Bridge;
  switch (device.Memory) {
    case MemoryKind::SerialFlash:
      if (bridge.Flash) {
        snapshot.Bytes = bridge.Flash->Contents();
      }
      break;
    case MemoryKind::ParallelFlash:
      if (bridge.Parallel) {
        const auto cells = bridge.Parallel->Flash.Contents();
        snapshot.Bytes.assign(cells.begin(), cells.end());
      }
      break;
    case MemoryKind::Disk:
      if (bridge.Disk) {
        snapshot = DiskSnapshot(*bridge.Disk, device);
      }
      break;
  }
  return snapshot;
}

}  // namespace q71x::campaign
