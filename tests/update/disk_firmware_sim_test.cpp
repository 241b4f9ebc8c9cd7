// SPDX-License-Identifier: GPL-2.0-or-later
// The disk-kept firmware procedures against a simulated bridge with an attached drive: where the
// image lands, what the descriptor says, what a later look at the disk finds, and what every
// failure leaves on the disk.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sim/simulated_system.h"
#include "src/device/disk_firmware_area.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/update/disk/disk_firmware_layout.h"
#include "src/update/disk/disk_firmware_update.h"
#include "src/update/update_texts.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/recording_window.h"
#include "tests/update/disk_and_parallel_test_files.h"
#include "tests/update/expected_texts.h"

namespace q71x {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::kPowerCycle;
using testing::PatternBytes;

constexpr std::uint32_t kBlock = 65536;

// How the bridge says it keeps firmware on the disk: chip type 14 through the configuration
// block, the others through the signature in controller memory.
struct DiskBridge {
  int chipType = 13;
  bool firmwarePresent = false;
  bool shifted = false;
};

sim::BridgePersonality MakePersonality(const DiskBridge& bridge) {
  sim::BridgePersonality personality;
  personality.Label = "disk-kept firmware";
  Bytes config(18, 0x00);
  config[8] = 0xD0;
  config[16] = bridge.chipType == 14 && bridge.firmwarePresent ? 0x01 : 0x00;
  config[17] = bridge.shifted ? 0x01 : 0x00;
  personality.ConfigBlock = config;
  if (bridge.chipType != 14 && bridge.firmwarePresent) {
    personality.PowerOnMemory.push_back({0xC000, {0x55, 0xAA}});
  }
  return personality;
}

sim::AttachedDiskGeometry Geometry(std::uint64_t sectors, std::uint32_t blockSize = 512) {
  sim::AttachedDiskGeometry geometry;
  geometry.BlockSize = blockSize;
  geometry.ReportedSectors = sectors;
  geometry.IdentifySectors = sectors;
  geometry.ReservedSectors = 8192;
  // A blank area: its descriptor reads as zero. The disk stores only the sectors written, so
  // their count shows whether anything outside the area was touched.
  geometry.Unwritten = sim::UnwrittenSectors::Zero;
  return geometry;
}

// What the area must hold after programming `file`: the file, zeros to whole 64 KB blocks, and
// the descriptor (55, the base's low 32 bits high byte first, AA) at bytes 150-155.
Bytes AreaImage(const Bytes& file, std::uint64_t base) {
  Bytes area((file.size() + kBlock - 1) / kBlock * kBlock, 0x00);
  std::copy(file.begin(), file.end(), area.begin());
  const Bytes descriptor = {0x55,
                            static_cast<std::uint8_t>(base >> 24),
                            static_cast<std::uint8_t>(base >> 16),
                            static_cast<std::uint8_t>(base >> 8),
                            static_cast<std::uint8_t>(base),
                            0xAA};
  std::copy(descriptor.begin(), descriptor.end(), area.begin() + 150);
  return area;
}

class DiskFirmwareSimTest : public ::testing::Test {
 public:
  void Attach(const sim::AttachedDiskGeometry& geometry, const DiskBridge& bridge = {}) {
    sim::Enclosure enclosure;
    enclosure.Path = sim::MakeEnclosurePath(sim::Bus::Usb, sim::InterfaceKind::Disk,
                                            "diskfw" + std::to_string(++attached));
    enclosure.Bridge = sim::BridgeState(MakePersonality(bridge));
    enclosure.Bridge.Disk.emplace(geometry);
    sim::Enclosure& added = system.AddEnclosure(std::move(enclosure));
    path = added.Path;
    disk = &*added.Bridge.Disk;
    window.state.ChipType = ToChipType(bridge.chipType);
  }

