// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/campaign/campaign_devices.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "sim/chip_personalities.h"
#include "sim/hardware_presets.h"
#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/serial_flash_parts.h"
#include "tests/support/enclosure_twin.h"

namespace q71x::campaign {
namespace {

constexpr std::uint32_t kKib = 1024;
constexpr std::uint32_t kNvramBlock = 4096;

// The device no preset covers: chip type 10 of the late silicon with an SST part that answers
// BF 25, so the chip check sets SstSpiFlash and Run takes the host-programmed path.
constexpr const char* kSstSpiKey = "qvn962-sst-spi";
constexpr const char* kSstSpiPart = "SST25VF016B";
constexpr int kSstSpiChipType = 10;
constexpr int kSstSpiRevision = 5;
constexpr std::uint8_t kSstVendorByte = 2;

// Image sizes are picked so that each procedure takes its configuration-keeping path where it
// has one (a short image for the 0x8000 copy and the 1394 area, no file area for the 4 KB ones)
// and the whole-chip or two-half erase elsewhere. The host-programmed SST image is one partly
// filled block: every byte of it is a command of its own.
constexpr CampaignDevice kDevices[] = {
    {"qv40714-atmel", UpdateProcedure::UpdateSerialFlash, MemoryKind::SerialFlash, 16 * kKib},
    {"qv40714-winbond", UpdateProcedure::UpdateSerialFlash, MemoryKind::SerialFlash, 48 * kKib},
    {"qv40716-amic", UpdateProcedure::UpdateSerialFlash, MemoryKind::SerialFlash, 20 * kKib},
    {"qv40713e-mxic32", UpdateProcedure::UpdateSerialFlash, MemoryKind::SerialFlash, 32 * kKib},
    {"qvk926-sst", UpdateProcedure::UpdateSerialFlash, MemoryKind::SerialFlash, 40 * kKib},
    {"qvk846-usb-pmc", UpdateProcedure::UpdateSerialFlash, MemoryKind::SerialFlash, 72 * kKib},
    {"qvk842-eon", UpdateProcedure::UpdateFlashWithNvram, MemoryKind::SerialFlash, 40 * kKib},
    {"qvn962-mxic32", UpdateProcedure::UpdateDfFlash, MemoryKind::SerialFlash, 48 * kKib, true},
    {"qvn958-sst", UpdateProcedure::UpdateDfFlash, MemoryKind::SerialFlash, 40 * kKib, true},
    {kSstSpiKey, UpdateProcedure::UpdateSerialFlashSpi, MemoryKind::SerialFlash, 12 * kKib, true,
     true},
    {"qvk848-mxic", UpdateProcedure::UpdateDfFlash, MemoryKind::SerialFlash, 60 * kKib, true},
    {"qvk844-winbond", UpdateProcedure::UpdateDfFlash, MemoryKind::SerialFlash, 36 * kKib, true},
    {"qvn962-modeflag-eon", UpdateProcedure::UpdateDfFlash, MemoryKind::SerialFlash, 44 * kKib,
     true},
    {"qvn958-atmel", UpdateProcedure::UpdateDfFlash, MemoryKind::SerialFlash, 52 * kKib, true},
    {"qvk846-1394", UpdateProcedure::UpdateDf2Flash, MemoryKind::SerialFlash, 16 * kKib},
    {"qv40712-sst", UpdateProcedure::UpdateParallelFlash, MemoryKind::ParallelFlash, 40 * kKib,
     false, false, false, 2},
    {"qv40712-atmel", UpdateProcedure::UpdateParallelFlash, MemoryKind::ParallelFlash, 64 * kKib,
     false, false, false, 0},
    {"qv40712-a1-pmc", UpdateProcedure::UpdateParallelFlash, MemoryKind::ParallelFlash, 24 * kKib,
     false, false, true, 1},
    {"qv40709-disk", UpdateProcedure::UpdateDiskFirmware, MemoryKind::Disk, 40 * kKib},
    {"qvk924-disk-4k", UpdateProcedure::UpdateDiskFirmware, MemoryKind::Disk, 72 * kKib},
    {"qv40713e-disk", UpdateProcedure::UpdateDiskFirmware, MemoryKind::Disk, 64 * kKib},
};

std::optional<sim::Enclosure> MakeSstSpiEnclosure() {
  const sim::SerialFlashPart* part = sim::FindSerialFlashPart(kSstSpiPart);
  sim::PersonalityOptions options;
  options.Revision = kSstSpiRevision;
  options.FlashVendorByte = kSstVendorByte;
  std::optional<sim::BridgePersonality> personality =
      sim::MakeChipPersonality(kSstSpiChipType, sim::NamedRoute(kSstSpiChipType), options);
  if (part == nullptr || !personality) {
    return std::nullopt;
  }
  sim::Enclosure enclosure;
  enclosure.Path = sim::MakeEnclosurePath(sim::Bus::Usb, sim::InterfaceKind::Disk, kSstSpiKey);
  enclosure.Bridge = sim::BridgeState(std::move(*personality));
  // Like every shipped enclosure with a part that powers on protected, its ROM unprotects it.
  enclosure.Bridge.Personality.UnprotectsFlashAtBoot = true;
  enclosure.Bridge.Flash = std::make_unique<sim::SerialFlash>(*part);
  enclosure.Bridge.Flash->Load(kNvramBlock, sim::MakeOldFirmwareImage("9625", 60 * kKib, 1315));
  enclosure.Bridge.Flash->Load(0, sim::MakeConfigArea(kNvramBlock, 1315));
  return enclosure;
}

std::optional<sim::Enclosure> MakeCampaignEnclosure(const CampaignDevice& device) {
  if (std::string_view(device.Key) == kSstSpiKey) {
    return MakeSstSpiEnclosure();
  }
  if (sim::FindSerialFlashPreset(device.Key) != nullptr) {
    return sim::MakePresetEnclosure(device.Key);
  }
  return sim::MakeHardwarePresetEnclosure(device.Key);
}

// What the host reads of unit `unit` of a model: its serial number, or its GUID on 1394. Two
// models never share one, as no two real units do: the model's path goes into it.
std::string UnitFacet(const sim::Enclosure& enclosure, int unit) {
  std::uint32_t hash = 2166136261u;
  for (const char c : enclosure.Path + "#" + std::to_string(unit)) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  }
  char number[8];
  std::snprintf(number, sizeof number, "%04x", hash & 0xFFFFu);
  return (enclosure.BusKind == sim::Bus::Ieee1394 ? "0030e0f4c5a1" : "5A17C0DE") +
         std::string(number);
}

}  // namespace

