// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/hardware_presets.h"

#include <algorithm>
#include <memory>

#include "sim/chip_personalities.h"
#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/serial_flash_parts.h"
#include "sim/unit_descriptors.h"

namespace q71x::sim {
namespace {

constexpr std::uint32_t kKib = 1024;
constexpr std::uint32_t kNvramBlock = 4096;
constexpr std::uint32_t kDiskAreaGranule = 64 * kKib;
constexpr std::uint64_t kReservedSectors = 4096;

// Where the firmware-area descriptor sits in the area's first sector.
constexpr std::size_t kDescriptorOffset = 150;

constexpr HardwarePreset MakeDfPreset(const char* key, const char* description, int chipType,
                                      int revision, const char* part, int vendorByte,
                                      const char* chipCode) {
  HardwarePreset preset;
  preset.Key = key;
  preset.Description = description;
  preset.ChipType = chipType;
  preset.Revision = revision;
  preset.Home = FirmwareHome::DfFlash;
  preset.FlashPart = part;
  preset.FlashVendorByte = vendorByte;
  preset.ImageChipCode = chipCode;
  // The 4 KB configuration area leads; the image with its header follows it.
  preset.FirmwareBytes = 60 * kKib;
  preset.FirmwareOffset = kNvramBlock;
  preset.ConfigOffset = 0;
  preset.ConfigBytes = kNvramBlock;
  return preset;
}

constexpr HardwarePreset WithModeFlagAndToggle(HardwarePreset preset) {
  preset.ModeFlag = true;
  preset.ToggleByteRefusesClear = true;
  return preset;
}

constexpr HardwarePreset MakeQvk846On1394() {
  HardwarePreset preset;
  preset.Key = "qvk846-1394";
  preset.Description = "QVK846 Series on 1394, PMC Pm25LV010";
  preset.ChipType = 7;
  preset.BusKind = Bus::Ieee1394;
  preset.Home = FirmwareHome::Df2Flash;
  preset.FlashPart = "Pm25LV010";
  preset.FlashVendorByte = 1;
  preset.ImageChipCode = "q846";
  preset.FirmwareBytes = 32 * kKib;
  preset.ConfigOffset = 0x8000;
  preset.ConfigBytes = 1024;
  return preset;
}

constexpr HardwarePreset MakeParallelPreset(const char* key, const char* description, int chipType,
                                            int part, bool a1Chip) {
  HardwarePreset preset;
  preset.Key = key;
  preset.Description = description;
  preset.ChipType = chipType;
  preset.Home = FirmwareHome::ParallelFlash;
  preset.ParallelPart = part;
  preset.A1Chip = a1Chip;
  // Parallel-flash images must not carry a QV4071x-series code.
  preset.ImageChipCode = "Q712";
  preset.FirmwareBytes = 48 * kKib;
  return preset;
}

constexpr HardwarePreset MakeDiskPreset(const char* key, const char* description, int chipType,
                                        int revision, std::uint32_t blockSize,
                                        std::uint64_t sectors, std::uint8_t configLevel,
                                        const char* chipCode) {
  HardwarePreset preset;
  preset.Key = key;
  preset.Description = description;
  preset.ChipType = chipType;
  preset.Revision = revision;
  preset.Home = FirmwareHome::DiskArea;
  preset.ImageChipCode = chipCode;
  preset.FirmwareBytes = 32 * kKib;
  preset.BlockSize = blockSize;
  preset.DiskSectors = sectors;
  preset.ConfigLevel = configLevel;
  preset.DiskFirmwareSignature = true;
  return preset;
}

// Chip type 14 says through its configuration block that the disk holds firmware, and this one
// also shifts the area by a sector; its images carry 16 KB ahead of the header.
constexpr HardwarePreset MakeQv40713eDisk() {
  HardwarePreset preset = MakeDiskPreset("qv40713e-disk", "QV40713 Series (713E), disk firmware",
                                         14, 2, 512, 1'953'524'992, 0xC1, "713E");
  preset.DiskFirmwareSignature = false;
  preset.DiskFirmwareFlag = true;
  preset.DiskAreaShift = true;
  preset.FirmwareBytes = 64 * kKib;
  preset.HeaderOffset = 16 * kKib;
  return preset;
}

constexpr HardwarePreset kPresets[] = {
    MakeDfPreset("qvk848-mxic", "QVK848 Series, MXIC MX25L512", 8, 1, "MX25L512", 5, "8441"),
    MakeDfPreset("qvk844-winbond", "QVK844 Series, WINBOND W25X10", 9, 1, "W25X10", 6, "8441"),
    WithModeFlagAndToggle(MakeDfPreset("qvn962-modeflag-eon",
                                       "QVN962/958 Series, mode flag set, EON EN25F80", 10, 3,
                                       "EN25F80", 8, "9623")),
    MakeDfPreset("qvn958-atmel", "QVN958 Series, ATMEL AT25FS010", 11, 1, "AT25FS010", 4, "9581"),
    MakeQvk846On1394(),
    MakeParallelPreset("qv40712-sst", "QV40712 Series, SST SST39LF512", 2, 2, false),
    MakeParallelPreset("qv40712-atmel", "QV40712 Series, ATMEL AT 49BV512", 2, 0, false),
    MakeParallelPreset("qv40712-a1-pmc", "QV40712 (A1), PMC OM39LV512", 19, 1, true),
    MakeDiskPreset("qv40709-disk", "QV40709 Series, disk firmware, 40 GB", 5, 1, 512, 78'140'160,
                   0xD2, "7091"),
    MakeDiskPreset("qvk924-disk-4k", "QVK924 Series, disk firmware, 20 TB in 4 KB sectors", 13, 1,
                   4096, 4'882'812'416, 0xD4, "9241"),
    MakeQv40713eDisk(),
};

std::uint32_t PresetSeed(const HardwarePreset& preset) {
  return static_cast<std::uint32_t>(preset.ChipType * 131 + preset.Revision);
}

// The old image as the device holds it: whatever leads the header, then the image itself.
std::vector<std::uint8_t> OldImage(const HardwarePreset& preset) {
  const std::uint32_t seed = PresetSeed(preset);
  std::vector<std::uint8_t> image;
  if (preset.HeaderOffset > 0) {
    image = MakeConfigArea(preset.HeaderOffset, seed + 1);
  }
  const std::vector<std::uint8_t> rest =
      MakeOldFirmwareImage(preset.ImageChipCode, preset.FirmwareBytes - preset.HeaderOffset, seed);
  image.insert(image.end(), rest.begin(), rest.end());
  return image;
}

std::optional<BridgePersonality> PresetPersonality(const HardwarePreset& preset) {
  PersonalityOptions options;
  options.Revision = preset.Revision;
  options.PeripheralType = preset.Kind == InterfaceKind::Cdrom ? 0x05 : 0x00;
  if (preset.FlashVendorByte >= 0) {
    options.FlashVendorByte = static_cast<std::uint8_t>(preset.FlashVendorByte);
  }
  options.ModeFlag = preset.ModeFlag;
  options.ConfigLevel = preset.ConfigLevel;
  options.DiskFirmwareFlag = preset.DiskFirmwareFlag;
  options.DiskAreaShift = preset.DiskAreaShift;
  options.DiskFirmwareSignature = preset.DiskFirmwareSignature;
  std::optional<BridgePersonality> personality =
      MakeChipPersonality(preset.ChipType, NamedRoute(preset.ChipType), options);
  if (personality) {
    personality->Label = preset.Description;
  }
  return personality;
}

bool FitSerialFlash(const HardwarePreset& preset, BridgeState& bridge) {
  const SerialFlashPart* part = FindSerialFlashPart(preset.FlashPart);
  if (part == nullptr) {
    return false;
  }
  bridge.Flash = std::make_unique<SerialFlash>(*part);
  bridge.Flash->Load(preset.FirmwareOffset, OldImage(preset));
  if (preset.ConfigBytes > 0) {
    bridge.Flash->Load(preset.ConfigOffset, MakeConfigArea(preset.ConfigBytes, PresetSeed(preset)));
  }
  bridge.Df.WriteDialect = preset.Home == FirmwareHome::Df2Flash ? DfWriteDialect::EraseFlag
                                                                 : DfWriteDialect::EraseMarks;
  bridge.Df.ToggleByteRefusesClear = preset.ToggleByteRefusesClear;
  return true;
}

bool FitParallelFlash(const HardwarePreset& preset, BridgeState& bridge) {
  if (preset.ParallelPart < 0 ||
      static_cast<std::size_t>(preset.ParallelPart) >= kParallelNorParts.size()) {
    return false;
  }
  ParallelFlashWiring& wiring = bridge.Parallel.emplace(kParallelNorParts[preset.ParallelPart]);
  wiring.AlwaysRunsFromRom = preset.A1Chip;
  wiring.Flash.Preload(preset.FirmwareOffset, OldImage(preset));
  return true;
}

// The old image, padded to whole 64 KB, at the area start with its descriptor in place, as the
// programming procedure leaves it.
bool FitDisk(const HardwarePreset& preset, BridgeState& bridge) {
  if (preset.DiskSectors == 0 || preset.BlockSize == 0) {
    return false;
  }
  AttachedDiskGeometry geometry;
  geometry.BlockSize = preset.BlockSize;
  geometry.ReportedSectors = preset.DiskSectors;
  geometry.IdentifySectors = preset.DiskSectors;
  geometry.ReservedSectors = kReservedSectors;
  geometry.Model = preset.Description;
  AttachedDisk& disk = bridge.Disk.emplace(geometry);

  std::vector<std::uint8_t> area = OldImage(preset);
  area.resize((area.size() + kDiskAreaGranule - 1) / kDiskAreaGranule * kDiskAreaGranule, 0x00);
  const std::uint64_t start = PresetDiskAreaStart(preset);
  // The host subtracts one sector unless the area is shifted, then rounds down to 256 sectors
  // and steps 256 back: this base brings it to the first hidden sector.
  const auto base = static_cast<std::uint32_t>(start + (preset.DiskAreaShift ? 256 : 257));
  const std::uint8_t descriptor[6] = {0x55,
                                      static_cast<std::uint8_t>(base >> 24),
                                      static_cast<std::uint8_t>(base >> 16),
                                      static_cast<std::uint8_t>(base >> 8),
                                      static_cast<std::uint8_t>(base),
                                      0xAA};
  std::copy(std::begin(descriptor), std::end(descriptor), area.begin() + kDescriptorOffset);
  return disk.Write(start, static_cast<std::uint32_t>(area.size() / preset.BlockSize), area);
}

}  // namespace

std::span<const HardwarePreset> HardwarePresets() {
  return kPresets;
}

const HardwarePreset* FindHardwarePreset(std::string_view key) {
  for (const HardwarePreset& preset : kPresets) {
    if (key == preset.Key) {
      return &preset;
    }
  }
  return nullptr;
}

std::uint64_t PresetDiskAreaStart(const HardwarePreset& preset) {
  return preset.DiskSectors;
}

std::optional<Enclosure> MakeHardwarePresetEnclosure(std::string_view key,
                                                     std::vector<SimVolume> volumes,
                                                     const UnitTraits& unit) {
  const HardwarePreset* preset = FindHardwarePreset(key);
  std::optional<BridgePersonality> personality =
      preset != nullptr ? PresetPersonality(*preset) : std::nullopt;
  if (!personality) {
    return std::nullopt;
  }
  Enclosure enclosure;
  enclosure.BusKind = preset->BusKind;
  enclosure.Kind = preset->Kind;
  ApplyUnitTraits(enclosure, preset->Key, unit);
  enclosure.DeviceType = preset->Kind == InterfaceKind::Cdrom ? kDeviceTypeCdrom : kDeviceTypeDisk;
  enclosure.Volumes = std::move(volumes);
  enclosure.Bridge = BridgeState(std::move(*personality));
  bool fitted = false;
  switch (preset->Home) {
    case FirmwareHome::DfFlash:
    case FirmwareHome::Df2Flash:
      fitted = FitSerialFlash(*preset, enclosure.Bridge);
      enclosure.ConfigOffset = preset->ConfigOffset;
      enclosure.ConfigBytes = preset->ConfigBytes;
      break;
    case FirmwareHome::ParallelFlash:
      fitted = FitParallelFlash(*preset, enclosure.Bridge);
      break;
    case FirmwareHome::DiskArea:
      fitted = FitDisk(*preset, enclosure.Bridge);
      break;
  }
  if (!fitted) {
    return std::nullopt;
  }
  return enclosure;
}

Enclosure* AddHardwarePreset(SimulatedSystem& system, std::string_view key,
                             std::vector<SimVolume> volumes, const UnitTraits& unit) {
  std::optional<Enclosure> enclosure = MakeHardwarePresetEnclosure(key, std::move(volumes), unit);
  return enclosure ? &system.AddEnclosure(std::move(*enclosure)) : nullptr;
}

char AddHardwarePresets(SimulatedSystem& system, char firstLetter) {
  char letter = firstLetter;
  for (const HardwarePreset& preset : kPresets) {
    std::vector<SimVolume> volumes;
    if (preset.Kind == InterfaceKind::Disk && letter <= 'Y') {
      volumes.push_back(SimVolume{letter++, false, false});
    }
    AddHardwarePreset(system, preset.Key, std::move(volumes));
  }
  return letter;
}

}  // namespace q71x::sim
