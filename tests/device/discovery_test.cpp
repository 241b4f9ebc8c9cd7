// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/discovery.h"

#include <gtest/gtest.h>

#include "tests/support/cdb_script.h"

namespace q71x {
namespace {

using testing::CdbScript;
using testing::ScriptedPlatform;
using testing::ScriptedReply;

const std::vector<std::uint8_t> kProbe = {0xDF, 0x10, 0x00, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0xFF};

class DiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    script.Attach(platform);
    script.Fail(kProbe);  // only the paths a test names answer the vendor probe
  }
  void Bridge(const std::string& path) { script.On(kProbe, ScriptedReply{}, path); }
  int ProbesSent() const {
    int n = 0;
    for (const auto& c : platform.Commands()) {
      n += c.Cdb == kProbe ? 1 : 0;
    }
    return n;
  }

  ScriptedPlatform platform;
  ScopedActivePlatform scope{platform};
  CdbScript script;
};

TEST_F(DiscoveryTest, DiskClassNeedsProbeAndRightBus) {
  const std::string usb = "\\\\?\\usbstor#disk&ven_q&prod_bridge#1";
  const std::string plainUsb = "\\\\?\\usbstor#disk&ven_other&prod_stick#2";
  const std::string sbp2 = "\\\\?\\sbp2#q&bridge#3";
  const std::string ide = "\\\\?\\ide#diskst3500#4";
  Bridge(usb);
  Bridge(sbp2);
  Bridge(ide);
  platform.SetInterfaces(InterfaceClass::Disk, {usb, plainUsb, sbp2, ide});

  DevicePathSlots slots;
  EXPECT_EQ(2, EnumerateDiskInterfaces(slots, 1));
  EXPECT_EQ((DevicePathSlots{usb, sbp2}), slots);
  // The probe is sent only to paths on an accepted bus.
  EXPECT_EQ(3, ProbesSent());

  slots.clear();
  platform.ClearCommands();
  EXPECT_EQ(1, EnumerateDiskInterfaces(slots, 0));
  EXPECT_EQ((DevicePathSlots{usb}), slots);
}

TEST_F(DiscoveryTest, CdromClassFollowsDiskSlotsWithoutProbe) {
  const std::string disk1 = "\\\\?\\usbstor#disk&a#1";
  const std::string disk2 = "\\\\?\\usbstor#disk&b#2";
  const std::string cdrom = "\\\\?\\usbstor#cdrom&c#3";
  Bridge(disk1);
  Bridge(disk2);
  platform.SetInterfaces(InterfaceClass::Disk, {disk1, disk2});
  platform.SetInterfaces(InterfaceClass::Cdrom, {cdrom});

  DevicePathSlots slots;
  const int disks = EnumerateDiskInterfaces(slots, 1);
  platform.ClearCommands();
  const int cdroms = EnumerateCdromInterfaces(slots, disks, 1);
  EXPECT_EQ(2, disks);
  EXPECT_EQ(1, cdroms);
  ASSERT_EQ(3u, slots.size());
  EXPECT_EQ(cdrom, slots[2]);
  EXPECT_TRUE(platform.Commands().empty());
}

TEST_F(DiscoveryTest, UnavailableDeviceSetContributesNothing) {
  platform.SetInterfaces(InterfaceClass::Disk, {"\\\\?\\usbstor#x"}, false);
  DevicePathSlots slots;
  EXPECT_EQ(0, EnumerateDiskInterfaces(slots, 1));
  EXPECT_TRUE(slots.empty());
}

TEST_F(DiscoveryTest, SeventeenthDeviceAndOverlongPathAreDropped) {
  std::vector<std::string> disks;
  const std::string overlong = "\\\\?\\usbstor#" + std::string(250, 'x');
  Bridge(overlong);
  disks.push_back(overlong);
  for (int i = 0; i < 12; ++i) {
    disks.push_back("\\\\?\\usbstor#disk#" + std::to_string(i));
    Bridge(disks.back());
  }
  std::vector<std::string> cdroms;
  for (int i = 0; i < 6; ++i) {
    cdroms.push_back("\\\\?\\usbstor#cdrom#" + std::to_string(i));
  }
  platform.SetInterfaces(InterfaceClass::Disk, disks);
  platform.SetInterfaces(InterfaceClass::Cdrom, cdroms);

  DevicePathSlots slots;
  const int d = EnumerateDiskInterfaces(slots, 1);
  const int c = EnumerateCdromInterfaces(slots, d, 1);
  EXPECT_EQ(12, d);  // the 262-character path is left out, not cut
  EXPECT_EQ(4, c);   // 16 in all
  EXPECT_EQ(16u, slots.size());
  EXPECT_EQ(cdroms[3], slots[15]);
  for (const auto& path : slots) {
    EXPECT_LE(path.size(), kMaxDevicePathChars);
  }
}

