// SPDX-License-Identifier: GPL-2.0-or-later
// The firmware area's position against simulated drives: the simulator answers capacity,
// IDENTIFY and the sector reads from a disk model of its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/chip_personalities.h"
#include "sim/hardware_presets.h"
#include "sim/simulated_system.h"
#include "src/device/disk_commands.h"
#include "src/device/disk_firmware_area.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/update/disk/disk_firmware_layout.h"

namespace q71x {
namespace {

constexpr std::uint64_t k2To32 = 1ull << 32;
constexpr ChipType kChipType = ChipType::Qvk924Series;

struct Drive {
  std::uint64_t Sectors = 0;  // reported and identified alike
  bool Firmware = false;      // controller memory C000 reads 55 AA
  bool Shift = false;
  std::uint32_t Descriptor = 0;  // written into the record sector when non-zero
};

class DiskFirmwareLbaSimTest : public ::testing::Test {
 protected:
  void Attach(const Drive& drive) {
    sim::PersonalityOptions options;
    options.ConfigLevel = 0xD0;
    options.DiskAreaShift = drive.Shift;
    options.DiskFirmwareSignature = drive.Firmware;
    sim::Enclosure enclosure;
    enclosure.Path = sim::MakeEnclosurePath(sim::Bus::Usb, sim::InterfaceKind::Disk,
                                            "disk" + std::to_string(++attached));
    enclosure.Bridge = sim::BridgeState(
        *sim::MakeChipPersonality(RowNumber(kChipType), sim::IdentifyRoute::Inquiry, options));
    sim::AttachedDiskGeometry geometry;
    geometry.ReportedSectors = drive.Sectors;
    geometry.IdentifySectors = drive.Sectors;
    geometry.ReservedSectors = 4096;
    sim::AttachedDisk& disk = enclosure.Bridge.Disk.emplace(geometry);
    if (drive.Descriptor != 0) {
      // The record sits in the first sector past what the host sees, where both command widths
      // look for it on a drive whose reported and own counts agree.
      std::vector<std::uint8_t> sector(512, 0x00);
      sector[150] = 0x55;
      for (int i = 0; i < 4; ++i) {
        sector[151 + i] = static_cast<std::uint8_t>(drive.Descriptor >> (24 - 8 * i));
      }
      sector[155] = 0xAA;
      EXPECT_TRUE(disk.Write(drive.Sectors, 1, sector));
    }
    path = system.AddEnclosure(std::move(enclosure)).Path;
    system.Log().Clear();
  }

  std::uint64_t AreaStart(std::uint64_t base, bool shift) {
    std::uint64_t start = 0;
    EXPECT_TRUE(FwAreaStart(base, shift, start));
    return start;
  }

