// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated machine: faults armed on the n-th matching command, the command log, plugging,
// volumes and device numbers.
#include "sim/simulated_system.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "sim/chip_personalities.h"
#include "sim/serial_flash.h"
#include "sim/serial_flash_parts.h"
#include "tests/sim/sim_host.h"

namespace q71x::sim {
namespace {

using testing::Host;

const CdbPattern kStatusRead = CdbPattern::Prefix({0xFF, 0x04, 0x12});

class SimulatedSystemTest : public ::testing::Test {
 protected:
  Enclosure& AddBridge(const std::string& name, std::vector<SimVolume> volumes = {},
                       InterfaceKind kind = InterfaceKind::Disk, Bus bus = Bus::Usb) {
    Enclosure enclosure;
    enclosure.Path = MakeEnclosurePath(bus, kind, name);
    enclosure.BusKind = bus;
    enclosure.Kind = kind;
    enclosure.DeviceType = kind == InterfaceKind::Disk ? kDeviceTypeDisk : kDeviceTypeCdrom;
    enclosure.Volumes = std::move(volumes);
    enclosure.Bridge = BridgeState(*MakeChipPersonality(1, IdentifyRoute::Inquiry));
    enclosure.Bridge.Flash = std::make_unique<SerialFlash>(*FindSerialFlashPart("W25X10"));
    return system_.AddEnclosure(std::move(enclosure));
  }
  int Arm(FaultKind kind, CdbPattern pattern, int nth, std::uint32_t value = 0, int times = 1,
          std::string path = "") {
    return static_cast<int>(
        system_.Faults().Arm(FaultRule{pattern, nth, times, std::move(path), kind, value}));
  }

  SimulatedSystem system_;
};

TEST_F(SimulatedSystemTest, FaultFiresOnTheNthMatchingCommandOnly) {
  Host host(system_, AddBridge("a").Path);
  const int rule = Arm(FaultKind::Fail, kStatusRead, 3);
  std::vector<bool> results;
  for (int i = 0; i < 5; ++i) {
    host.ReadBlock(0, 4);  // does not match and does not count
    results.push_back(host.In({0xFF, 0x04, 0x12}, 1).reply.Ok);
  }
  EXPECT_EQ(results, (std::vector<bool>{true, true, false, true, true}));
  EXPECT_EQ(system_.Faults().FiredCount(static_cast<std::size_t>(rule)), 1u);
}

TEST_F(SimulatedSystemTest, FaultWithTimesZeroKeepsFiringAndMaskedBytesAreFree) {
  Host host(system_, AddBridge("a").Path);
  CdbPattern anyFlashRead = CdbPattern::Prefix({0xFF, 0x04, 0x10});
  anyFlashRead.With(4, 0x80, 0x80);  // addresses with bit 15 set
  Arm(FaultKind::Fail, anyFlashRead, 2, 0, 0);
  EXPECT_TRUE(host.In({0xFF, 0x04, 0x10, 0x00, 0x80, 0x00}, 4).reply.Ok);
  EXPECT_TRUE(host.In({0xFF, 0x04, 0x10, 0x00, 0x10, 0x00}, 4).reply.Ok);
  EXPECT_FALSE(host.In({0xFF, 0x04, 0x10, 0x00, 0xC0, 0x00}, 4).reply.Ok);
  EXPECT_FALSE(host.In({0xFF, 0x04, 0x10, 0x01, 0x80, 0x00}, 4).reply.Ok);
}

TEST_F(SimulatedSystemTest, FaultCanBeLimitedToOnePathAndRemoved) {
  Host a(system_, AddBridge("a").Path);
  Host b(system_, AddBridge("b").Path);
  const int rule = Arm(FaultKind::Fail, kStatusRead, 1, 0, 0, b.Path());
  EXPECT_TRUE(a.In({0xFF, 0x04, 0x12}, 1).reply.Ok);
  EXPECT_FALSE(b.In({0xFF, 0x04, 0x12}, 1).reply.Ok);
  system_.Faults().Remove(static_cast<std::size_t>(rule));
  EXPECT_TRUE(b.In({0xFF, 0x04, 0x12}, 1).reply.Ok);
}

TEST_F(SimulatedSystemTest, FailedCommandNeverReachesTheBridge) {
  Enclosure& enclosure = AddBridge("a");
  Host host(system_, enclosure.Path);
  Arm(FaultKind::Fail, CdbPattern::Prefix({0xFF, 0x04, 0x51}), 1);
  const Reply reply = host.Out({0xFF, 0x04, 0x51, 0x56, 0x55});
  EXPECT_FALSE(reply.Ok);
  EXPECT_EQ(reply.ErrorCode, kErrorIoDevice);
  EXPECT_FALSE(enclosure.Bridge.SessionOpen);
}

TEST_F(SimulatedSystemTest, ShortReplyLeavesTheRestOfTheAreaUntouched) {
  Enclosure& enclosure = AddBridge("a");
  enclosure.Bridge.Flash->Load(0, testing::Pattern(64, 0x10));
  Host host(system_, enclosure.Path);
  Arm(FaultKind::Short, CdbPattern::Prefix({0xFF, 0x04, 0x10}), 1, 5);
  std::vector<std::uint8_t> area(16, 0xEE);
  const Reply reply = host.Send({0xFF, 0x04, 0x10, 0x00, 0x00, 0x00}, true, area, 10);
  EXPECT_TRUE(reply.Ok);
  EXPECT_EQ(reply.Transferred, 5u);
  const std::vector<std::uint8_t> expected = testing::Pattern(5, 0x10);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), area.begin()));
  EXPECT_TRUE(std::all_of(area.begin() + 5, area.end(), [](auto b) { return b == 0xEE; }));
}