  Bytes Sectors(std::uint64_t lba, std::uint64_t bytes) const {
    Bytes out(bytes);
    EXPECT_TRUE(disk->Read(lba, static_cast<std::uint32_t>(bytes / disk->BlockSize()), out));
    return out;
  }
  std::string Image(const Bytes& bytes) { return files.Write("image.bin", bytes); }
  void FailCommand(std::initializer_list<std::uint8_t> prefix, int nth = 1,
                   sim::FaultKind kind = sim::FaultKind::Fail) {
    sim::FaultRule rule;
    rule.Pattern = sim::CdbPattern::Prefix(prefix);
    rule.Nth = nth;
    rule.Kind = kind;
    rule.Value = 7;
    system.Faults().Arm(rule);
  }
  int Count(std::uint8_t opcode) {
    int n = 0;
    for (const auto& entry : system.Log().Entries()) {
      n += entry.Cdb[0] == opcode ? 1 : 0;
    }
    return n;
  }
  std::uint64_t BaseNow() const { return GetDiskFirmwareLba(path, disk->BlockSize(), ChipType()); }
  q71x::ChipType ChipType() const { return window.state.ChipType; }

  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform scope{platform};
  testing::RecordingWindow window;
  testing::RecordingDialogs dialogs;
  testing::TempDir files;
  std::string path;
  sim::AttachedDisk* disk = nullptr;
  int attached = 0;
};

TEST_F(DiskFirmwareSimTest, WithoutFirmwareTheAreaLiesInsideTheVisibleDiskBelowItsEnd) {
  const std::uint64_t reported = 0x20037;  // last LBA 0x20036
  Attach(Geometry(reported));
  const Bytes file = PatternBytes(100000);
  window.firmwareFile = Image(file);

  EXPECT_EQ(1, UpdateDiskFirmware(window, path));

  // Base = last LBA; less one, down to a multiple of 256, less 256.
  const std::uint64_t start = 0x1FF00;
  EXPECT_EQ(AreaImage(file, 0x20036), Sectors(start, 2 * kBlock));
  // The area's 256 sectors and nothing else.
  EXPECT_EQ(256u, disk->StoredSectorCount());
  // Kept as it always was: the first programming overwrites sectors the host sees.
  EXPECT_LT(start + 2 * kBlock / 512, reported);
  EXPECT_EQ((std::vector<std::string>{"Programming", "Programming Success!!"}),
            window.statusHistory);
  EXPECT_EQ(std::vector<std::string>{kPowerCycle}, dialogs.BoxTexts());
  EXPECT_EQ(0, Count(0x88));
}

TEST_F(DiskFirmwareSimTest, ProgrammedAreaIsFoundAgainThroughItsDescriptor) {
  for (int chipType : {13, 14, 5}) {
    SCOPED_TRACE(chipType);
    system.Log().Clear();
    const std::uint64_t reported = 0x40000;  // last LBA + 1 on a 256-sector boundary
    Attach(Geometry(reported), DiskBridge{chipType, true, false});
    // A blank area: the base is taken 257 sectors past the first sector beyond the capacity.
    ASSERT_EQ(reported + 257, BaseNow());
    const Bytes file = PatternBytes(65537, static_cast<std::uint8_t>(chipType));
    window.firmwareFile = Image(file);

    ASSERT_EQ(1, UpdateDiskFirmware(window, path));

    EXPECT_EQ(AreaImage(file, reported + 257), Sectors(reported, 2 * kBlock));
    EXPECT_EQ(reported + 257, BaseNow());
    std::uint64_t start = 0;
    ASSERT_TRUE(FwAreaStart(BaseNow(), false, start));
    EXPECT_EQ(reported, start);
    // The area lies past the capacity and nothing else was written: the host's sectors are
    // as they were.
    EXPECT_EQ(256u, disk->StoredSectorCount());
  }
}

TEST_F(DiskFirmwareSimTest, ShiftFlagMovesTheDefaultBaseOneSectorOn) {
  const std::uint64_t reported = 0x30100;  // last LBA 0x300FF; the base is 0x30100 when shifted
  Attach(Geometry(reported), DiskBridge{14, false, true});
  const Bytes file = PatternBytes(3000);
  window.firmwareFile = Image(file);

  ASSERT_EQ(1, UpdateDiskFirmware(window, path));
  EXPECT_EQ(AreaImage(file, 0x30100), Sectors(0x30000, kBlock));
}

TEST_F(DiskFirmwareSimTest, FourKilobyteSectorsMoveEachBlockAsSixteenSectors) {
  const std::uint64_t reported = 0x8000;
  Attach(Geometry(reported, 4096), DiskBridge{13, true, false});
  const Bytes file = PatternBytes(2 * kBlock);
  window.firmwareFile = Image(file);

  ASSERT_EQ(1, UpdateDiskFirmware(window, path));

  EXPECT_EQ(0u, reported % 256);
  EXPECT_EQ(AreaImage(file, reported + 257), Sectors(reported, 2 * kBlock));
  EXPECT_EQ(32u, disk->StoredSectorCount());
  for (const auto& entry : system.Log().Entries()) {
    if (entry.Cdb[0] == 0x2A) {
      EXPECT_EQ(16, (entry.Cdb[7] << 8) | entry.Cdb[8]);
    }
  }
  EXPECT_EQ(reported + 257, BaseNow());
}

TEST_F(DiskFirmwareSimTest, DriveOfTwoToTheThirtyTwoSectorsUsesSixteenByteCommandsOnly) {
  // The low half of the count is small, so a 32-bit computation would land near sector 0.
  const std::uint64_t count = (1ull << 32) + 0x1234;
  Attach(Geometry(count), DiskBridge{13, true, false});
  const std::uint64_t start = (count + 255) / 256 * 256;
  ASSERT_EQ(start + 257, BaseNow());
  const Bytes file = PatternBytes(70000);
  window.firmwareFile = Image(file);

  ASSERT_EQ(1, UpdateDiskFirmware(window, path));

  EXPECT_EQ(AreaImage(file, start + 257), Sectors(start, 2 * kBlock));
  EXPECT_EQ(start + 257, BaseNow());
  EXPECT_EQ(0, Count(0x28));
  EXPECT_EQ(0, Count(0x2A));
  EXPECT_EQ(2, Count(0x8A));
  EXPECT_EQ(256u, disk->StoredSectorCount());
}

TEST_F(DiskFirmwareSimTest, DriveOfTwoToTheThirtyTwoSectorsWithoutFirmwareKeepsTheBorrow) {
  const std::uint64_t count = 1ull << 32;  // low half 0: base = count - 1
  Attach(Geometry(count));
  const Bytes file = PatternBytes(1000);
  window.firmwareFile = Image(file);

  ASSERT_EQ(1, UpdateDiskFirmware(window, path));
  EXPECT_EQ(AreaImage(file, count - 1), Sectors(0xFFFFFE00ull, kBlock));
  EXPECT_EQ(128u, disk->StoredSectorCount());
}

TEST_F(DiskFirmwareSimTest, EraseOnlyZeroesTheFirstBlockAndKeepsTheDescriptor) {
  const std::uint64_t reported = 0x40000;
  Attach(Geometry(reported), DiskBridge{13, true, false});
  window.firmwareFile = Image(PatternBytes(3 * kBlock));
  ASSERT_EQ(1, UpdateDiskFirmware(window, path));
  const Bytes laterBlocks = Sectors(reported + 128, 2 * kBlock);

  window.rdVersion = true;
  window.eraseOnly = true;
  window.statusHistory.clear();
  ASSERT_EQ(1, UpdateDiskFirmware(window, path));

  Bytes expected(kBlock, 0x00);
  const Bytes descriptor = AreaImage(Bytes(1), reported + 257);
  std::copy_n(descriptor.begin() + 150, 6, expected.begin() + 150);
  EXPECT_EQ(expected, Sectors(reported, kBlock));
  EXPECT_EQ(laterBlocks, Sectors(reported + 128, 2 * kBlock));
  EXPECT_EQ(reported + 257, BaseNow());
  EXPECT_EQ(std::vector<std::string>{"Erase all data in HDD success!!"}, window.statusHistory);
  EXPECT_EQ((std::vector<std::string>{kPowerCycle, kPowerCycle}), dialogs.BoxTexts());
}

TEST_F(DiskFirmwareSimTest, EraseOnlyWithoutFirmwareZeroesTheWholeBlock) {
  Attach(Geometry(0x10000));
  window.rdVersion = true;
  window.eraseOnly = true;

  ASSERT_EQ(1, UpdateDiskFirmware(window, path));
  EXPECT_EQ(Bytes(kBlock, 0x00), Sectors(0xFE00, kBlock));
}

TEST_F(DiskFirmwareSimTest, BackupReadsFirmwareSizeBytesFromTheAreaStart) {
  const std::uint64_t reported = 0x40000;
  Attach(Geometry(reported), DiskBridge{13, true, false});
  const Bytes file = PatternBytes(40000);
  window.firmwareFile = Image(file);
  ASSERT_EQ(1, UpdateDiskFirmware(window, path));

  window.rdVersion = true;
  window.backupOnly = true;
  window.settings.FirmwareSize = 131072;
  window.statusHistory.clear();
  testing::ScopedCurrentDir here(files.Path());
  EXPECT_EQ(1, UpdateDiskFirmware(window, path));

  // Whatever the image size: the programmed block, then the area's second block as it lies.
  Bytes expected = AreaImage(file, reported + 257);
  const Bytes second = Sectors(reported + 128, kBlock);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(expected, testing::ReadFileBytes(files.File("oldFlash.bak")));
  EXPECT_EQ((std::vector<std::string>{"Backup ...", "Read flash and backup success!"}),
            window.statusHistory);
  EXPECT_EQ((std::vector<std::string>{kPowerCycle, "Default backup firmware as OldFalsh.bak!"}),
            dialogs.BoxTexts());
}

TEST_F(DiskFirmwareSimTest, EngineeringBoxesCountOnlyWithRdVersion) {
  Attach(Geometry(0x40000), DiskBridge{13, true, false});
  const Bytes file = PatternBytes(500);
  window.firmwareFile = Image(file);
  window.eraseOnly = true;  // "RD Version" unticked: programming runs

  ASSERT_EQ(1, UpdateDiskFirmware(window, path));
  EXPECT_EQ(AreaImage(file, 0x40000 + 257), Sectors(0x40000, kBlock));
}

TEST_F(DiskFirmwareSimTest, AreaThatWouldWrapOrReachSectorZeroIsNeverWritten) {
  // 300 sectors: base 299, down to 256, less 256 would be sector 0 and the partition table.
  Attach(Geometry(300));
  window.firmwareFile = Image(PatternBytes(100));
  EXPECT_EQ(0, UpdateDiskFirmware(window, path));
  EXPECT_EQ("Firmware area position out of range, firmware area not accessed!",
            window.StatusText());

  window.rdVersion = true;
  window.eraseOnly = true;
  EXPECT_EQ(0, UpdateDiskFirmware(window, path));
  EXPECT_EQ("Firmware area position out of range, firmware area not accessed!",
            window.StatusText());
  EXPECT_EQ(0, Count(0x2A));
  EXPECT_EQ(0u, disk->StoredSectorCount());
  EXPECT_TRUE(dialogs.Boxes().empty());
}

// More than the largest firmware the tool handles for these bridges: most likely some other file
// (a disk image), and written out it would reach far into the ordinary disk.
TEST_F(DiskFirmwareSimTest, AnImageLargerThanOneMegabyteIsRefusedBeforeTheDiskIsWritten) {
  Attach(Geometry(0x40000), DiskBridge{13, true, false});
  window.firmwareFile = Image(PatternBytes(0x100000 + 1));

  EXPECT_EQ(0, UpdateDiskFirmware(window, path));

  EXPECT_EQ(std::string(kImageTooLargeText), window.StatusText());
  EXPECT_EQ(0, Count(0x2A));
  EXPECT_TRUE(dialogs.Boxes().empty());
}

// One failure row: the fault, the procedure's end, and what the disk holds afterwards.
struct ProgramFailureRow {
  const char* name;
  std::uint64_t sectors;  // >= 2^32: the 16-byte path
  std::uint8_t opcode;    // command that fails
  int nth;
  sim::FaultKind kind;
  const char* status;
  std::size_t storedSectors;
};

class DiskProgramFailureTest : public DiskFirmwareSimTest,
                               public ::testing::WithParamInterface<ProgramFailureRow> {};

TEST_P(DiskProgramFailureTest, LeavesItsTextAndTheBlocksBeforeIt) {
  const ProgramFailureRow& row = GetParam();
  Attach(Geometry(row.sectors), DiskBridge{13, true, false});
  window.firmwareFile = Image(PatternBytes(3 * kBlock));
  FailCommand({row.opcode}, row.nth, row.kind);

  EXPECT_EQ(0, UpdateDiskFirmware(window, path));
  EXPECT_EQ(row.status, window.StatusText());
  EXPECT_EQ(row.storedSectors, disk->StoredSectorCount());
  EXPECT_TRUE(dialogs.Boxes().empty());
}

constexpr std::uint64_t kSmall = 0x40000;
constexpr std::uint64_t kHuge = (1ull << 32) + 0x40000;

INSTANTIATE_TEST_SUITE_P(
    Rows, DiskProgramFailureTest,
    ::testing::Values(ProgramFailureRow{"FirstWrite10", kSmall, 0x2A, 1, sim::FaultKind::Fail,
                                        "Write Data To HDD FAIL!!", 0},
                      ProgramFailureRow{"SecondWrite10", kSmall, 0x2A, 2, sim::FaultKind::Fail,
                                        "Write Data To HDD FAIL!!", 128},
                      ProgramFailureRow{"SecondWrite16", kHuge, 0x8A, 2, sim::FaultKind::Fail,
                                        "Write Data SCSI16 To HDD FAIL!!", 128},
                      // The first three reads prove the descriptor (the second copy in two
                      // pieces); the block read-backs follow.
                      ProgramFailureRow{"ReadBack10", kSmall, 0x28, 5, sim::FaultKind::Fail,
                                        "Read Data From HDD FAIL!!", 256},
                      ProgramFailureRow{"ReadBack16", kHuge, 0x88, 4, sim::FaultKind::Timeout,
                                        "Read Data SCSI16 From HDD FAIL!!", 128},
                      ProgramFailureRow{"ReadBackDiffers", kSmall, 0x28, 6, sim::FaultKind::Garbage,
                                        "Compare Data in HDD FAIL!!", 384}),
    [](const ::testing::TestParamInfo<ProgramFailureRow>& info) { return info.param.name; });

TEST_F(DiskFirmwareSimTest, ProgrammingRefusalsLeaveTheDiskUntouched) {
  Attach(Geometry(kSmall), DiskBridge{13, true, false});
  struct Case {
    std::string file;
    int failingBuffer;
    std::string status;
  };
  const std::vector<Case> cases = {
      {files.File("missing.bin"), 0, "Open File Error!!"},
      {files.Write("empty.bin", {}), 0, "Firmware file is empty (0 bytes), nothing erased!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    window.firmwareFile = c.file;
    testing::FailNthWorkBuffer failure(c.failingBuffer);
    EXPECT_EQ(0, UpdateDiskFirmware(window, path));
    EXPECT_EQ(c.status, window.StatusText());
  }
  EXPECT_EQ(0, Count(0x2A));
  EXPECT_TRUE(dialogs.Boxes().empty());
}

struct EraseFailureRow {
  const char* name;
  std::uint8_t opcode;
  int nth;
  sim::FaultKind kind;
  const char* status;
  bool written;
};

class DiskEraseFailureTest : public DiskFirmwareSimTest,
                             public ::testing::WithParamInterface<EraseFailureRow> {};

TEST_P(DiskEraseFailureTest, NeverReportsAnEraseThatWasNotProven) {
  const EraseFailureRow& row = GetParam();
  Attach(Geometry(kSmall), DiskBridge{13, true, false});
  window.rdVersion = true;
  window.eraseOnly = true;
  FailCommand({row.opcode}, row.nth, row.kind);

  EXPECT_EQ(0, UpdateDiskFirmware(window, path));
  EXPECT_EQ(row.status, window.StatusText());
  EXPECT_EQ(row.written, disk->StoredSectorCount() != 0);
  EXPECT_TRUE(dialogs.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DiskEraseFailureTest,
    ::testing::Values(
        // READ(10) 1 to 3 prove the descriptor of the area base (its second copy in two pieces),
        // 4 and 5 the bytes kept.
        EraseFailureRow{"DescriptorRead", 0x28, 4, sim::FaultKind::Fail,
                        "Read Data From HDD FAIL!!", false},
        EraseFailureRow{"DescriptorReadGarbled", 0x28, 5, sim::FaultKind::Garbage,
                        "Read Data From HDD FAIL!!", false},
        EraseFailureRow{"Write", 0x2A, 1, sim::FaultKind::Fail, "Write Data To HDD FAIL!!", false},
        EraseFailureRow{"ReadBack", 0x28, 6, sim::FaultKind::Fail, "Read Data From HDD FAIL!!",
                        true},
        EraseFailureRow{"ReadBackDiffers", 0x28, 6, sim::FaultKind::Garbage,
                        "Compare data in HDD fail!!", true}),
    [](const ::testing::TestParamInfo<EraseFailureRow>& info) { return info.param.name; });

TEST_F(DiskFirmwareSimTest, BufferThatCannotBeHadStopsBeforeAnythingIsWritten) {
  // Locating the area takes six buffers (the second copy of each of the five proven answers and
  // the record); programming then takes the image, block and read-back buffers, erasing the
  // pattern, the read-back and the second copy of the kept descriptor.
  constexpr int kBuffersBeforeTheFirstWrite = 9;
  Attach(Geometry(kSmall), DiskBridge{13, true, false});
  window.firmwareFile = Image(PatternBytes(10));
  for (const bool erase : {false, true}) {
    SCOPED_TRACE(erase ? "erase" : "programming");
    window.rdVersion = erase;
    window.eraseOnly = erase;
    const std::size_t boxes = dialogs.Boxes().size();
    const Bytes area = Sectors(kSmall, kBlock);
    for (int failing = 1; failing <= kBuffersBeforeTheFirstWrite; ++failing) {
      SCOPED_TRACE(failing);
      testing::FailNthWorkBuffer failure(failing);
      EXPECT_EQ(0, UpdateDiskFirmware(window, path));
      EXPECT_EQ("Allocate read buffer Error!!", window.StatusText());
      EXPECT_EQ(area, Sectors(kSmall, kBlock));
    }
    EXPECT_EQ(boxes, dialogs.Boxes().size());
    // The count is exact: with every one of them had, the run goes through.
    testing::FailNthWorkBuffer failure(kBuffersBeforeTheFirstWrite + 1);
    EXPECT_EQ(1, UpdateDiskFirmware(window, path));
  }
}

TEST_F(DiskFirmwareSimTest, BackupFailuresAreNeverReportedAsABackup) {
  Attach(Geometry(kSmall), DiskBridge{13, true, false});
  window.rdVersion = true;
  window.backupOnly = true;
  struct Case {
    std::string name;
    std::string backupFile;
    bool readFails;
    int failingBuffer;
    std::vector<std::string> lastTexts;
  };
  const std::vector<Case> cases = {
      {"buffer not had",
       files.File("a.bak"),
       false,
       1,
       {"Allocate read buffer Error!!", "Read Back to Backup Error!!"}},
      {"read refused", files.File("b.bak"), true, 0, {"Backup ...", "Read Back to Backup Error!!"}},
      {"file not created",
       files.File("no/dir/c.bak"),
       false,
       0,
       {"Open Backup File Error!!", "Read Back to Backup Error!!"}},
      {"file not written whole",
       files.File("g.bak"),
       false,
       0,
       {std::string(kWriteBackupFileErrorText), "Read Back to Backup Error!!"}},
      {"name too long", std::string(260, 'n'), false, 0, {"Backup file name too long!"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<testing::ScopedFileSizeLimit> diskFull;
    if (c.name == "file not written whole" && !diskFull.emplace(4096).Active()) {
      continue;  // no way to fill the disk on this system
    }
    window.statusHistory.clear();
    window.backupFile = c.backupFile;
    system.Faults().Clear();
    if (c.readFails) {
      // READ(10) 1 to 3 prove the descriptor (its second copy in two pieces); 4 is the
      // backup's own first read.
      FailCommand({0x28}, 4);
    }
    testing::FailNthWorkBuffer failure(c.failingBuffer);
    EXPECT_EQ(0, UpdateDiskFirmware(window, path));
    ASSERT_GE(window.statusHistory.size(), c.lastTexts.size());
    EXPECT_EQ(c.lastTexts, std::vector<std::string>(window.statusHistory.end() - c.lastTexts.size(),
                                                    window.statusHistory.end()));
  }
  EXPECT_FALSE(std::filesystem::exists(files.File("a.bak")));
  EXPECT_FALSE(std::filesystem::exists(files.File("b.bak")));
  EXPECT_FALSE(std::filesystem::exists(files.File("g.bak")));
  EXPECT_TRUE(dialogs.Boxes().empty());
}

}  // namespace
}  // namespace q71x
