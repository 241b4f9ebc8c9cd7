// SPDX-License-Identifier: GPL-2.0-or-later
// Identification and discovery against simulated bridges: the simulator builds its replies
// from bytes of its own, so a wrong table or builder here disagrees with it.
#include <gtest/gtest.h>

#include "sim/chip_personalities.h"
#include "sim/simulated_system.h"
#include "src/catalog/chip_tables.h"
#include "src/device/discovery.h"
#include "src/device/identification.h"
#include "src/device/platform/sim/sim_platform.h"
#include "tests/support/recording_dialogs.h"

namespace q71x {
namespace {

sim::Enclosure MakeEnclosure(sim::Bus bus, sim::InterfaceKind kind, const std::string& name,
                             sim::BridgePersonality personality,
                             std::vector<sim::SimVolume> volumes = {}) {
  sim::Enclosure enclosure;
  enclosure.Path = sim::MakeEnclosurePath(bus, kind, name);
  enclosure.BusKind = bus;
  enclosure.Kind = kind;
  enclosure.DeviceType =
      kind == sim::InterfaceKind::Cdrom ? sim::kDeviceTypeCdrom : sim::kDeviceTypeDisk;
  enclosure.Volumes = std::move(volumes);
  enclosure.Bridge = sim::BridgeState(std::move(personality));
  return enclosure;
}

std::uint16_t IdentifyThroughSim(const sim::BridgePersonality& personality) {
  sim::SimulatedSystem system;
  const std::string path = system
                               .AddEnclosure(MakeEnclosure(sim::Bus::Usb, sim::InterfaceKind::Disk,
                                                           "bridge", personality))
                               .Path;
  SimPlatform platform(system);
  ScopedActivePlatform scope(platform);
  return IdentifyChip(path);
}

TEST(IdentificationSimTest, EveryChipTypeRowByTheWayTheTableNamesIt) {
  testing::RecordingDialogs dialogs;
  for (int row = 0; row < kChipTypeCount; ++row) {
    const auto personality = sim::MakeChipPersonality(row, sim::NamedRoute(row));
    ASSERT_TRUE(personality.has_value()) << row;
    EXPECT_EQ(row, IdentityType(IdentifyThroughSim(*personality))) << ChipTypeName(row);
  }
  EXPECT_TRUE(dialogs.Boxes().empty());
}

TEST(IdentificationSimTest, FirmwareInfoRouteAndRevisions) {
  testing::RecordingDialogs dialogs;
  for (int row = 1; row <= 13; ++row) {
    sim::PersonalityOptions options;
    options.Revision = 2;
    const auto personality = sim::MakeChipPersonality(row, sim::IdentifyRoute::FwInfo, options);
    ASSERT_TRUE(personality.has_value()) << row;
    const std::uint16_t id = IdentifyThroughSim(*personality);
    EXPECT_EQ(row, IdentityType(id)) << row;
    if (row != 10) {
      EXPECT_EQ(2, IdentityRevision(id)) << row;
    }
  }
  sim::PersonalityOptions late;
  late.Revision = 5;
  const auto type10 = sim::MakeChipPersonality(10, sim::IdentifyRoute::Inquiry, late);
  ASSERT_TRUE(type10.has_value());
  EXPECT_EQ(MakeChipIdentity(10, 5), IdentifyThroughSim(*type10));
}

class DiscoverySimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    usb = system
              .AddEnclosure(MakeEnclosure(sim::Bus::Usb, sim::InterfaceKind::Disk, "usb",
                                          *sim::MakeChipPersonality(1, sim::IdentifyRoute::Inquiry),
                                          {{'E'}, {'F'}}))
              .Path;
    plain = system
                .AddEnclosure(MakeEnclosure(sim::Bus::Usb, sim::InterfaceKind::Disk, "stick",
                                            sim::PlainDiskPersonality(), {{'G'}}))
                .Path;
    firewire = system
                   .AddEnclosure(MakeEnclosure(
                       sim::Bus::Ieee1394, sim::InterfaceKind::Disk, "fw",
                       *sim::MakeChipPersonality(7, sim::IdentifyRoute::Inquiry), {{'H'}}))
                   .Path;
    cdrom =
        system
            .AddEnclosure(MakeEnclosure(sim::Bus::Usb, sim::InterfaceKind::Cdrom, "cd",
                                        *sim::MakeChipPersonality(12, sim::IdentifyRoute::Inquiry)))
            .Path;
    system.AddMachineVolume({'Z', false, true});
  }

  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform scope{platform};
  std::string usb, plain, firewire, cdrom;
};

TEST_F(DiscoverySimTest, BridgesListedPlainDiskLeftOut) {
  DevicePathSlots slots;
  const int disks = EnumerateDiskInterfaces(slots, 1);
  const int cdroms = EnumerateCdromInterfaces(slots, disks, 1);
  EXPECT_EQ(2, disks);
  EXPECT_EQ(1, cdroms);
  EXPECT_EQ((DevicePathSlots{usb, firewire, cdrom}), slots);

  DevicePathSlots usbOnly;
  EXPECT_EQ(1, EnumerateDiskInterfaces(usbOnly, 0));
  EXPECT_EQ((DevicePathSlots{usb}), usbOnly);
}

TEST_F(DiscoverySimTest, DriveLettersOfEachDeviceSkipSystemAndNetwork) {
  std::string letters;
  FindVolumeLetters(usb, letters);
  EXPECT_EQ("EF", letters);
  FindVolumeLetters(firewire, letters);
  EXPECT_EQ("H", letters);
  FindVolumeLetters(cdrom, letters);
  EXPECT_EQ("", letters);
  system.Unplug(usb);
  letters = "EF";
  FindVolumeLetters(usb, letters);
  EXPECT_EQ("", letters);  // a device whose number cannot be read gets no letters
}

}  // namespace
}  // namespace q71x