TEST_F(SimulatedSystemTest, ShortDataOutReachesTheBridgeCutOff) {
  Enclosure& enclosure = AddBridge("a");
  enclosure.Bridge.Flash->Load(0, std::vector<std::uint8_t>(64, 0xFF));
  Host host(system_, enclosure.Path);
  Arm(FaultKind::Short, CdbPattern::Prefix({0xFF, 0x04, 0x11}), 1, 2);
  const Reply reply = host.WriteBlock(0, {0x11, 0x22, 0x33, 0x44});
  EXPECT_EQ(reply.Transferred, 2u);
  EXPECT_EQ(host.ReadBlock(0, 4), (std::vector<std::uint8_t>{0x11, 0x22, 0x00, 0x00}));
}

TEST_F(SimulatedSystemTest, GarbageReplaceTheReplyBytesRepeatably) {
  Host host(system_, AddBridge("a").Path);
  const auto clean = host.In({0x12, 0x00, 0x00, 0x00, 40}, 40).data;
  Arm(FaultKind::Garbage, CdbPattern::Prefix({0x12}), 1, 7);
  const auto noisy = host.In({0x12, 0x00, 0x00, 0x00, 40}, 40);
  EXPECT_TRUE(noisy.reply.Ok);
  EXPECT_NE(noisy.data, clean);

  SimulatedSystem again;
  Enclosure copy;
  copy.Path = "sim:usbstor:disk:a";
  copy.Bridge = BridgeState(*MakeChipPersonality(1, IdentifyRoute::Inquiry));
  again.AddEnclosure(std::move(copy));
  again.Faults().Arm(FaultRule{CdbPattern::Prefix({0x12}), 1, 1, "", FaultKind::Garbage, 7});
  EXPECT_EQ(Host(again, "sim:usbstor:disk:a").In({0x12, 0x00, 0x00, 0x00, 40}, 40).data,
            noisy.data);
}

TEST_F(SimulatedSystemTest, PersistentShortByCutsEveryAnswerFromTheNthOn) {
  Enclosure& enclosure = AddBridge("a");
  enclosure.Bridge.Flash->Load(0, testing::Pattern(64, 0x10));
  Host host(system_, enclosure.Path);
  Arm(FaultKind::ShortBy, CdbPattern::Prefix({0xFF, 0x04, 0x10}), 2, 3, 0);
  const std::vector<std::uint8_t> whole = testing::Pattern(16, 0x10);
  EXPECT_EQ(host.ReadBlock(0, 16), whole);
  for (int read = 0; read < 3; ++read) {
    std::vector<std::uint8_t> area(16, 0xEE);
    const Reply reply = host.Send({0xFF, 0x04, 0x10, 0x00, 0x00, 0x00}, true, area, 10);
    EXPECT_EQ(reply.Transferred, 13u);
    EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + 13, area.begin()));
    EXPECT_TRUE(std::all_of(area.begin() + 13, area.end(), [](auto b) { return b == 0xEE; }));
  }
  // A data-out command loses its last bytes on the way to the flash.
  Arm(FaultKind::ShortBy, CdbPattern::Prefix({0xFF, 0x04, 0x11}), 1, 2, 0);
  enclosure.Bridge.Flash->Load(32, std::vector<std::uint8_t>(4, 0xFF));
  host.WriteBlock(32, {0x11, 0x22, 0x33, 0x44});
  EXPECT_EQ(enclosure.Bridge.Flash->Contents()[32 + 1], 0x22);
  EXPECT_EQ(enclosure.Bridge.Flash->Contents()[32 + 2], 0x00);
}

