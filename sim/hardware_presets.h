// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Ready enclosures for the chip families whose firmware the host does not write opcode by
// opcode: the DF-family bridges and the 1394 QVK846 (the bridge runs the flash cycles), the
// parallel-flash bridges, and the bridges that keep their firmware in the reserved area of the
// attached disk. Each comes with plausible old firmware where the device keeps it. They sit
// beside the serial-flash presets (presets.h) and use the same personality factory.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "sim/enclosure.h"
#include "sim/simulated_system.h"

namespace q71x::sim {

enum class FirmwareHome {
  DfFlash,        // serial flash written through DF .. FB with erase marks
  Df2Flash,       // serial flash written through DF .. FB with the erase flag (1394 QVK846)
  ParallelFlash,  // 64 KB parallel NOR behind FF 04 00-05
  DiskArea,       // the reserved area beyond the disk's reported capacity
};

struct HardwarePreset {
  const char* Key = "";  // also the last part of the device path
  const char* Description = "";
  int ChipType = 0;
  int Revision = 1;
  Bus BusKind = Bus::Usb;
  InterfaceKind Kind = InterfaceKind::Disk;
  FirmwareHome Home = FirmwareHome::DfFlash;
  // Serial-flash homes: the part on the board and what GetFlashVendor answers (-1: refused).
  const char* FlashPart = nullptr;
  int FlashVendorByte = -1;
  // Controller memory 505E reads 00 01 (the run takes the DF path on type 10), and byte 506A
  // keeps bit 0 set (the later silicon).
  bool ModeFlag = false;
  bool ToggleByteRefusesClear = false;
  // Parallel home: the part's index in the flash-type list, and A1 silicon that runs from its
  // ROM and refuses the switch.
  int ParallelPart = -1;
  bool A1Chip = false;
  // The old image: its header's chip code, its size, where its header stands inside it (16 KB in
  // for chip types 12 and 14), and where it starts in the flash (disk homes: the area start).
  const char* ImageChipCode = "";
  std::uint32_t FirmwareBytes = 0;
  std::uint32_t HeaderOffset = 0;
  std::uint32_t FirmwareOffset = 0;
  // The configuration area the device keeps in the flash (none for 0 bytes).
  std::uint32_t ConfigOffset = 0;
  std::uint32_t ConfigBytes = 0;
  // Disk home: sector size, sectors reported (a multiple of 256, so the area starts on the
  // first hidden sector), configuration level, and how the bridge says the disk holds firmware.
  std::uint32_t BlockSize = 512;
  std::uint64_t DiskSectors = 0;
  std::uint8_t ConfigLevel = 0;
  bool DiskFirmwareFlag = false;       // configuration block byte 16 (chip type 14)
  bool DiskAreaShift = false;          // configuration block byte 17
  bool DiskFirmwareSignature = false;  // controller memory C000 reads 55 AA (other chip types)
};

std::span<const HardwarePreset> HardwarePresets();
const HardwarePreset* FindHardwarePreset(std::string_view key);

// Where the firmware area of a disk-home preset starts, as the host works it out from the
// descriptor the preset leaves there.
std::uint64_t PresetDiskAreaStart(const HardwarePreset& preset);

std::optional<Enclosure> MakeHardwarePresetEnclosure(std::string_view key,
                                                     std::vector<SimVolume> volumes = {},
                                                     const UnitTraits& unit = {});
// Null for an unknown key.
Enclosure* AddHardwarePreset(SimulatedSystem& system, std::string_view key,
                             std::vector<SimVolume> volumes = {}, const UnitTraits& unit = {});
// Adds every preset, disk-class ones with a drive letter each from `firstLetter` on; returns the
// next free letter.
char AddHardwarePresets(SimulatedSystem& system, char firstLetter);

}  // namespace q71x::sim
