// SPDX-License-Identifier: GPL-2.0-or-later
// The Platform adapter over the simulated machine, driven with hand-filled pass-through records.
#include "src/device/platform/sim/sim_platform.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim/chip_personalities.h"
#include "sim/presets.h"
#include "tests/support/fake_wall_clock.h"

namespace q71x {
namespace {

class SimPlatformTest : public ::testing::Test {
 protected:
  SimPlatformTest() : platform_(system_) {
    bridge_ = sim::AddPreset(system_, "qv40714-winbond", {sim::SimVolume{'E'}});
    cdrom_ = sim::AddPreset(system_, "qvk926-sst");
  }

  // INQUIRY with a 40-byte data-in phase into `area`.
  bool Inquiry(DeviceHandle handle, std::vector<std::uint8_t>& area, PassThroughRecord& record) {
    area.assign(40, 0);
    record = PassThroughRecord{};
    record.Length = 44;
    record.CdbLength = 12;
    record.DataIn = 1;
    record.DataTransferLength = 40;
    record.TimeOutValue = 10;
    record.DataBuffer = area.data();
    record.Cdb[0] = 0x12;
    record.Cdb[4] = 40;
    return platform_.SendPassThrough(handle, record);
  }

  sim::SimulatedSystem system_;
  SimPlatform platform_;
  sim::Enclosure* bridge_ = nullptr;
  sim::Enclosure* cdrom_ = nullptr;
};

TEST_F(SimPlatformTest, PassThroughReachesTheEnclosureAndReportsTheTransfer) {
  const DeviceHandle handle = platform_.OpenDevice(bridge_->Path, AccessMode::SharedReadWrite);
  ASSERT_NE(handle, kInvalidDeviceHandle);
  std::vector<std::uint8_t> area;
  PassThroughRecord record;
  EXPECT_TRUE(Inquiry(handle, area, record));
  EXPECT_EQ(platform_.LastErrorCode(), 0u);
  EXPECT_EQ(record.DataTransferLength, 40u);
  EXPECT_EQ(std::string(area.begin() + 36, area.end()), "q714");
  platform_.CloseDevice(handle);
  EXPECT_EQ(platform_.OpenHandleCount(), 0u);
  ASSERT_EQ(system_.Log().Size(), 1u);
  EXPECT_EQ(system_.Log().Entries()[0].TimeoutSeconds, 10u);
}

TEST_F(SimPlatformTest, RejectedCommandLeavesItsErrorCode) {
  const DeviceHandle handle = platform_.OpenDevice(bridge_->Path, AccessMode::ExclusiveReadWrite);
  PassThroughRecord record;
  record.CdbLength = 12;
  record.TimeOutValue = 50;
  record.Cdb[0] = 0xFF;
  record.Cdb[1] = 0x04;
  record.Cdb[2] = 0x77;  // no such operation
  EXPECT_FALSE(platform_.SendPassThrough(handle, record));
  EXPECT_EQ(platform_.LastErrorCode(), sim::kErrorIoDevice);
  platform_.CloseDevice(handle);
}

TEST_F(SimPlatformTest, UnknownOrUnpluggedPathsCannotBeOpened) {
  EXPECT_EQ(platform_.OpenDevice("sim:usbstor:disk:nothing", AccessMode::SharedReadWrite),
            kInvalidDeviceHandle);
  EXPECT_EQ(platform_.LastErrorCode(), sim::kErrorFileNotFound);
  // Case does not matter to the system, as on Windows.
  const DeviceHandle upper =
      platform_.OpenDevice("SIM:USBSTOR:DISK:QV40714-WINBOND", AccessMode::QueryOnly);
  EXPECT_NE(upper, kInvalidDeviceHandle);
  platform_.CloseDevice(upper);

  // A handle opened before the unplug fails its next request.
  const DeviceHandle handle = platform_.OpenDevice(bridge_->Path, AccessMode::SharedReadWrite);
  ASSERT_TRUE(system_.Unplug(bridge_->Path));
  EXPECT_EQ(platform_.OpenDevice(bridge_->Path, AccessMode::SharedReadWrite), kInvalidDeviceHandle);
  EXPECT_EQ(platform_.OpenDevice("\\\\.\\E:", AccessMode::QueryOnly), kInvalidDeviceHandle);
  std::vector<std::uint8_t> area;
  PassThroughRecord record;
  EXPECT_FALSE(Inquiry(handle, area, record));
  EXPECT_EQ(platform_.LastErrorCode(), sim::kErrorDeviceNotConnected);
  platform_.CloseDevice(handle);
}

TEST_F(SimPlatformTest, DeviceNumbersTieVolumesToTheirDevice) {
  const DeviceHandle device = platform_.OpenDevice(bridge_->Path, AccessMode::QueryOnly);
  const DeviceHandle volume = platform_.OpenDevice("\\\\.\\E:", AccessMode::QueryOnly);
  const DeviceHandle system = platform_.OpenDevice("\\\\.\\C:", AccessMode::QueryOnly);
  StorageDeviceNumber a, b, c;
  ASSERT_TRUE(platform_.QueryDeviceNumber(device, a));
  ASSERT_TRUE(platform_.QueryDeviceNumber(volume, b));
  ASSERT_TRUE(platform_.QueryDeviceNumber(system, c));
  EXPECT_EQ(a.DeviceType, b.DeviceType);
  EXPECT_EQ(a.DeviceNumber, b.DeviceNumber);
  EXPECT_NE(a.DeviceNumber, c.DeviceNumber);
  // A volume handle carries no pass-through.
  std::vector<std::uint8_t> area;
  PassThroughRecord record;
  EXPECT_FALSE(Inquiry(volume, area, record));
  EXPECT_EQ(platform_.LastErrorCode(), sim::kErrorInvalidFunction);
  for (DeviceHandle handle : {device, volume, system}) {
    platform_.CloseDevice(handle);
  }
  EXPECT_FALSE(platform_.QueryDeviceNumber(device, a));
  EXPECT_EQ(platform_.LastErrorCode(), sim::kErrorInvalidHandle);
}

TEST_F(SimPlatformTest, EnumerationAndVolumesAsTheMachineHasThem) {
  system_.AddMachineVolume(sim::SimVolume{'Z', false, true});
  std::vector<std::string> paths;
  ASSERT_TRUE(platform_.EnumerateInterfaces(InterfaceClass::Disk, paths));
  EXPECT_EQ(paths, std::vector<std::string>{bridge_->Path});
  ASSERT_TRUE(platform_.EnumerateInterfaces(InterfaceClass::Cdrom, paths));
  EXPECT_EQ(paths, std::vector<std::string>{cdrom_->Path});

  const std::vector<VolumeInfo> volumes = platform_.ListVolumes();
  ASSERT_EQ(volumes.size(), 3u);
  EXPECT_EQ(volumes[0].Name, "C");
  EXPECT_TRUE(volumes[0].IsSystem);
  EXPECT_EQ(volumes[1].Name, "E");
  EXPECT_EQ(volumes[1].QueryPath, "\\\\.\\E:");
  EXPECT_FALSE(volumes[1].IsSystem || volumes[1].IsRemote);
  EXPECT_TRUE(volumes[2].IsRemote);
}

TEST_F(SimPlatformTest, SleepsAndClockAreVirtualAndDebugOutputIsKept) {
  const std::uint64_t start = platform_.MonotonicMs();
  platform_.SleepMs(500);
  platform_.SleepMs(10);
  EXPECT_EQ(platform_.MonotonicMs() - start, 510u);
  EXPECT_EQ(platform_.Sleeps(), (std::vector<std::uint32_t>{500, 10}));
  platform_.DebugOutput("0.1 Device initial not ready!!");
  EXPECT_EQ(platform_.DebugLines(), std::vector<std::string>{"0.1 Device initial not ready!!"});
}

TEST_F(SimPlatformTest, APacedPlatformWaitsForEverySleepAndCommandAndTheClockStaysVirtual) {
  testing::FakeWallClock wall;
  WallClockPacing pacing(2, wall);
  platform_.SleepMs(1000);  // before pacing: not waited for
  platform_.SetPacing(&pacing);
  const std::uint64_t wallStart = wall.NowUs();
  platform_.SleepMs(300);
  EXPECT_EQ(wall.NowUs() - wallStart, 150'000u);
  // A command waits for its modeled bus time.
  const DeviceHandle handle = platform_.OpenDevice(bridge_->Path, AccessMode::SharedReadWrite);
  const std::uint64_t virtualBefore = system_.Clock().NowUs();
  const std::uint64_t wallBefore = wall.NowUs();
  std::vector<std::uint8_t> area;
  PassThroughRecord record;
  ASSERT_TRUE(Inquiry(handle, area, record));
  const std::uint64_t commandUs = system_.Clock().NowUs() - virtualBefore;
  ASSERT_GT(commandUs, 0u);
  EXPECT_EQ(wall.NowUs() - wallBefore, commandUs / 2);
  EXPECT_EQ(platform_.MonotonicMs(), system_.Clock().NowMs());
  // Taken back: as fast as possible again; given again, paced from where the clock stands.
  platform_.SetPacing(nullptr);
  const std::uint64_t wallEnd = wall.NowUs();
  platform_.SleepMs(5000);
  EXPECT_EQ(wall.NowUs(), wallEnd);
  platform_.SetPacing(&pacing);
  platform_.SleepMs(100);
  EXPECT_EQ(wall.NowUs() - wallEnd, 50'000u);
  platform_.CloseDevice(handle);
}

TEST_F(SimPlatformTest, DeviceChangesReachThePlatformListener) {
  std::vector<DeviceChange> changes;
  platform_.SetDeviceChangeListener([&](DeviceChange change) { changes.push_back(change); });
  system_.Unplug(cdrom_->Path);
  system_.Plug(cdrom_->Path);
  EXPECT_EQ(changes, (std::vector<DeviceChange>{DeviceChange::Removal, DeviceChange::Arrival}));
  platform_.SetDeviceChangeListener(nullptr);
  system_.Unplug(cdrom_->Path);
  EXPECT_EQ(changes.size(), 2u);
}

TEST_F(SimPlatformTest, DataLengthWithoutABufferIsRefused) {
  const DeviceHandle handle = platform_.OpenDevice(bridge_->Path, AccessMode::SharedReadWrite);
  PassThroughRecord record;
  record.CdbLength = 12;
  record.DataIn = 1;
  record.DataTransferLength = 16;
  record.Cdb[0] = 0x12;
  EXPECT_FALSE(platform_.SendPassThrough(handle, record));
  EXPECT_EQ(platform_.LastErrorCode(), sim::kErrorInvalidParameter);
  EXPECT_EQ(system_.Log().Size(), 0u);
  platform_.CloseDevice(handle);
}

}  // namespace
}  // namespace q71x
