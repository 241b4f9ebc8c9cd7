// SPDX-License-Identifier: GPL-2.0-or-later
#ifdef __linux__
#include "src/device/platform/linux/linux_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fstream>

#include "src/device/discovery.h"
#include "src/device/flash_commands.h"
#include "src/device/platform/linux/sg_io.h"
#include "src/device/transport.h"

namespace q71x::linux_platform {
namespace {
namespace fs = std::filesystem;

// A small sysfs/proc/dev tree: a USB bridge disk (sg2, sdb with sdb1), a FireWire bridge disk
// (sg3, sdc), a USB CD-ROM (sg4, sr0), the system's SATA disk (sg0, sda, sda1 mounted on /),
// a USB tape (type 1) and a USB disk without an sg node.
class SysfsFixture {
 public:
  SysfsFixture() {
    root_ = fs::temp_directory_path() /
            ("q71x-sysfs-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::remove_all(root_);
    const std::string usb = "sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0";
    const std::string usb2 = "sys/devices/pci0000:00/0000:00:14.0/usb2/2-2/2-2:1.0";
    const std::string fw = "sys/devices/pci0000:00/0000:00:1e.0/fw1";
    const std::string ata = "sys/devices/pci0000:00/0000:00:1f.2/ata1";
    Dir("sys/bus/usb/drivers/usb-storage");
    Dir("sys/bus/firewire/drivers/firewire_sbp2");
    Dir("sys/bus/pci/drivers/ahci");
    Link(usb + "/driver", "sys/bus/usb/drivers/usb-storage");
    Link(usb2 + "/driver", "sys/bus/usb/drivers/usb-storage");
    File(fw + "/ieee1394_id", "0x0001020304050607:0:0\n");
    // The USB devices above the interfaces and the root hub above them, and the FireWire node.
    File(kUsbDevice + "/busnum", "2\n");
    File(kUsbDevice + "/devpath", "1\n");
    File(kUsbDevice + "/serial", "3F2A0017  \n");
    File("sys/devices/pci0000:00/0000:00:14.0/usb2/busnum", "2\n");
    File("sys/devices/pci0000:00/0000:00:14.0/usb2/devpath", "0\n");
    File("sys/devices/pci0000:00/0000:00:14.0/usb2/serial", "0000:00:14.0\n");
    File(fw + "/guid", "0x0001020304050607\n");
    Link(fw + "/fw1.0/driver", "sys/bus/firewire/drivers/firewire_sbp2");

    ScsiDevice(usb + "/host6/target6:0:0/6:0:0:0", "6:0:0:0", 0, "sg2", "21:2");
    BlockDevice(usb + "/host6/target6:0:0/6:0:0:0", "sdb", "8:16", {{"sdb1", "8:17"}});
    File(usb + "/host6/target6:0:0/6:0:0:0/block/sdb/queue/max_hw_sectors_kb", "120\n");
    File(usb + "/host6/target6:0:0/6:0:0:0/max_sectors", "240\n");

    ScsiDevice(fw + "/fw1.0/host7/target7:0:0/7:0:0:0", "7:0:0:0", 0, "sg3", "21:3");
    BlockDevice(fw + "/fw1.0/host7/target7:0:0/7:0:0:0", "sdc", "8:32", {});

    ScsiDevice(usb + "/host6/target6:0:0/6:0:0:1", "6:0:0:1", 5, "sg4", "21:4");
    BlockDevice(usb + "/host6/target6:0:0/6:0:0:1", "sr0", "11:0", {});

    ScsiDevice(ata + "/host0/target0:0:0/0:0:0:0", "0:0:0:0", 0, "sg0", "21:0");
    BlockDevice(ata + "/host0/target0:0:0/0:0:0:0", "sda", "8:0", {{"sda1", "8:1"}});

    ScsiDevice(usb2 + "/host8/target8:0:0/8:0:0:0", "8:0:0:0", 1, "sg5", "21:5");
    Dir(usb2 + "/host9/target9:0:0/9:0:0:0");
    File(usb2 + "/host9/target9:0:0/9:0:0:0/type", "0\n");
    Link("sys/class/scsi_device/9:0:0:0/device", usb2 + "/host9/target9:0:0/9:0:0:0");

    File("proc/self/mountinfo",
         "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
         "40 22 8:17 / /media/usb rw,nosuid shared:20 - vfat /dev/sdb1 rw\n"
         "41 22 8:17 / /mnt/again rw - vfat /dev/sdb1 rw\n"
         "42 22 0:50 / /mnt/nas rw - nfs4 server:/export rw\n"
         "43 22 0:23 / /proc rw - proc proc rw\n");
    for (const char* node : {"sg0", "sg2", "sg3", "sg4"}) {
      File(std::string("dev/") + node, "");
    }
  }
  ~SysfsFixture() { fs::remove_all(root_); }
  static inline const std::string kUsbDevice = "sys/devices/pci0000:00/0000:00:14.0/usb2/2-1";
  const fs::path& root() const { return root_; }
  void File(const std::string& rel, const std::string& text) {
    fs::create_directories((root_ / rel).parent_path());
    std::ofstream(root_ / rel) << text;
  }

 private:
  void Dir(const std::string& rel) { fs::create_directories(root_ / rel); }
  void Link(const std::string& rel, const std::string& target) {
    fs::create_directories((root_ / rel).parent_path());
    fs::create_directories(root_ / target);
    fs::create_directory_symlink(fs::relative(root_ / target, (root_ / rel).parent_path()),
                                 root_ / rel);
  }
  void ScsiDevice(const std::string& dir, const std::string& address, int type,
                  const std::string& sg, const std::string& sgDev) {
    File(dir + "/type", std::to_string(type) + "\n");
    Dir(dir + "/scsi_generic/" + sg);
    Link("sys/class/scsi_device/" + address + "/device", dir);
    Link("sys/class/scsi_generic/" + sg + "/device", dir);
    File("sys/class/scsi_generic/" + sg + "/dev", sgDev + "\n");
  }
  void BlockDevice(const std::string& scsiDir, const std::string& name, const std::string& dev,
                   std::vector<std::pair<std::string, std::string>> partitions) {
    const std::string dir = scsiDir + "/block/" + name;
    File(dir + "/dev", dev + "\n");
    Link("sys/class/block/" + name, dir);
    Link("sys/dev/block/" + dev, dir);
    for (const auto& [part, partDev] : partitions) {
      File(dir + "/" + part + "/dev", partDev + "\n");
      File(dir + "/" + part + "/partition", "1\n");
      Link("sys/class/block/" + part, dir + "/" + part);
      Link("sys/dev/block/" + partDev, dir + "/" + part);
    }
  }

  fs::path root_;
  static inline int counter_ = 0;
};

class LinuxPlatformTest : public ::testing::Test {
 protected:
  LinuxPlatform MakePlatform() {
    LinuxPlatformOptions options;
    options.Root = fixture.root();
    options.WatchHotplug = false;
    options.Ioctl = [this](int, sg_io_hdr_t* header) {
      seen.push_back(*header);
      // The header points into the caller's record, which is gone once the call returns.
      seenCdbs.emplace_back(header->cmdp, header->cmdp + header->cmd_len);
      if (header->dxfer_direction == SG_DXFER_FROM_DEV && header->dxfer_len > 0) {
        static_cast<unsigned char*>(header->dxferp)[0] = 0x5A;
      }
      header->resid = nextResid;
      header->info = nextInfo;
      errno = nextErrno;
      return nextRc;
    };
    options.ReservedSizeIoctl = [this](int, int* bytes) {
      *bytes = reservedBytes;
      return reservedRc;
    };
    return LinuxPlatform(options);
  }