  int Sent(std::uint8_t opcode) {
    int n = 0;
    for (const auto& entry : system.Log().Entries()) {
      n += entry.Cdb[0] == opcode ? 1 : 0;
    }
    return n;
  }

  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform scope{platform};
  std::string path;
  int attached = 0;
};

TEST_F(DiskFirmwareLbaSimTest, SmallDriveUsesTheTenByteRead) {
  constexpr std::uint64_t kSectors = 0x00200000;  // 1 GB
  struct Case {
    const char* Name;
    Drive Setup;
    std::uint64_t Expected;
    int Reads10;
  };
  const Case cases[] = {
      {"no firmware", {kSectors, false, false, 0x1234}, kSectors - 1, 0},
      {"no firmware, shifted", {kSectors, false, true, 0}, kSectors, 0},
      {"firmware with descriptor", {kSectors, true, false, kSectors + 257}, kSectors + 257, 1},
      {"firmware with descriptor, shifted",
       {kSectors, true, true, kSectors + 256},
       kSectors + 256,
       1},
      {"firmware, empty record", {kSectors, true, false, 0}, kSectors - 1 + 258, 1},
      {"firmware, empty record, shifted", {kSectors, true, true, 0}, kSectors - 1 + 258, 1},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.Name);
    Attach(test.Setup);
    const std::uint64_t base = GetDiskFirmwareLba(path, GetBlockSize(path), kChipType);
    EXPECT_EQ(test.Expected, base);
    EXPECT_EQ(test.Reads10, Sent(0x28));
    EXPECT_EQ(0, Sent(0x88));
    if (test.Setup.Firmware) {
      // Where the procedures will put the area: the first sector the host cannot see.
      EXPECT_EQ(kSectors, AreaStart(base, test.Setup.Shift));
    }
  }
}

TEST_F(DiskFirmwareLbaSimTest, LargeDriveUsesTheSixteenByteReadAtTheSectorCount) {
  struct Case {
    const char* Name;
    Drive Setup;
    std::uint64_t Expected;
  };
  constexpr std::uint64_t kLarge = k2To32 + 0x3000;
  const Case cases[] = {
      {"no firmware", {kLarge, false, false, 0}, kLarge - 1},
      {"no firmware, shifted", {kLarge, false, true, 0}, kLarge},
      {"exactly 2^32 sectors", {k2To32, false, false, 0}, k2To32 - 1},
      {"exactly 2^32 sectors, shifted", {k2To32, false, true, 0}, k2To32},
      {"firmware with descriptor",
       {kLarge, true, false, static_cast<std::uint32_t>(kLarge + 257)},
       kLarge + 257},
      // Widened near the count it would lie below 2^32, inside what the host sees: not taken.
      {"firmware with descriptor naming an area inside the disk",
       {k2To32, true, false, static_cast<std::uint32_t>(k2To32 - 0x100)},
       k2To32 + 257},
      {"firmware, empty record", {kLarge, true, false, 0}, kLarge + 257},
      {"firmware, empty record, shifted", {kLarge + 5, true, true, 0}, kLarge + 256 + 257},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.Name);
    Attach(test.Setup);
    EXPECT_EQ(test.Expected, GetDiskFirmwareLba(path, GetBlockSize(path), kChipType));
    EXPECT_EQ(test.Setup.Firmware ? 1 : 0, Sent(0x88));
    EXPECT_EQ(0, Sent(0x28));
  }
}

TEST_F(DiskFirmwareLbaSimTest, EmptyRecordOnALargeDriveNeverPlacesTheAreaInsideTheDisk) {
  for (std::uint64_t sectors : {k2To32, k2To32 + 1, k2To32 + 0x3FF, 3 * k2To32 + 0x80}) {
    for (bool shift : {false, true}) {
      SCOPED_TRACE(::testing::Message() << std::hex << sectors << (shift ? " shifted" : ""));
      Attach({sectors, true, shift, 0});
      const std::uint64_t start =
          AreaStart(GetDiskFirmwareLba(path, GetBlockSize(path), kChipType), shift);
      EXPECT_GE(start, sectors);
      EXPECT_LT(start, sectors + 256);
    }
  }
}

TEST_F(DiskFirmwareLbaSimTest, PresetDrivesAreFoundWhereTheirFirmwareLies) {
  int checked = 0;
  for (const sim::HardwarePreset& preset : sim::HardwarePresets()) {
    if (preset.Home != sim::FirmwareHome::DiskArea) {
      continue;
    }
    SCOPED_TRACE(preset.Key);
    sim::Enclosure* enclosure = sim::AddHardwarePreset(system, preset.Key);
    ASSERT_NE(nullptr, enclosure);
    const std::uint32_t blockSize = GetBlockSize(enclosure->Path);
    EXPECT_EQ(preset.BlockSize, blockSize);
    const std::uint64_t base =
        GetDiskFirmwareLba(enclosure->Path, blockSize, ToChipType(preset.ChipType));
    EXPECT_EQ(sim::PresetDiskAreaStart(preset),
              AreaStart(base, FwAreaShiftFlag(enclosure->Path) != 0));
    ++checked;
  }
  EXPECT_GE(checked, 2);
}

}  // namespace
}  // namespace q71x
