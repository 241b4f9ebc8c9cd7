// SPDX-License-Identifier: GPL-2.0-or-later
// What the bridges answer to identification. The checks read the reply bytes the way the
// chip-type and flash-vendor tables describe them, with a small reading of those tables written
// here for the purpose, so every row and every flash-detection outcome is shown reachable.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sim/chip_personalities.h"
#include "sim/hardware_presets.h"
#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/serial_flash_parts.h"
#include "tests/sim/sim_host.h"

namespace q71x::sim {
namespace {

using testing::Host;

std::string Text(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t length) {
  return std::string(bytes.begin() + at, bytes.begin() + at + length);
}

std::string HexPair(std::uint8_t high, std::uint8_t low) {
  char text[8];
  std::snprintf(text, sizeof(text), "%X%X", high, low);
  return text;
}

// The chip type and revision the table's rules give for a bridge's answers.
struct Identity {
  int Type = 0;
  int Revision = 0;
  bool RevisionUnreadable = false;
};

Identity IdentifyByTable(Host& host) {
  static const std::vector<std::pair<std::string, int>> kInquiry = {
      {"q714", 1}, {"q712", 2}, {"q716", 3},  {"q713", 4},  {"q709", 5},  {"q842", 6}, {"q846", 7},
      {"q848", 8}, {"q844", 9}, {"q926", 12}, {"q924", 13}, {"q962", 10}, {"q958", 11}};
  static const std::vector<std::pair<std::string, int>> kInfo = {
      {"714", 1}, {"712", 2}, {"716", 3},  {"713", 4},  {"709", 5},  {"842", 6}, {"846", 7},
      {"848", 8}, {"844", 9}, {"962", 10}, {"958", 11}, {"926", 12}, {"924", 13}};
  Identity id;
  const testing::InResult inquiry = host.In({0x12, 0x00, 0x00, 0x00, 40}, 40);
  bool decided = false;
  if (inquiry.reply.Ok) {
    for (const auto& [code, type] : kInquiry) {
      if (Text(inquiry.data, 36, 4) == code) {
        id.Type = type;
        decided = true;
        break;
      }
    }
    if (!decided) {
      const testing::InResult chipId =
          host.In({0xDF, 0x10, 0x00, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0xFF}, 2);
      const testing::InResult info = chipId.reply.Ok ? host.In({0xE0, 0xF4, 0xE7}, 16)
                                                     : testing::InResult{RejectedReply(), {}};
      if (info.reply.Ok) {
        if (info.data[0] != 0xF4 || info.data[1] != 0xE7) {
          id.Type = 15 + ((chipId.data[0] >> 5) & 3);
        } else if (HexPair(info.data[2], info.data[3]).find("7A5E") != std::string::npos &&
                   HexPair(info.data[4], info.data[5]).find("4712") != std::string::npos) {
          id.Type = 19;
        } else {
          for (const auto& [code, type] : kInfo) {
            if (Text(info.data, 8, 3) == code) {
              id.Type = type;
              break;
            }
          }
          id.Revision = info.data[11] - 0x30;
        }
      }
    }
  }
  if (id.Type == 0 || id.Type == 1 || id.Type == 3 || id.Type == 4 || id.Type == 6 ||
      id.Type == 12) {
    const testing::InResult chip = host.In({0xFF, 0x04, 0x30, 0x08}, 40);
    if (chip.reply.Ok) {
      const std::string code = Text(chip.data, 0, 5);
      const std::uint8_t byte5 = chip.data[5];
      if (code == "q714C") {
        id = {1, byte5 - 0x2F};
      } else if (code == "q713C") {
        id = {4, byte5 - 0x2F};
      } else if (code == "q713E") {
        id = {14, byte5 + 1};
      } else if (code == "q926A") {
        id = {12, byte5 - 0x2F};
      } else if (code.compare(0, 4, "q842") == 0) {
        id = {6, byte5 == 0 ? 1 : byte5 - 0x2F};
      }
    } else if (id.Type == 1) {
      id.Revision = 1;
    }
  } else if (id.Type == 7) {
    const testing::InResult info = host.In({0xE0, 0xF4, 0xE7}, 12);
    if (info.reply.Ok && info.data[0] == 0xF4 && info.data[1] == 0xE7 &&
        (info.data[11] == '1' || info.data[11] == '2')) {
      id.Revision = info.data[11] - '0';
    } else {
      id.RevisionUnreadable = true;
    }
  } else if (id.Type == 10) {
    const testing::InResult memory =
        host.In({0xDF, 0x10, 0x00, 0x00, 0x04, 0x00, 0xFD, 0xB0, 0, 0, 0, 0xFD}, 4);
    if (memory.reply.Ok && memory.data[1] >= 0xB4) {
      id.Revision = 5;
    }
  }
  return id;
}

Enclosure& AddBridge(SimulatedSystem& system, BridgePersonality personality,
                     const SerialFlashPart* part = nullptr) {
  Enclosure enclosure;
  enclosure.Path = MakeEnclosurePath(Bus::Usb, InterfaceKind::Disk,
                                     "bridge" + std::to_string(system.Enclosures().size()));
  enclosure.Bridge = BridgeState(std::move(personality));
  if (part != nullptr) {
    enclosure.Bridge.Flash = std::make_unique<SerialFlash>(*part);
  }
  return system.AddEnclosure(std::move(enclosure));
}

class ChipRowTest : public ::testing::TestWithParam<int> {};

TEST_P(ChipRowTest, NamedRouteReachesTheRow) {
  SimulatedSystem system;
  const int row = GetParam();
  const auto personality = MakeChipPersonality(row, NamedRoute(row));
  ASSERT_TRUE(personality.has_value());
  Host host(system, AddBridge(system, *personality).Path);
  const Identity id = IdentifyByTable(host);
  EXPECT_EQ(id.Type, row);
  EXPECT_FALSE(id.RevisionUnreadable);
  // Every vendor-capable bridge answers the enumeration probe.
  EXPECT_TRUE(host.In({0xDF, 0x10, 0x00, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0xFF}, 2).reply.Ok);
}

INSTANTIATE_TEST_SUITE_P(AllRows, ChipRowTest, ::testing::Range(0, 20));

TEST(ChipPersonalityTest, OtherRoutesReachTheirRows) {
  struct Case {
    int row;
    IdentifyRoute route;
  };
  std::vector<Case> cases;
  for (int row = 1; row <= 13; ++row) {
    cases.push_back({row, IdentifyRoute::FwInfo});
  }
  for (int row : {1, 4, 6, 12, 14}) {
    cases.push_back({row, IdentifyRoute::ChipInfo});
  }
  for (const Case& c : cases) {
    SimulatedSystem system;
    PersonalityOptions options;
    options.Revision = 2;
    Host host(system, AddBridge(system, *MakeChipPersonality(c.row, c.route, options)).Path);
    const Identity id = IdentifyByTable(host);
    EXPECT_EQ(id.Type, c.row) << "row " << c.row << " route " << static_cast<int>(c.route);
    if (c.row != 10) {
      EXPECT_EQ(id.Revision, 2) << "row " << c.row;
    }
  }
}

TEST(ChipPersonalityTest, RoutesARowDoesNotHaveAreNotMade) {
  EXPECT_FALSE(MakeChipPersonality(15, IdentifyRoute::Inquiry).has_value());
  EXPECT_FALSE(MakeChipPersonality(2, IdentifyRoute::ChipInfo).has_value());
  EXPECT_FALSE(MakeChipPersonality(14, IdentifyRoute::FwInfo).has_value());
  EXPECT_FALSE(MakeChipPersonality(20, IdentifyRoute::Inquiry).has_value());
}

TEST(ChipPersonalityTest, ReplyBytesSitWhereTheTablesSay) {
  SimulatedSystem system;
  PersonalityOptions options;
  options.Revision = 3;
  options.FwVersion = {0x02, 0x07};
  options.ConfigLevel = 0xD0;
  options.DiskFirmwareFlag = true;
  options.DiskAreaShift = true;
  options.ModeFlag = true;
  options.DiskFirmwareSignature = true;
  options.FlashVendorByte = 6;
  Host host(system,
            AddBridge(system, *MakeChipPersonality(5, IdentifyRoute::Inquiry, options)).Path);

  const auto inquiry = host.In({0x12, 0x00, 0x00, 0x00, 40}, 40);
  EXPECT_EQ(inquiry.reply.Transferred, 40u);
  EXPECT_EQ(Text(inquiry.data, 36, 4), "q709");
  EXPECT_EQ(Text(inquiry.data, 8, 24).find("QV40709"), 8u);

  const auto info = host.In({0xE0, 0xF4, 0xE7}, 16);
  EXPECT_EQ(info.data[0], 0xF4);
  EXPECT_EQ(info.data[1], 0xE7);
  EXPECT_EQ(info.data[6], 0x02);
  EXPECT_EQ(info.data[7], 0x07);
  EXPECT_EQ(Text(info.data, 8, 4), "7093");

  const auto config = host.In({0xFF, 0x04, 0xA0, 0x12}, 18);
  EXPECT_EQ(config.reply.Transferred, 18u);
  EXPECT_EQ(config.data[8], 0xD0);
  EXPECT_EQ(config.data[16], 0x01);
  EXPECT_EQ(config.data[17], 0x01);

  const auto mode = host.In({0xDF, 0x10, 0x00, 0x00, 0x04, 0x00, 0x50, 0x5E, 0, 0, 0, 0xFD}, 4);
  EXPECT_EQ(mode.data[1], 0x00);
  EXPECT_EQ(mode.data[2], 0x01);
  const auto signature =
      host.In({0xDF, 0x10, 0x00, 0x00, 0x04, 0x00, 0xC0, 0x00, 0, 0, 0, 0xFD}, 4);
  EXPECT_EQ(signature.data[0], 0x55);
  EXPECT_EQ(signature.data[1], 0xAA);

  EXPECT_EQ(host.In({0xFF, 0x04, 0x23, 0x04}, 4).data[0], 6);
}

TEST(ChipPersonalityTest, LengthsComeFromTheCommandBlock) {
  SimulatedSystem system;
  Host host(system, AddBridge(system, *MakeChipPersonality(1, IdentifyRoute::Inquiry)).Path);
  // Chip info asks for 8 bytes in byte 3 whatever the host's buffer holds.
  const auto chip = host.In({0xFF, 0x04, 0x30, 0x08}, 40);
  EXPECT_EQ(chip.reply.Transferred, 8u);
  EXPECT_EQ(Text(chip.data, 0, 5), "q714C");
  // A 4-byte controller-memory read moves 4 bytes even into a larger area.
  const auto memory = host.In({0xDF, 0x10, 0x00, 0x00, 0x04, 0x00, 0xFD, 0xB0, 0, 0, 0, 0xFD}, 64);
  EXPECT_EQ(memory.reply.Transferred, 4u);
}

TEST(ChipPersonalityTest, TwelveByteFirmwareInformationAndItsReportedLength) {
  SimulatedSystem system;
  PersonalityOptions options;
  options.FwInfoLength = 12;
  options.FwInfoTransferred = 11;
  Host host(system,
            AddBridge(system, *MakeChipPersonality(7, IdentifyRoute::FwInfo, options)).Path);
  const auto info = host.In({0xE0, 0xF4, 0xE7}, 16);
  EXPECT_EQ(info.reply.Transferred, 11u);
  EXPECT_EQ(Text(info.data, 8, 4), "8461");
  EXPECT_EQ(info.data[12], 0x00);  // nothing beyond the 12 bytes
}

TEST(ChipPersonalityTest, RowSevenWithoutARevisionDigitCannotBeRead) {
  SimulatedSystem system;
  PersonalityOptions options;
  options.Revision = 0;
  Host host(system,
            AddBridge(system, *MakeChipPersonality(7, IdentifyRoute::Inquiry, options)).Path);
  EXPECT_TRUE(IdentifyByTable(host).RevisionUnreadable);
}

TEST(ChipPersonalityTest, RowTenLateRevisionByte) {
  for (int revision : {1, 5}) {
    SimulatedSystem system;
    PersonalityOptions options;
    options.Revision = revision;
    Host host(system,
              AddBridge(system, *MakeChipPersonality(10, IdentifyRoute::Inquiry, options)).Path);
    EXPECT_EQ(IdentifyByTable(host).Revision, revision == 5 ? 5 : 0);
  }
}

TEST(ChipPersonalityTest, PlainDiskAnswersOnlyInquiry) {
  SimulatedSystem system;
  Host host(system, AddBridge(system, PlainDiskPersonality()).Path);
  EXPECT_TRUE(host.In({0x12, 0x00, 0x00, 0x00, 40}, 40).reply.Ok);
  EXPECT_FALSE(host.In({0xDF, 0x10, 0x00, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0xFF}, 2).reply.Ok);
  EXPECT_FALSE(host.In({0xE0, 0xF4, 0xE7}, 16).reply.Ok);
  EXPECT_FALSE(host.Out({0xFF, 0x04, 0x51, 0x56, 0x55}).Ok);
}

// DetectSerialFlash's decisions, read from the flash-vendor rules.
struct Detection {
  int Result = 0;
  int Vendor = 0;
  std::string Step;
};

Detection DetectByTable(Host& host) {
  const auto ab = host.SpiIn(0xAB, 4);
  if (!ab.reply.Ok) {
    return {1, 0, "first probe failed"};
  }
  if (ab.data[3] == 0x9D) {
    return {1, 1, "AB"};
  }
  const auto jedec = host.SpiIn(0x9F, 4);
  if (jedec.reply.Ok) {
    const auto& b = jedec.data;
    const std::vector<std::pair<bool, int>> rules = {{b[0] == 0x7F && b[1] == 0x37, 7},
                                                     {b[0] == 0x37 && b[1] == 0x30, 7},
                                                     {b[0] == 0x1F, 4},
                                                     {b[0] == 0xC2, 5},
                                                     {b[0] == 0xEF, 6},
                                                     {b[0] == 0x20, 3},
                                                     {b[0] == 0x1C, 8},
                                                     {b[0] == 0x8C, 9},
                                                     {b[0] == 0x7F && b[1] == 0x9D, 1}};
    for (const auto& [fits, vendor] : rules) {
      if (fits) {
        return {1, vendor, "9F"};
      }
    }
  }
  const auto readId = host.SpiIn(0x90, 4);
  if (readId.reply.Ok && readId.data[3] == 0xBF) {
    return {1, 2, "90"};
  }
  const auto legacy15 = host.LegacyId(0x15, false);
  if (legacy15.reply.Ok && legacy15.data[0] == 0x1F) {
    return {1, 4, "15"};
  }
  const auto legacyAb = host.LegacyId(0xAB, true);
  if (legacyAb.reply.Ok && legacyAb.data[0] == 0x05) {
    return {1, 3, "AB legacy"};
  }
  return {0, 0, "undecided"};
}

int AmicPartByTable(Host& host) {
  const auto id = host.SpiIn(0x9F, 4);
  if (!id.reply.Ok || id.data[0] != 0x7F || id.data[1] != 0x37 || id.data[2] != 0x20) {
    return -1;
  }
  const std::map<int, int> codes = {{0x12, 1}, {0x11, 3}, {0x20, 4}, {0x10, 5}};
  const auto it = codes.find(id.data[3]);
  return it == codes.end() ? -1 : it->second;
}

int AtmelPartByTable(Host& host) {
  const auto id = host.SpiIn(0x9F, 4);
  if (!id.reply.Ok || id.data[0] != 0x1F) {
    return -1;
  }
  return id.data[1] == 0x65 ? 1 : id.data[1] == 0x66 ? 2 : 0;
}

TEST(FlashIdentificationTest, EveryPartReachesItsVendorRowAndEveryOutcomeIsCovered) {
  std::set<std::string> outcomes;
  std::set<int> amicCodes;
  std::set<int> atmelCodes;
  for (const SerialFlashPart& part : SerialFlashParts()) {
    SimulatedSystem system;
    Host host(system,
              AddBridge(system, *MakeChipPersonality(12, IdentifyRoute::Inquiry), &part).Path);
    const Detection detection = DetectByTable(host);
    EXPECT_EQ(detection.Vendor, part.VendorRow) << part.Name;
    EXPECT_EQ(detection.Result, part.VendorRow == 0 ? 0 : 1) << part.Name;
    outcomes.insert(detection.Step + " " + std::to_string(detection.Vendor));
    amicCodes.insert(AmicPartByTable(host));
    atmelCodes.insert(AtmelPartByTable(host));
  }
  for (const char* expected : {"AB 1", "9F 1", "9F 3", "9F 4", "9F 5", "9F 6", "9F 7", "9F 8",
                               "9F 9", "90 2", "15 4", "AB legacy 3", "undecided 0"}) {
    EXPECT_EQ(outcomes.count(expected), 1u) << expected;
  }
  EXPECT_EQ(amicCodes, (std::set<int>{-1, 1, 3, 4, 5}));
  EXPECT_EQ(atmelCodes, (std::set<int>{-1, 0, 1, 2}));
}

TEST(FlashIdentificationTest, BothShortAndLongAmicIdsLeadToAmic) {
  for (const char* name : {"A25L05PU", "A25L512"}) {
    SimulatedSystem system;
    Host host(system, AddBridge(system, *MakeChipPersonality(1, IdentifyRoute::Inquiry),
                                FindSerialFlashPart(name))
                          .Path);
    EXPECT_EQ(DetectByTable(host).Vendor, 7) << name;
  }
}

TEST(FlashIdentificationTest, BridgeWithoutRawChannelFailsTheFirstProbe) {
  SimulatedSystem system;
  BridgePersonality personality = *MakeChipPersonality(11, IdentifyRoute::Inquiry);
  personality.AnswersRawFlashChannel = false;
  Host host(system, AddBridge(system, personality, FindSerialFlashPart("W25X10")).Path);
  EXPECT_EQ(DetectByTable(host).Step, "first probe failed");
}

TEST(FlashIdentificationTest, IdsTheChipCheckKeysOnAreThere) {
  const std::vector<std::vector<std::uint8_t>> wanted = {
      {0xC2, 0x22, 0x10}, {0xC2, 0x22, 0x11}, {0xC2, 0x22, 0x13}, {0xBF, 0x25}};
  for (const auto& prefix : wanted) {
    bool found = false;
    for (const SerialFlashPart& part : SerialFlashParts()) {
      found = found || (part.JedecId.Length >= prefix.size() &&
                        std::equal(prefix.begin(), prefix.end(), part.JedecId.Bytes.begin()));
    }
    EXPECT_TRUE(found) << std::hex << int(prefix[0]) << " " << int(prefix[1]);
  }
}

TEST(PresetTest, EachPresetIdentifiesAndHoldsOldFirmware) {
  for (const SerialFlashPreset& preset : SerialFlashPresets()) {
    SimulatedSystem system;
    Enclosure* enclosure = AddPreset(system, preset.Key, {SimVolume{'E'}});
    ASSERT_NE(enclosure, nullptr) << preset.Key;
    EXPECT_NE(enclosure->Path.find(preset.BusKind == Bus::Usb ? "usbstor" : "sbp2"),
              std::string::npos);
    Host host(system, enclosure->Path);
    const Identity id = IdentifyByTable(host);
    EXPECT_EQ(id.Type, preset.ChipType) << preset.Key;
    EXPECT_EQ(DetectByTable(host).Vendor, FindSerialFlashPart(preset.FlashPart)->VendorRow)
        << preset.Key;

    const auto& flash = enclosure->Bridge.Flash->Contents();
    const std::uint32_t at = preset.FirmwareOffset;
    EXPECT_EQ(std::vector<std::uint8_t>(flash.begin() + at, flash.begin() + at + 4),
              (std::vector<std::uint8_t>{0x55, 0xAA, 0xAA, 0x55}))
        << preset.Key;
    EXPECT_EQ(std::string(flash.begin() + at + 4, flash.begin() + at + 8), preset.ImageChipCode);
    EXPECT_EQ(
        std::string(flash.begin() + preset.ConfigOffset, flash.begin() + preset.ConfigOffset + 5),
        "NVRAM");
    EXPECT_EQ(flash[at + preset.FirmwareBytes +
                    (preset.ConfigOffset == 0x8000 && preset.FirmwareBytes == 0x8000 ? 0x200 : 0)],
              0xFF)
        << preset.Key;
  }
}

TEST(PresetTest, DemoMachineListsEveryPresetAPlainDiskAndANetworkDrive) {
  SimulatedSystem system;
  AddDemoMachine(system);
  EXPECT_EQ(system.Enclosures().size(), SerialFlashPresets().size() + HardwarePresets().size() + 1);
  const auto volumes = system.Volumes();
  EXPECT_TRUE(std::any_of(volumes.begin(), volumes.end(),
                          [](const MachineVolume& v) { return v.Volume.IsRemote; }));
  EXPECT_FALSE(system.Enclosures().back()->Bridge.Personality.AnswersVendorCommands);
  // The tool lists 16 bridges: more plugged in would leave some out of its list unseen.
  const auto bridgesPlugged = std::count_if(
      system.Enclosures().begin(), system.Enclosures().end(), [](const auto& enclosure) {
        return enclosure->Plugged && enclosure->Bridge.Personality.AnswersVendorCommands;
      });
  EXPECT_EQ(bridgesPlugged, 16);
  EXPECT_EQ(FindSerialFlashPreset("no such preset"), nullptr);
  EXPECT_EQ(AddPreset(system, "no such preset"), nullptr);
}

}  // namespace
}  // namespace q71x::sim