TEST_F(SimulatedSystemTest, GarbageFieldSpoilsOnlyThatFieldOfEveryAnswer) {
  Enclosure& enclosure = AddBridge("a");
  enclosure.Bridge.Flash->Load(0, testing::Pattern(64, 0x10));
  Host host(system_, enclosure.Path);
  const std::vector<std::uint8_t> clean = host.ReadBlock(0, 16);
  Arm(FaultKind::GarbageField, CdbPattern::Prefix({0xFF, 0x04, 0x10}), 1, 5 | 3u << 16, 0);
  for (int read = 0; read < 2; ++read) {
    const std::vector<std::uint8_t> noisy = host.ReadBlock(0, 16);
    ASSERT_EQ(noisy.size(), clean.size());
    EXPECT_TRUE(std::equal(clean.begin(), clean.begin() + 5, noisy.begin()));
    EXPECT_NE(std::vector<std::uint8_t>(noisy.begin() + 5, noisy.begin() + 8),
              std::vector<std::uint8_t>(clean.begin() + 5, clean.begin() + 8));
    EXPECT_TRUE(std::equal(clean.begin() + 8, clean.end(), noisy.begin() + 8));
  }
  // A field past the end of a shorter answer leaves it whole.
  EXPECT_EQ(host.ReadBlock(0, 4), std::vector<std::uint8_t>(clean.begin(), clean.begin() + 4));
}

// Two reads that agree prove nothing against this fault: the one command it first hit comes back
// with the same wrong field every time, while a read of another address stays clean.
TEST_F(SimulatedSystemTest, IdenticalGarbleSpoilsOneCommandTheSameWayEveryTime) {
  Enclosure& enclosure = AddBridge("a");
  enclosure.Bridge.Flash->Load(0, testing::Pattern(64, 0x10));
  Host host(system_, enclosure.Path);
  const std::vector<std::uint8_t> clean = host.ReadBlock(16, 16);
  const std::vector<std::uint8_t> cleanOther = host.ReadBlock(0, 16);
  Arm(FaultKind::IdenticalGarble, CdbPattern::Prefix({0xFF, 0x04, 0x10}), 1, 2 | 4u << 16, 0);
  const std::vector<std::uint8_t> first = host.ReadBlock(16, 16);
  EXPECT_NE(first, clean);
  EXPECT_TRUE(std::equal(clean.begin() + 6, clean.end(), first.begin() + 6));
  EXPECT_EQ(host.ReadBlock(0, 16), cleanOther);
  EXPECT_EQ(host.ReadBlock(16, 16), first);
  EXPECT_EQ(host.ReadBlock(16, 16), first);
}

TEST_F(SimulatedSystemTest, ErrorCodeFaultCarriesTheCommandOutButReportsTheCode) {
  Enclosure& enclosure = AddBridge("a");
  Host host(system_, enclosure.Path);
  Arm(FaultKind::ErrorCode, CdbPattern::Prefix({0xFF, 0x04, 0x51}), 1, 31);
  const Reply reply = host.Out({0xFF, 0x04, 0x51, 0x56, 0x55});
  EXPECT_TRUE(reply.Ok);
  EXPECT_EQ(reply.ErrorCode, 31u);
  EXPECT_TRUE(enclosure.Bridge.SessionOpen);
}

