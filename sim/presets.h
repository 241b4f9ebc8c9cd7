// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Ready enclosures for the serial-flash chip families: the bridge personality, the flash part
// and plausible old firmware already in the flash, with its configuration area. Used by the
// simulator executable and by tests that want a whole device in one line.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "sim/enclosure.h"
#include "sim/simulated_system.h"

namespace q71x::sim {

struct SerialFlashPreset {
  const char* Key;  // also the last part of the device path
  const char* Description;
  int ChipType;
  int Revision;
  Bus BusKind;
  InterfaceKind Kind;
  const char* FlashPart;
  const char* ImageChipCode;  // four characters in the old image's header
  std::uint32_t FirmwareBytes;
  std::uint32_t FirmwareOffset;  // where the old image starts in the flash
  std::uint32_t ConfigOffset;    // the configuration area (NVRAM) the device keeps
  std::uint32_t ConfigBytes;
  int FlashVendorByte;  // GetFlashVendor's answer; -1: the command is refused
};

std::span<const SerialFlashPreset> SerialFlashPresets();
const SerialFlashPreset* FindSerialFlashPreset(std::string_view key);

// An image of `size` bytes as an old release would look: the 55 AA AA 55 header with the chip
// code, then code-like bytes. The same arguments always give the same bytes.
std::vector<std::uint8_t> MakeOldFirmwareImage(const char* chipCode, std::size_t size,
                                               std::uint32_t seed);
// The configuration area a device keeps: recognisable, and never all FF.
std::vector<std::uint8_t> MakeConfigArea(std::size_t size, std::uint32_t seed);

// The enclosure of a preset, its flash loaded; nullopt for an unknown key. `unit` gives a second
// enclosure of one preset a path and serial of its own.
std::optional<Enclosure> MakePresetEnclosure(std::string_view key,
                                             std::vector<SimVolume> volumes = {},
                                             const UnitTraits& unit = {});
// Adds a preset to the system; null for an unknown key.
Enclosure* AddPreset(SimulatedSystem& system, std::string_view key,
                     std::vector<SimVolume> volumes = {}, const UnitTraits& unit = {});
// Every preset with a drive letter each from E: on, an ordinary USB disk and a network drive:
// the machine the simulator executable starts with. As many bridges are plugged in as the tool
// lists (16), every family among them; the others are there unplugged.
void AddDemoMachine(SimulatedSystem& system);

}  // namespace q71x::sim
