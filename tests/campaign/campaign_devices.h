// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The devices the fault campaign runs over: every simulator preset, with the procedure the Run
// dispatch sends it to and the image and ticks its runs use, plus the one device no preset
// covers (a late QVN962 with an SST SPI flash, which takes the dual-path update).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "sim/simulated_system.h"
#include "src/update/update_procedure.h"

namespace q71x::campaign {

enum class MemoryKind { SerialFlash, ParallelFlash, Disk };

struct CampaignDevice {
  const char* Key;  // the preset's key, also the last part of the device path
  UpdateProcedure Run;
  MemoryKind Memory;
  std::uint32_t ImageBytes;
  bool ImageHasNvram = false;  // the image leads with a 4 KB configuration area of its own
  bool NvramTicked = false;    // "Include 4K NVRAM"
  bool A1Ticked = false;       // "A1 Chip"
  int ParallelPart = -1;       // item of the flash-type list
};

// Where a device keeps the configuration area its procedure may have to preserve.
struct ConfigRegion {
  std::uint32_t Offset = 0;
  std::uint32_t Bytes = 0;
};

std::span<const CampaignDevice> CampaignDevices();
const CampaignDevice* FindCampaignDevice(std::string_view key);

// Adds the device's enclosure, old firmware and configuration area in place, to `system`, as the
// first unit of its model (a USB serial number, or a GUID on 1394, of its own). Returns its
// device path, or an empty text when the key names no known device.
std::string AddCampaignDevice(sim::SimulatedSystem& system, const CampaignDevice& device);

// Adds a second enclosure of the same model: the same in everything but its path, its serial
// number (or GUID) and the last bytes of its configuration area, so that an area of the first
// unit written into it shows. Returns its device path (empty as above).
std::string AddCampaignTwin(sim::SimulatedSystem& system, const CampaignDevice& device);

ConfigRegion ConfigRegionOf(const CampaignDevice& device);

// For disk-kept firmware: the first sector of the firmware area and the sector size.
std::uint64_t DiskAreaStartOf(const CampaignDevice& device);
std::uint32_t DiskBlockSizeOf(const CampaignDevice& device);

}  // namespace q71x::campaign