TEST_F(SimulatedSystemTest, TimeoutFaultCostsTheWholeTimeOut) {
  Enclosure& enclosure = AddBridge("a");
  enclosure.Bridge.Flash->Load(0, std::vector<std::uint8_t>(0x1000, 0x00));
  Host host(system_, enclosure.Path);
  Arm(FaultKind::Timeout, CdbPattern::Prefix({0xFF, 0x04, 0x14}), 1);
  const std::uint64_t before = system_.Clock().NowUs();
  const Reply reply = host.EraseSector(0);
  EXPECT_FALSE(reply.Ok);
  EXPECT_EQ(reply.ErrorCode, kErrorSemTimeout);
  EXPECT_GE(system_.Clock().NowUs() - before, 50'000'000u);
  EXPECT_EQ(enclosure.Bridge.Flash->Contents()[0], 0x00);
}

TEST_F(SimulatedSystemTest, UnplugFaultRemovesTheEnclosureAtThatCommand) {
  Host host(system_, AddBridge("a").Path);
  std::vector<PlugEvent> events;
  system_.SetDeviceChangeListener([&](PlugEvent e) { events.push_back(e); });
  Arm(FaultKind::Unplug, CdbPattern::Prefix({0xFF, 0x04, 0x11}), 2);
  EXPECT_TRUE(host.WriteBlock(0, {0x00}).Ok);
  const Reply reply = host.WriteBlock(0x100, {0x00});
  EXPECT_FALSE(reply.Ok);
  EXPECT_EQ(reply.ErrorCode, kErrorDeviceNotConnected);
  EXPECT_FALSE(system_.Exists(host.Path()));
  EXPECT_EQ(events, (std::vector<PlugEvent>{PlugEvent::Removal}));
  EXPECT_FALSE(host.In({0xFF, 0x04, 0x12}, 1).reply.Ok);
  EXPECT_TRUE(system_.Plug(host.Path()));
  EXPECT_EQ(events.back(), PlugEvent::Arrival);
  EXPECT_TRUE(host.In({0xFF, 0x04, 0x12}, 1).reply.Ok);
}

TEST_F(SimulatedSystemTest, LogKeepsEveryExchangeWithItsOutcomeAndTime) {
  Host host(system_, AddBridge("a").Path);
  Arm(FaultKind::Fail, kStatusRead, 2);
  host.In({0xFF, 0x04, 0x12}, 1);
  system_.Clock().AdvanceMs(10);
  host.In({0xFF, 0x04, 0x12}, 1);
  host.WriteBlock(0x20, testing::Pattern(100, 1));

  const CommandLog& log = system_.Log();
  ASSERT_EQ(log.Size(), 3u);
  const auto statusReads = log.Matching(kStatusRead);
  ASSERT_EQ(statusReads.size(), 2u);
  EXPECT_TRUE(statusReads[0]->Ok);
  EXPECT_FALSE(statusReads[1]->Ok);
  EXPECT_TRUE(statusReads[1]->FaultApplied);
  EXPECT_GE(statusReads[1]->StartUs, statusReads[0]->EndUs + 10000);
  EXPECT_EQ(statusReads[0]->WireLength, 2u);
  EXPECT_EQ(statusReads[0]->TimeoutSeconds, 10u);
  EXPECT_EQ(statusReads[0]->Cdb.size(), 12u);

  const LoggedCommand* write = log.Last(CdbPattern::Prefix({0xFF, 0x04, 0x11}));
  ASSERT_NE(write, nullptr);
  EXPECT_FALSE(write->DataIn);
  EXPECT_EQ(write->DataOut, testing::Pattern(100, 1));
  EXPECT_EQ(write->DataOutDigest, DigestBytes(testing::Pattern(100, 1)));
  EXPECT_NE(write->DataOutDigest, DigestBytes(testing::Pattern(100, 2)));
  EXPECT_EQ(log.Count(CdbPattern::Prefix({0xDF})), 0u);
  EXPECT_EQ(log.ForPath(host.Path()).size(), 3u);
}

TEST_F(SimulatedSystemTest, CommandToAMissingPathFailsAndIsLogged) {
  Host host(system_, "sim:usbstor:disk:nothing");
  const Reply reply = host.In({0x12, 0x00, 0x00, 0x00, 40}, 40).reply;
  EXPECT_FALSE(reply.Ok);
  EXPECT_EQ(reply.ErrorCode, kErrorDeviceNotConnected);
  EXPECT_EQ(system_.Log().Size(), 1u);
}

