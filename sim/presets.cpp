// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/presets.h"

#include <cstring>
#include <memory>

#include "sim/chip_personalities.h"
#include "sim/hardware_presets.h"
#include "sim/serial_flash.h"
#include "sim/serial_flash_parts.h"
#include "sim/unit_descriptors.h"

namespace q71x::sim {
namespace {

constexpr std::uint32_t kKib = 1024;
constexpr std::uint32_t kConfigAt8000 = 0x8000;
constexpr std::uint32_t kSmallConfig = 512;
constexpr std::uint32_t kNvramBlock = 4096;

constexpr SerialFlashPreset kPresets[] = {
    {"qv40714-atmel", "QV40714 Series, ATMEL AT25F512B", 1, 1, Bus::Usb, InterfaceKind::Disk,
     "AT25F512B", "7141", 32 * kKib, 0, kConfigAt8000, kSmallConfig, -1},
    {"qv40714-winbond", "QV40714 Series, WINBOND W25X10", 1, 1, Bus::Usb, InterfaceKind::Disk,
     "W25X10", "7141", 32 * kKib, 0, kConfigAt8000, kSmallConfig, -1},
    {"qv40716-amic", "QV40716 Series, AMIC A25L05PU (boot sectors)", 3, 0, Bus::Usb,
     InterfaceKind::Disk, "A25L05PU", "7160", 32 * kKib, 0, kConfigAt8000, kSmallConfig, -1},
    {"qv40713e-mxic32", "QV40713 Series (713E), MXIC 32-byte pages", 14, 2, Bus::Usb,
     InterfaceKind::Disk, "MX25V512-P32", "7132", 32 * kKib, 0, kConfigAt8000, kSmallConfig, -1},
    {"qvk926-sst", "QVK926 Series, SST SST25VF010A", 12, 3, Bus::Usb, InterfaceKind::Cdrom,
     "SST25VF010A", "9263", 48 * kKib, 0, kConfigAt8000, kSmallConfig, -1},
    {"qvk842-eon", "QVK842 Series, EON EN25P05 with NVRAM block", 6, 1, Bus::Usb,
     InterfaceKind::Disk, "EN25P05", "8421", 48 * kKib, kNvramBlock, 0, kNvramBlock, -1},
    {"qvn962-mxic32", "QVN962/958 Series, MXIC 32-byte pages", 10, 5, Bus::Usb, InterfaceKind::Disk,
     "MX25V1006-P32", "9625", 64 * kKib, kNvramBlock, 0, kNvramBlock, 5},
    {"qvn958-sst", "QVN958 Series, SST SST25VF016B (word programming)", 11, 1, Bus::Usb,
     InterfaceKind::Disk, "SST25VF016B", "9581", 64 * kKib, kNvramBlock, 0, kNvramBlock, 2},
    {"qvk846-usb-pmc", "QVK846 Series on USB, PMC Pm25LV010", 7, 1, Bus::Usb, InterfaceKind::Disk,
     "Pm25LV010", "8461", 32 * kKib, 0, kConfigAt8000, kSmallConfig, 1},
};

// A small xorshift generator: code-like bytes that are never a long run of FF.
class ByteNoise {
 public:
  explicit ByteNoise(std::uint32_t seed) : state_(seed * 2654435761u + 0x9E3779B9u) {}
  std::uint8_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<std::uint8_t>(state_ >> 8);
  }

 private:
  std::uint32_t state_;
};

}  // namespace

std::span<const SerialFlashPreset> SerialFlashPresets() {
  return kPresets;
}

const SerialFlashPreset* FindSerialFlashPreset(std::string_view key) {
  for (const SerialFlashPreset& preset : kPresets) {
    if (key == preset.Key) {
      return &preset;
    }
  }
  return nullptr;
}

std::vector<std::uint8_t> MakeOldFirmwareImage(const char* chipCode, std::size_t size,
                                               std::uint32_t seed) {
  std::vector<std::uint8_t> image(size, 0);
  ByteNoise noise(seed);
  for (std::uint8_t& byte : image) {
    byte = noise.Next() & 0x7F;  // keeps every byte distinct from the erased value
  }
  static constexpr std::uint8_t kSignature[] = {0x55, 0xAA, 0xAA, 0x55};
  if (size >= 10) {
    std::memcpy(image.data(), kSignature, sizeof(kSignature));
    const std::size_t codeLength = std::min<std::size_t>(std::strlen(chipCode), 4);
    std::memcpy(image.data() + 4, chipCode, codeLength);
    image[8] = 0x01;  // an old release: 1.05
    image[9] = 0x05;
  }
  return image;
}