class VolumeLetterTest : public DiscoveryTest {
 protected:
  const std::string bridge = "\\\\?\\usbstor#disk&bridge#1";
  void SetUp() override {
    DiscoveryTest::SetUp();
    platform.SetDeviceNumber(bridge, {7, 2, 0});
  }
  VolumeInfo Volume(char letter, StorageDeviceNumber number, bool system = false,
                    bool remote = false) {
    const std::string path = std::string("\\\\.\\") + letter + ":";
    if (!remote) {
      platform.SetDeviceNumber(path, number);
    }
    return VolumeInfo{std::string(1, letter), path, system, remote};
  }
};

TEST_F(VolumeLetterTest, MatchesTypeAndNumberSkippingSystemAndNetwork) {
  platform.SetVolumes({
      Volume('C', {7, 2, 1}, /*system=*/true),  // system drive on the bridge's disk
      Volume('D', {2, 2, 0}),                   // CD-ROM with the same number: other type
      Volume('E', {7, 2, 1}),
      Volume('F', {7, 2, 2}),
      Volume('G', {7, 3, 1}),
      Volume('Z', {7, 2, 1}, false, /*remote=*/true),
  });
  std::string letters = "stale";
  FindVolumeLetters(bridge, letters);
  EXPECT_EQ("EF", letters);
  // A network drive is never queried.
  for (const auto& c : platform.Commands()) {
    EXPECT_NE("\\\\.\\Z:", c.Path);
  }
}

TEST_F(VolumeLetterTest, VolumeWithUnreadableNumberIsLeftOut) {
  VolumeInfo lost{"H", "\\\\.\\H:", false, false};
  platform.SetVolumes({Volume('E', {7, 2, 1}), lost});
  std::string letters;
  FindVolumeLetters(bridge, letters);
  EXPECT_EQ("E", letters);
}

TEST_F(VolumeLetterTest, DeviceWithUnreadableNumberGetsNoLetters) {
  platform.SetVolumes({Volume('E', {7, 2, 1})});
  std::string letters = "EF";  // what the device before it had
  FindVolumeLetters("\\\\?\\usbstor#disk&unknown#9", letters);
  EXPECT_EQ("", letters);
}

TEST_F(VolumeLetterTest, FifteenthLetterIsDropped) {
  std::vector<VolumeInfo> volumes;
  for (char letter = 'D'; letter <= 'U'; ++letter) {
    volumes.push_back(Volume(letter, {7, 2, 1}));
  }
  platform.SetVolumes(volumes);
  std::string letters;
  FindVolumeLetters(bridge, letters);
  EXPECT_EQ("DEFGHIJKLMNOPQ", letters);
}

TEST_F(DiscoveryTest, DeviceListCommandBlocks) {
  const std::string path = "\\\\?\\usbstor#disk#1";
  Bridge(path);
  std::uint8_t inquiry[40];
  Inquiry(path, inquiry, 40);
  BridgeSessionOpen(path);
  BridgeSessionClose(path);
  std::uint8_t id[2];
  ReadChipIdDF(path, id);
  using Bytes = std::vector<std::uint8_t>;
  const auto& c = platform.Commands();
  ASSERT_EQ(4u, c.size());
  EXPECT_EQ((Bytes{0x12, 0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0}), c[0].Cdb);
  EXPECT_EQ(40u, c[0].Record.DataTransferLength);
  EXPECT_EQ(1, c[0].Record.DataIn);
  EXPECT_EQ((Bytes{0xFF, 0x04, 0x51, 0x56, 0x55, 0, 0, 0, 0, 0, 0, 0}), c[1].Cdb);
  EXPECT_EQ((Bytes{0xFF, 0x04, 0x51, 0x56, 0xAA, 0, 0, 0, 0, 0, 0, 0}), c[2].Cdb);
  for (int i : {1, 2}) {
    EXPECT_EQ(0, c[i].Record.DataIn);
    EXPECT_EQ(0u, c[i].Record.DataTransferLength);
    EXPECT_EQ(50u, c[i].Record.TimeOutValue);
  }
  EXPECT_EQ(kProbe, c[3].Cdb);
  EXPECT_EQ(2u, c[3].Record.DataTransferLength);
}

}  // namespace
}  // namespace q71x