TEST_F(SimulatedSystemTest, InterfacesListPluggedEnclosuresPerClassInOrder) {
  AddBridge("d1");
  AddBridge("c1", {}, InterfaceKind::Cdrom);
  AddBridge("d2", {}, InterfaceKind::Disk, Bus::Ieee1394);
  std::vector<std::string> paths;
  ASSERT_TRUE(system_.InterfacePaths(InterfaceKind::Disk, paths));
  EXPECT_EQ(paths, (std::vector<std::string>{"sim:usbstor:disk:d1", "sim:sbp2:disk:d2"}));
  ASSERT_TRUE(system_.InterfacePaths(InterfaceKind::Cdrom, paths));
  EXPECT_EQ(paths, (std::vector<std::string>{"sim:usbstor:cdrom:c1"}));
  system_.Unplug("sim:usbstor:disk:d1");
  system_.InterfacePaths(InterfaceKind::Disk, paths);
  EXPECT_EQ(paths, (std::vector<std::string>{"sim:sbp2:disk:d2"}));
  system_.SetEnumerationAvailable(InterfaceKind::Disk, false);
  EXPECT_FALSE(system_.InterfacePaths(InterfaceKind::Disk, paths));
  EXPECT_TRUE(paths.empty());
}

TEST_F(SimulatedSystemTest, VolumesAscendAndResolveToTheirDevice) {
  Enclosure& first = AddBridge("a", {SimVolume{'G'}, SimVolume{'E'}});
  Enclosure& second = AddBridge("b", {SimVolume{'F'}});
  system_.AddMachineVolume(SimVolume{'Z', false, true});
  const auto volumes = system_.Volumes();
  std::string letters;
  for (const MachineVolume& volume : volumes) {
    letters += volume.Volume.Letter;
  }
  EXPECT_EQ(letters, "CEFGZ");
  EXPECT_TRUE(volumes.front().Volume.IsSystem);
  EXPECT_TRUE(volumes.back().Volume.IsRemote);

  EXPECT_NE(first.DeviceNumber, second.DeviceNumber);
  const auto e = system_.QueryDeviceNumber("\\\\.\\e:");
  const auto g = system_.QueryDeviceNumber("\\\\.\\G:");
  const auto device = system_.QueryDeviceNumber(first.Path);
  ASSERT_TRUE(e && g && device);
  EXPECT_EQ(e->Number, device->Number);
  EXPECT_EQ(g->Number, device->Number);
  EXPECT_EQ(e->DeviceType, kDeviceTypeDisk);
  EXPECT_NE(system_.QueryDeviceNumber("\\\\.\\F:")->Number, device->Number);
  EXPECT_NE(system_.QueryDeviceNumber("\\\\.\\C:")->Number, device->Number);
  EXPECT_FALSE(system_.QueryDeviceNumber("\\\\.\\Z:").has_value());
  EXPECT_FALSE(system_.QueryDeviceNumber("\\\\.\\Q:").has_value());

  system_.Unplug(first.Path);
  EXPECT_FALSE(system_.QueryDeviceNumber("\\\\.\\E:").has_value());
  EXPECT_FALSE(system_.Exists("\\\\.\\E:"));
}

}  // namespace
}  // namespace q71x::sim

namespace q71x::sim {
namespace {

TEST(CommandLogCapacityTest, KeepsOnlyTheLatestCommandsWhenBounded) {
  CommandLog log;
  log.SetCapacity(8);
  for (std::uint32_t i = 0; i < 20; ++i) {
    LoggedCommand entry;
    entry.WireLength = i;
    log.Append(entry);
  }
  ASSERT_LE(log.Size(), 8u);
  EXPECT_EQ(19u, log.Entries().back().WireLength);
  // What is kept is a contiguous run ending at the newest command.
  for (std::size_t i = 1; i < log.Size(); ++i) {
    EXPECT_EQ(log.Entries()[i - 1].WireLength + 1, log.Entries()[i].WireLength);
  }
  CommandLog unbounded;
  for (int i = 0; i < 20; ++i) {
    unbounded.Append(LoggedCommand{});
  }
  EXPECT_EQ(20u, unbounded.Size());
}

}  // namespace
}  // namespace q71x::sim
