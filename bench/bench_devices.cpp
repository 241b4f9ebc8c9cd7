// SPDX-License-Identifier: GPL-2.0-or-later
#include "bench/bench_devices.h"

#include <memory>
#include <optional>

#include "sim/hardware_presets.h"
#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/serial_flash_parts.h"

namespace q71x::bench {
namespace {

// A preset with another flash part fitted: the old contents move over to the same addresses.
struct RefittedPreset {
  const char* Key;
  const char* BaseKey;
  const char* FlashPart;
  int FlashVendorByte;  // -1: as the base preset answers
};

constexpr RefittedPreset kRefitted[] = {
    {kQvk842Eon1m, "qvk842-eon", "EN25F80", -1},
    {kQv40714Eon1m, "qv40714-winbond", "EN25F80", -1},
    // Vendor row 2 (SST) and the JEDEC id BF 25 make the chip check set SstSpiFlash.
    {kQvn962SstSpi, "qvn962-mxic32", "SST25VF016B", 2},
};

std::optional<sim::Enclosure> MakePreset(std::string_view key) {
  if (std::optional<sim::Enclosure> enclosure = sim::MakePresetEnclosure(key)) {
    return enclosure;
  }
  return sim::MakeHardwarePresetEnclosure(key);
}

std::optional<sim::Enclosure> MakeRefitted(const RefittedPreset& device) {
  std::optional<sim::Enclosure> enclosure = MakePreset(device.BaseKey);
  const sim::SerialFlashPart* part = sim::FindSerialFlashPart(device.FlashPart);
  if (!enclosure || !enclosure->Bridge.Flash || part == nullptr ||
      part->SizeBytes < enclosure->Bridge.Flash->Contents().size()) {
    return std::nullopt;
  }
  auto flash = std::make_unique<sim::SerialFlash>(*part);
  flash->Load(0, enclosure->Bridge.Flash->Contents());
  enclosure->Bridge.Flash = std::move(flash);
  // As on the shipped enclosures: a part that powers on protected sits behind a ROM that clears
  // the protection at boot, or the block erase could never work on it.
  enclosure->Bridge.Personality.UnprotectsFlashAtBoot =
      (part->PowerOnStatus & part->ProtectMask) != 0;
  if (device.FlashVendorByte >= 0) {
    enclosure->Bridge.Personality.FlashVendorByte =
        static_cast<std::uint8_t>(device.FlashVendorByte);
  }
  enclosure->Path = sim::MakeEnclosurePath(enclosure->BusKind, enclosure->Kind, device.Key);
  return enclosure;
}

}  // namespace

sim::Enclosure* AddBenchDevice(sim::SimulatedSystem& system, std::string_view key) {
  for (const RefittedPreset& device : kRefitted) {
    if (key == device.Key) {
      std::optional<sim::Enclosure> enclosure = MakeRefitted(device);
      return enclosure ? &system.AddEnclosure(std::move(*enclosure)) : nullptr;
    }
  }
  std::optional<sim::Enclosure> enclosure = MakePreset(key);
  return enclosure ? &system.AddEnclosure(std::move(*enclosure)) : nullptr;
}

}  // namespace q71x::bench