  SysfsFixture fixture;
  std::vector<sg_io_hdr_t> seen;
  std::vector<std::vector<unsigned char>> seenCdbs;
  int nextRc = 0;
  int nextErrno = 0;
  int nextResid = 0;
  unsigned nextInfo = SG_INFO_OK;
  int reservedBytes = 32768;
  int reservedRc = 0;
};

TEST_F(LinuxPlatformTest, EnumeratesOnlyBridgesOnUsbAndFirewirePerClass) {
  LinuxPlatform platform = MakePlatform();
  std::vector<std::string> disks;
  std::vector<std::string> cdroms;
  ASSERT_TRUE(platform.EnumerateInterfaces(InterfaceClass::Disk, disks));
  ASSERT_TRUE(platform.EnumerateInterfaces(InterfaceClass::Cdrom, cdroms));
  EXPECT_EQ((std::vector<std::string>{"usbstor:disk:/dev/sg2", "sbp2:disk:/dev/sg3"}), disks);
  EXPECT_EQ((std::vector<std::string>{"usbstor:cdrom:/dev/sg4"}), cdroms);
  for (const auto& path : disks) {
    EXPECT_TRUE(path.find("usbsto") != std::string::npos || path.find("sbp2") != std::string::npos);
  }
}

TEST_F(LinuxPlatformTest, UnitFacetsComeFromTheUsbDeviceOrTheFirewireNodeAboveTheDisk) {
  LinuxPlatform platform = MakePlatform();
  const SystemUnitFacets usb = platform.UnitFacetsOf("usbstor:disk:/dev/sg2");
  EXPECT_EQ(usb.UsbSerial, "3F2A0017");
  EXPECT_EQ(usb.PortPath, "usb:2-1");  // the bridge's own port, not the root hub's
  EXPECT_EQ(usb.Guid1394, "");
  // The CD-ROM of the same enclosure is the same unit.
  const SystemUnitFacets cdrom = platform.UnitFacetsOf("usbstor:cdrom:/dev/sg4");
  EXPECT_EQ(cdrom.UsbSerial, usb.UsbSerial);
  EXPECT_EQ(cdrom.PortPath, usb.PortPath);

  const SystemUnitFacets firewire = platform.UnitFacetsOf("sbp2:disk:/dev/sg3");
  EXPECT_EQ(firewire.Guid1394, "0001020304050607");
  EXPECT_EQ(firewire.UsbSerial, "");
  EXPECT_EQ(firewire.PortPath, "");

  // A device without a serial string still has its port; nothing is made up for it.
  fs::remove(fixture.root() / SysfsFixture::kUsbDevice / "serial");
  const SystemUnitFacets noSerial = platform.UnitFacetsOf("usbstor:disk:/dev/sg2");
  EXPECT_EQ(noSerial.UsbSerial, "");
  EXPECT_EQ(noSerial.PortPath, "usb:2-1");

  EXPECT_EQ(platform.UnitFacetsOf("usbstor:disk:/dev/sg9").PortPath, "");
  EXPECT_EQ(platform.UnitFacetsOf("blockdev:8:17").PortPath, "");
}

TEST_F(LinuxPlatformTest, VolumesMatchTheBridgeDiskButNeverRootOrNetwork) {
  LinuxPlatform platform = MakePlatform();
  const auto volumes = platform.ListVolumes();
  ASSERT_EQ(2u, volumes.size());  // sda1 (system) and sdb1 once; nfs has no block device
  EXPECT_EQ("sda1", volumes[0].Name);
  EXPECT_TRUE(volumes[0].IsSystem);
  EXPECT_EQ("sdb1", volumes[1].Name);
  EXPECT_FALSE(volumes[1].IsSystem);

  ScopedActivePlatform scope(platform);
  std::string letters;
  FindVolumeLetters("usbstor:disk:/dev/sg2", letters);
  EXPECT_EQ("sdb1", letters);
  FindVolumeLetters("sbp2:disk:/dev/sg3", letters);
  EXPECT_EQ("", letters);
  StorageDeviceNumber number;
  ASSERT_EQ(1, GetDeviceNumber("usbstor:disk:/dev/sg2", number));
  EXPECT_EQ(8u, number.DeviceType);
  EXPECT_EQ(16u, number.DeviceNumber);
}

TEST_F(LinuxPlatformTest, SgHeaderForEachDirection) {
  LinuxPlatform platform = MakePlatform();
  ScopedActivePlatform scope(platform);
  CommandBlock in;
  in[0] = 0xFF;
  in[1] = 0x04;
  in[2] = 0x10;
  std::uint8_t buffer[512] = {};
  std::uint32_t transferred = 0;
  // 12 bytes short: the moved length comes back, and the read is no read of 512 bytes.
  nextResid = 12;
  ASSERT_EQ(0, PassThroughIn("usbstor:disk:/dev/sg2", in, buffer, 512, &transferred));
  EXPECT_EQ(500u, transferred);
  EXPECT_EQ(0x5A, buffer[0]);

  nextResid = 0;
  CommandBlock out;
  out[0] = 0xFF;
  out[1] = 0x04;
  out[2] = 0x13;
  ASSERT_EQ(1, PassThroughOut("usbstor:disk:/dev/sg2", out, nullptr, 0));
  const std::uint8_t one = 7;
  ASSERT_EQ(1, PassThroughOut("usbstor:disk:/dev/sg2", CommandBlock(12), &one, 1));

  ASSERT_EQ(3u, seen.size());
  EXPECT_EQ('S', seen[0].interface_id);
  EXPECT_EQ(SG_DXFER_FROM_DEV, seen[0].dxfer_direction);
  EXPECT_EQ(512u, seen[0].dxfer_len);
  EXPECT_EQ(12, seen[0].cmd_len);
  EXPECT_EQ(10000u, seen[0].timeout);
  EXPECT_NE(nullptr, seen[0].sbp);
  EXPECT_EQ(SG_DXFER_NONE, seen[1].dxfer_direction);
  EXPECT_EQ(0u, seen[1].dxfer_len);
  EXPECT_EQ(100000u, seen[1].timeout);
  EXPECT_EQ(SG_DXFER_TO_DEV, seen[2].dxfer_direction);
  EXPECT_EQ(2u, seen[2].dxfer_len);
  EXPECT_EQ(50000u, seen[2].timeout);
}

TEST_F(LinuxPlatformTest, FailuresOfIoctlAndCommandAreFailures) {
  LinuxPlatform platform = MakePlatform();
  ScopedActivePlatform scope(platform);
  std::uint8_t buffer[4] = {1, 2, 3, 4};
  nextInfo = SG_INFO_CHECK;
  EXPECT_EQ(0, PassThroughIn("usbstor:disk:/dev/sg2", CommandBlock(12), buffer, 4));
  nextInfo = SG_INFO_OK;
  nextRc = -1;
  nextErrno = ENODEV;
  std::uint32_t transferred = 99;
  EXPECT_EQ(0, PassThroughIn("usbstor:disk:/dev/sg2", CommandBlock(12), buffer, 4, &transferred));
  EXPECT_EQ(0u, transferred);
  // A path that is not ours, or a node that is missing, does not open.
  EXPECT_EQ(0, PassThroughIn("usbstor:disk:/dev/sg9", CommandBlock(12), buffer, 4));
  EXPECT_EQ(0, PassThroughIn("\\\\?\\usbstor#disk", CommandBlock(12), buffer, 4));
}

TEST_F(LinuxPlatformTest, TransferLargerThanKernelLimitFailsWithoutSending) {
  LinuxPlatform platform = MakePlatform();
  ScopedActivePlatform scope(platform);
  std::vector<std::uint8_t> big(1 << 20);
  // The fixture's max_sectors accepts the write but the limit does not move: no raise.
  EXPECT_EQ(0, PassThroughIn("usbstor:disk:/dev/sg2", CommandBlock(12), big.data(), 1 << 20));
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(static_cast<std::uint32_t>(E2BIG), platform.LastErrorCode());
  // Within the limit it goes through.
  EXPECT_EQ(1, PassThroughIn("usbstor:disk:/dev/sg2", CommandBlock(12), big.data(), 120 * 1024));
  // Once the limit allows it, so does the large one.
  fixture.File(
      "sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb/"
      "queue/max_hw_sectors_kb",
      "1024\n");
  EXPECT_EQ(1, PassThroughIn("usbstor:disk:/dev/sg2", CommandBlock(12), big.data(), 1 << 20));
}

// What the kernel carries per request, as read before a transfer is cut: the disk's queue, else
// the SCSI device's own attribute (no block driver bound), else the sg driver's reserved buffer.
TEST_F(LinuxPlatformTest, TransferLimitComesFromTheQueueThenTheDeviceThenTheSgDriver) {
  LinuxPlatform platform = MakePlatform();
  const std::string scsi =
      "sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0";
  EXPECT_EQ(120u * 1024, platform.MaxTransferBytes("usbstor:disk:/dev/sg2"));
  fs::remove(fixture.root() / scsi / "block/sdb/queue/max_hw_sectors_kb");
  fixture.File(scsi + "/max_sectors", "64\n");
  EXPECT_EQ(32u * 1024, platform.MaxTransferBytes("usbstor:disk:/dev/sg2"));

  // The CD-ROM has neither; its node answers the reserved-size request.
  EXPECT_EQ(32768u, platform.MaxTransferBytes("usbstor:cdrom:/dev/sg4"));
  reservedRc = -1;
  EXPECT_EQ(0u, platform.MaxTransferBytes("usbstor:cdrom:/dev/sg4"));
  EXPECT_EQ(0u, platform.MaxTransferBytes("\\\\?\\usbstor#disk"));
}

// A block read longer than the queue carries reaches the kernel as requests within it, each
// naming the flash address of its own first byte.
TEST_F(LinuxPlatformTest, BlockReadAboveTheQueueLimitGoesInAddressedPieces) {
  LinuxPlatform platform = MakePlatform();
  ScopedActivePlatform scope(platform);
  std::vector<std::uint8_t> area(256 * 1024);
  ASSERT_EQ(1, ReadFlashBlock("usbstor:disk:/dev/sg2", 0, area.data(), 256 * 1024));
  ASSERT_EQ(3u, seen.size());
  const std::uint32_t lengths[] = {122880, 122880, 16384};
  const std::uint32_t addresses[] = {0, 122880, 245760};
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(lengths[i], seen[i].dxfer_len);
    const std::vector<unsigned char>& cdb = seenCdbs[i];
    EXPECT_EQ(addresses[i], (std::uint32_t{cdb[3]} << 16) | (std::uint32_t{cdb[4]} << 8) | cdb[5]);
  }
}

TEST(MountInfoTest, ParsesOptionalFieldsAndNetworkTypes) {
  const auto mounts = ParseMountInfo(
      "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 shared:2 - ext3 /dev/root rw,errors=continue\n"
      "garbage line\n"
      "37 35 0:51 / /net rw - cifs //srv/share rw\n");
  ASSERT_EQ(2u, mounts.size());
  EXPECT_EQ((BlockNumber{98, 0}), mounts[0].Number);
  EXPECT_EQ("/mnt2", mounts[0].MountPoint);
  EXPECT_EQ("ext3", mounts[0].FsType);
  EXPECT_TRUE(IsNetworkFsType(mounts[1].FsType));
  EXPECT_FALSE(IsNetworkFsType("vfat"));
}

// What the midlayer reports for one request, as the outcome the record carries back.
struct SgAnswer {
  int Rc = 0;
  int Errno = 0;
  unsigned char Status = 0;
  unsigned short Host = 0;
  unsigned short Driver = 0;
  std::vector<unsigned char> Sense;
  int Resid = 0;
};

PassThroughRecord RunSgIo(const SgAnswer& answer, bool& ok) {
  std::uint8_t data[64] = {};
  PassThroughRecord record;
  record.CdbLength = 16;
  record.DataIn = 1;
  record.DataTransferLength = sizeof data;
  record.DataBuffer = data;
  const SgIoctl ioctl = [&answer](int, sg_io_hdr_t* header) {
    header->status = answer.Status;
    header->masked_status = static_cast<unsigned char>(answer.Status >> 1);
    header->host_status = answer.Host;
    header->driver_status = answer.Driver;
    const std::size_t sense = std::min<std::size_t>(answer.Sense.size(), header->mx_sb_len);
    std::copy_n(answer.Sense.begin(), sense, header->sbp);
    header->sb_len_wr = static_cast<unsigned char>(sense);
    header->resid = answer.Resid;
    const bool clean = answer.Status == 0 && answer.Host == 0 && answer.Driver == 0;
    header->info = clean ? SG_INFO_OK : SG_INFO_CHECK;
    errno = answer.Errno;
    return answer.Rc;
  };
  ok = ExecuteSgIo(3, record, ioctl).Ok;
  return record;
}

TEST(SgIoOutcomeTest, EachEndOfARequestHasItsCategory) {
  // Fixed-format sense of a drive refusing a block past its end.
  const std::vector<unsigned char> lbaOutOfRange = {0x70, 0, 0x05, 0, 0, 0,    0,
                                                    10,   0, 0,    0, 0, 0x21, 0};
  // The same in descriptor format, as newer drives send it.
  const std::vector<unsigned char> descriptorFormat = {0x72, 0x05, 0x21, 0x00, 0, 0, 0, 0};
  struct Case {
    const char* Name;
    SgAnswer Answer;
    bool Ok;
    PassThroughResult Result;
    std::uint32_t Moved;
  };
  const Case cases[] = {
      {"good, 16 bytes short", {0, 0, 0, 0, 0, {}, 16}, true, PassThroughResult::Good, 48},
      {"check condition",
       {0, 0, 0x02, 0, 0x08, lbaOutOfRange, 64},
       false,
       PassThroughResult::CheckCondition,
       0},
      {"check condition, descriptor sense",
       {0, 0, 0x02, 0, 0x08, descriptorFormat, 64},
       false,
       PassThroughResult::CheckCondition,
       0},
      {"host adapter time-out", {0, 0, 0, 0x03, 0, {}, 64}, false, PassThroughResult::Timeout, 0},
      {"driver time-out", {0, 0, 0, 0, 0x06, {}, 64}, false, PassThroughResult::Timeout, 0},
      {"bus error", {0, 0, 0, 0x07, 0, {}, 64}, false, PassThroughResult::TransportError, 0},
      {"busy status", {0, 0, 0x08, 0, 0, {}, 64}, false, PassThroughResult::TransportError, 0},
      {"the ioctl itself refused",
       {-1, ENODEV, 0, 0, 0, {}, 0},
       false,
       PassThroughResult::OsError,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    bool ok = false;
    const PassThroughRecord record = RunSgIo(c.Answer, ok);
    EXPECT_EQ(c.Ok, ok);
    EXPECT_EQ(c.Result, record.Outcome.Result);
    EXPECT_EQ(c.Moved, record.DataTransferLength);
    if (c.Result == PassThroughResult::CheckCondition) {
      EXPECT_TRUE(IsLbaOutOfRange(record.Outcome));
      EXPECT_EQ(c.Answer.Sense.size(), record.Outcome.SenseLength);
    } else {
      EXPECT_FALSE(IsLbaOutOfRange(record.Outcome));
    }
  }
}

}  // namespace
}  // namespace q71x::linux_platform
#endif