std::span<const CampaignDevice> CampaignDevices() {
  return kDevices;
}

const CampaignDevice* FindCampaignDevice(std::string_view key) {
  for (const CampaignDevice& device : kDevices) {
    if (key == device.Key) {
      return &device;
    }
  }
  return nullptr;
}

std::string AddCampaignDevice(sim::SimulatedSystem& system, const CampaignDevice& device) {
  std::optional<sim::Enclosure> enclosure = MakeCampaignEnclosure(device);
  if (!enclosure) {
    return {};
  }
  testing::GiveUnitFacet(*enclosure, UnitFacet(*enclosure, 1));
  return system.AddEnclosure(std::move(*enclosure)).Path;
}

std::string AddCampaignTwin(sim::SimulatedSystem& system, const CampaignDevice& device) {
  std::optional<sim::Enclosure> enclosure = MakeCampaignEnclosure(device);
  if (!enclosure) {
    return {};
  }
  const ConfigRegion region = ConfigRegionOf(device);
  testing::MakeTwin(*enclosure, "-twin", UnitFacet(*enclosure, 2), region.Offset, region.Bytes);
  return system.AddEnclosure(std::move(*enclosure)).Path;
}

ConfigRegion ConfigRegionOf(const CampaignDevice& device) {
  if (std::string_view(device.Key) == kSstSpiKey) {
    return {0, kNvramBlock};
  }
  if (const sim::SerialFlashPreset* preset = sim::FindSerialFlashPreset(device.Key)) {
    return {preset->ConfigOffset, preset->ConfigBytes};
  }
  if (const sim::HardwarePreset* preset = sim::FindHardwarePreset(device.Key)) {
    return {preset->ConfigOffset, preset->ConfigBytes};
  }
  return {};
}

std::uint64_t DiskAreaStartOf(const CampaignDevice& device) {
  const sim::HardwarePreset* preset = sim::FindHardwarePreset(device.Key);
  return preset != nullptr ? sim::PresetDiskAreaStart(*preset) : 0;
}

std::uint32_t DiskBlockSizeOf(const CampaignDevice& device) {
  const sim::HardwarePreset* preset = sim::FindHardwarePreset(device.Key);
  return preset != nullptr ? preset->BlockSize : 512;
}

}  // namespace q71x::campaign
