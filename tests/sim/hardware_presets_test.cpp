// SPDX-License-Identifier: GPL-2.0-or-later
// The DF-family, 1394, parallel-flash and disk-firmware presets, looked at only through command
// blocks written out by hand: where the host will look for the old firmware, it must be there.
#include "sim/hardware_presets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/cdb_pattern.h"
#include "tests/sim/sim_host.h"

namespace q71x::sim {
namespace {

using testing::Host;

constexpr std::uint8_t kSignature[] = {0x55, 0xAA, 0xAA, 0x55};

std::uint8_t Byte(std::uint64_t value, int shift) {
  return static_cast<std::uint8_t>(value >> shift);
}

void ExpectHeader(const std::vector<std::uint8_t>& bytes, std::size_t at, const char* code,
                  const std::string& where) {
  ASSERT_GE(bytes.size(), at + 8) << where;
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(bytes[at + i], kSignature[i]) << where;
    EXPECT_EQ(bytes[at + 4 + i], static_cast<std::uint8_t>(code[i])) << where;
  }
}

TEST(HardwarePresets, EveryPresetBuildsWithAPathOfItsBus) {
  SimulatedSystem system;
  ASSERT_FALSE(HardwarePresets().empty());
  for (const HardwarePreset& preset : HardwarePresets()) {
    Enclosure* enclosure = AddHardwarePreset(system, preset.Key);
    ASSERT_NE(enclosure, nullptr) << preset.Key;
    const bool on1394 = preset.BusKind == Bus::Ieee1394;
    EXPECT_NE(enclosure->Path.find(on1394 ? "sbp2" : "usbstor"), std::string::npos);
    // Every preset answers the discovery probe DF 10 .. FF.
    Host host(system, enclosure->Path);
    EXPECT_TRUE(host.In({0xDF, 0x10, 0x00, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0xFF}, 2).reply.Ok)
        << preset.Key;
  }
  EXPECT_EQ(AddHardwarePreset(system, "no-such-preset"), nullptr);
}

TEST(HardwarePresets, FlashPresetsHoldOldFirmwareAndTheirConfigurationArea) {
  for (const HardwarePreset& preset : HardwarePresets()) {
    if (preset.Home != FirmwareHome::DfFlash && preset.Home != FirmwareHome::Df2Flash) {
      continue;
    }
    SimulatedSystem system;
    Host host(system, AddHardwarePreset(system, preset.Key)->Path);
    // DF 10 00 L1 L0 00 00 00 A2 A1 A0 FA over the first 64 KB, in 8 KB blocks.
    std::vector<std::uint8_t> flash;
    for (std::uint32_t at = 0; at < 0x10000; at += 0x2000) {
      const auto block = host.In(
          {0xDF, 0x10, 0x00, 0x20, 0x00, 0, 0, 0, Byte(at, 16), Byte(at, 8), Byte(at, 0), 0xFA},
          0x2000);
      ASSERT_TRUE(block.reply.Ok) << preset.Key;
      flash.insert(flash.end(), block.data.begin(), block.data.end());
    }
    ExpectHeader(flash, preset.FirmwareOffset + preset.HeaderOffset, preset.ImageChipCode,
                 preset.Key);
    // The configuration area is neither erased nor overlapped by the image.
    const auto config = flash.begin() + preset.ConfigOffset;
    EXPECT_NE(std::count(config, config + preset.ConfigBytes, 0xFF),
              static_cast<std::ptrdiff_t>(preset.ConfigBytes))
        << preset.Key;
    EXPECT_NE(flash[preset.ConfigOffset], 0x55) << preset.Key;
  }
}

TEST(HardwarePresets, ParallelPresetsHoldOldFirmwareBehindTheirPart) {
  for (const HardwarePreset& preset : HardwarePresets()) {
    if (preset.Home != FirmwareHome::ParallelFlash) {
      continue;
    }
    SimulatedSystem system;
    Host host(system, AddHardwarePreset(system, preset.Key)->Path);
    const auto head = host.In({0xFF, 0x04, 0x03, 0x00, 0x00, 0x00, 0x00}, 16);
    ASSERT_TRUE(head.reply.Ok) << preset.Key;
    ExpectHeader(head.data, 0, preset.ImageChipCode, preset.Key);
    // A1 silicon refuses the switch to its ROM; the others accept it.
    EXPECT_EQ(host.Out({0xFF, 0x04, 0x05}).Ok, !preset.A1Chip) << preset.Key;
  }
}

// What the host works out for a disk-firmware device, done here by hand from reply bytes.
struct DiskFindings {
  std::uint64_t AreaStart = 0;
  std::vector<std::uint8_t> FirstSector;
};

DiskFindings LocateDiskFirmware(Host& host, const HardwarePreset& preset) {
  DiskFindings findings;
  const auto capacity = host.In({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8);
  EXPECT_TRUE(capacity.reply.Ok);
  const std::uint32_t lastLba = static_cast<std::uint32_t>(
      capacity.data[0] << 24 | capacity.data[1] << 16 | capacity.data[2] << 8 | capacity.data[3]);
  const std::uint32_t blockSize = static_cast<std::uint32_t>(
      capacity.data[4] << 24 | capacity.data[5] << 16 | capacity.data[6] << 8 | capacity.data[7]);
  EXPECT_EQ(blockSize, preset.BlockSize);

  const auto identify = host.In({0xDF, 0x10, 0x00, 0x02, 0x00, 0, 0, 0, 0, 0, 0xA0, 0xEC}, 512);
  EXPECT_TRUE(identify.reply.Ok);
  const auto word = [&](int i) {
    return static_cast<std::uint64_t>(identify.data[2 * i] | identify.data[2 * i + 1] << 8);
  };
  std::uint64_t count = word(60) | word(61) << 16;
  if (count == 0x0FFFFFFF) {
    count = word(100) | word(101) << 16 | word(102) << 32 | word(103) << 48;
  }
  const auto config = host.In({0xFF, 0x04, 0xA0, 0x12}, 18);
  const bool shift = config.reply.Ok && config.data[8] != 0 && config.data[17] == 0x01;

  const std::uint32_t length = 4 * blockSize;
  const bool wide = (count >> 32) != 0;
  const std::uint64_t recordLba = wide ? count : lastLba + 1ull;
  const auto record =
      wide ? host.In({0x88, 0, Byte(recordLba, 56), Byte(recordLba, 48), Byte(recordLba, 40),
                      Byte(recordLba, 32), Byte(recordLba, 24), Byte(recordLba, 16),
                      Byte(recordLba, 8), Byte(recordLba, 0), 0, 0, 0, 4, 0, 0},
                     length)
           : host.In({0x28, 0, Byte(recordLba, 24), Byte(recordLba, 16), Byte(recordLba, 8),
                      Byte(recordLba, 0), 0, 0, 4, 0},
                     length);
  EXPECT_TRUE(record.reply.Ok);
  const std::uint32_t base = static_cast<std::uint32_t>(
      record.data[151] << 24 | record.data[152] << 16 | record.data[153] << 8 | record.data[154]);
  std::uint64_t start = wide ? ((count >> 32) << 32) | base : base;
  if (!shift) {
    start -= 1;
  }
  findings.AreaStart = (start & ~0xFFull) - 256;
  findings.FirstSector.assign(record.data.begin(), record.data.begin() + blockSize);
  return findings;
}

TEST(HardwarePresets, DiskPresetsKeepFirmwareWhereTheHostLooksForIt) {
  for (const HardwarePreset& preset : HardwarePresets()) {
    if (preset.Home != FirmwareHome::DiskArea) {
      continue;
    }
    SimulatedSystem system;
    Host host(system, AddHardwarePreset(system, preset.Key)->Path);
    const DiskFindings findings = LocateDiskFirmware(host, preset);
    EXPECT_EQ(findings.AreaStart, PresetDiskAreaStart(preset)) << preset.Key;
    // The area starts in the first sector past the reported capacity, with the descriptor's
    // framing bytes in its first sector and the image header where the image keeps it.
    EXPECT_EQ(findings.AreaStart, preset.DiskSectors) << preset.Key;
    EXPECT_EQ(findings.FirstSector[150], 0x55) << preset.Key;
    EXPECT_EQ(findings.FirstSector[155], 0xAA) << preset.Key;

    const std::uint64_t headerLba = findings.AreaStart + preset.HeaderOffset / preset.BlockSize;
    const auto header =
        host.In({0x88, 0, Byte(headerLba, 56), Byte(headerLba, 48), Byte(headerLba, 40),
                 Byte(headerLba, 32), Byte(headerLba, 24), Byte(headerLba, 16), Byte(headerLba, 8),
                 Byte(headerLba, 0), 0, 0, 0, 1, 0, 0},
                preset.BlockSize);
    ASSERT_TRUE(header.reply.Ok) << preset.Key;
    ExpectHeader(header.data, preset.HeaderOffset % preset.BlockSize, preset.ImageChipCode,
                 preset.Key);

    // How the bridge says the disk holds firmware: C000 55 AA, or configuration bytes 8 and 16.
    const auto c000 = host.In({0xDF, 0x10, 0x00, 0x00, 0x04, 0x00, 0xC0, 0x00, 0, 0, 0, 0xFD}, 4);
    const auto config = host.In({0xFF, 0x04, 0xA0, 0x12}, 18);
    const bool bySignature = c000.reply.Ok && c000.data[0] == 0x55 && c000.data[1] == 0xAA;
    const bool byConfig = config.reply.Ok && config.data[8] != 0 && config.data[16] == 0x01;
    EXPECT_TRUE(preset.ChipType == 14 ? byConfig : bySignature) << preset.Key;
  }
}

TEST(HardwareFaults, FailedFlashWriteNeverReachesTheFlash) {
  SimulatedSystem system;
  Enclosure* enclosure = AddHardwarePreset(system, "qvk844-winbond");
  Host host(system, enclosure->Path);
  FaultRule rule;
  rule.Pattern = CdbPattern::Prefix({0xDF}).With(11, 0xFB);
  rule.Nth = 2;
  system.Faults().Arm(rule);
  const auto before = enclosure->Bridge.Flash->Contents();
  std::vector<std::uint8_t> block(512, 0x00);
  // Programs without erasing: the first write clears bits, the second is failed on the bus.
  EXPECT_TRUE(host.Out({0xDF, 0x00, 0x00, 0x02, 0x00, 0, 0, 0, 0x01, 0x00, 0x00, 0xFB}, block).Ok);
  EXPECT_FALSE(host.Out({0xDF, 0x00, 0x00, 0x02, 0x00, 0, 0, 0, 0x01, 0x10, 0x00, 0xFB}, block).Ok);
  const auto& after = enclosure->Bridge.Flash->Contents();
  EXPECT_EQ(after[0x10000], 0x00);
  EXPECT_EQ(after[0x11000], before[0x11000]);
}

TEST(HardwareFaults, StuckBusyKeepsTheParallelFlashBusyUntilReplugged) {
  SimulatedSystem system;
  Enclosure* enclosure = AddHardwarePreset(system, "qv40712-sst");
  Host host(system, enclosure->Path);
  FaultRule rule;
  rule.Pattern = CdbPattern::Prefix({0xFF, 0x04, 0x00});
  rule.Kind = FaultKind::StuckBusy;
  system.Faults().Arm(rule);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(host.In({0xFF, 0x04, 0x00}, 1).data[0], 0x01);
    system.Clock().AdvanceMs(1000);
  }
  ASSERT_TRUE(system.Unplug(enclosure->Path));
  ASSERT_TRUE(system.Plug(enclosure->Path));
  EXPECT_EQ(host.In({0xFF, 0x04, 0x00}, 1).data[0], 0x00);
}

}  // namespace
}  // namespace q71x::sim