std::vector<std::uint8_t> MakeConfigArea(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> area(size, 0x00);
  static constexpr char kTag[] = "NVRAM";
  std::memcpy(area.data(), kTag, std::min(size, sizeof(kTag) - 1));
  ByteNoise noise(seed ^ 0x5A5A5A5Au);
  for (std::size_t i = sizeof(kTag); i < size; ++i) {
    area[i] = noise.Next() & 0x7F;
  }
  return area;
}

std::optional<Enclosure> MakePresetEnclosure(std::string_view key, std::vector<SimVolume> volumes,
                                             const UnitTraits& unit) {
  const SerialFlashPreset* preset = FindSerialFlashPreset(key);
  const SerialFlashPart* part =
      preset != nullptr ? FindSerialFlashPart(preset->FlashPart) : nullptr;
  if (part == nullptr) {
    return std::nullopt;
  }
  PersonalityOptions options;
  options.Revision = preset->Revision;
  options.PeripheralType = preset->Kind == InterfaceKind::Cdrom ? 0x05 : 0x00;
  if (preset->FlashVendorByte >= 0) {
    options.FlashVendorByte = static_cast<std::uint8_t>(preset->FlashVendorByte);
  }
  std::optional<BridgePersonality> personality =
      MakeChipPersonality(preset->ChipType, NamedRoute(preset->ChipType), options);
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
  enclosure.Bridge.Personality.Label = preset->Description;
  // Shipped enclosures with a part that powers on protected have a ROM that unprotects it at
  // boot; without that the block erase could never work on them.
  enclosure.Bridge.Personality.UnprotectsFlashAtBoot =
      (part->PowerOnStatus & part->ProtectMask) != 0;
  enclosure.Bridge.Flash = std::make_unique<SerialFlash>(*part);
  const std::uint32_t seed = static_cast<std::uint32_t>(preset->ChipType * 131 + preset->Revision);
  enclosure.Bridge.Flash->Load(
      preset->FirmwareOffset,
      MakeOldFirmwareImage(preset->ImageChipCode, preset->FirmwareBytes, seed));
  enclosure.Bridge.Flash->Load(preset->ConfigOffset, MakeConfigArea(preset->ConfigBytes, seed));
  enclosure.ConfigOffset = preset->ConfigOffset;
  enclosure.ConfigBytes = preset->ConfigBytes;
  return enclosure;
}

Enclosure* AddPreset(SimulatedSystem& system, std::string_view key, std::vector<SimVolume> volumes,
                     const UnitTraits& unit) {
  std::optional<Enclosure> enclosure = MakePresetEnclosure(key, std::move(volumes), unit);
  return enclosure ? &system.AddEnclosure(std::move(*enclosure)) : nullptr;
}

// The tool lists 16 bridges; the demo machine has more. These wait unplugged in the simulator's
// panel: each is the second of a family, so every family is in the list at start.
constexpr std::string_view kDemoWaitingUnplugged[] = {"qv40714-winbond", "qvk844-winbond",
                                                      "qvn962-modeflag-eon", "qvn958-atmel"};

void AddDemoMachine(SimulatedSystem& system) {
  char letter = 'E';
  for (const SerialFlashPreset& preset : kPresets) {
    std::vector<SimVolume> volumes;
    if (preset.Kind == InterfaceKind::Disk) {
      volumes.push_back(SimVolume{letter++, false, false});
    }
    AddPreset(system, preset.Key, std::move(volumes));
  }
  letter = AddHardwarePresets(system, letter);
  Enclosure plain;
  plain.Path = MakeEnclosurePath(Bus::Usb, InterfaceKind::Disk, "flashdisk");
  plain.Volumes.push_back(SimVolume{letter++, false, false});
  plain.Bridge = BridgeState(PlainDiskPersonality());
  system.AddEnclosure(std::move(plain));
  system.AddMachineVolume(SimVolume{'Z', false, true});
  for (const std::string_view key : kDemoWaitingUnplugged) {
    for (const auto& enclosure : system.Enclosures()) {
      if (enclosure->Path.ends_with(key)) {
        system.Unplug(enclosure->Path);
      }
    }
  }
}

}  // namespace q71x::sim
