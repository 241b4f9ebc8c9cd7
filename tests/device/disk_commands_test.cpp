// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "src/device/disk_commands.h"
#include "src/device/disk_firmware_area.h"
#include "tests/device/command_test_helpers.h"

namespace q71x {
namespace {

using testing::ByteVector;
using testing::Cdb12;
using testing::kBridgePath;
using testing::Padded;
using testing::RecordedCommand;
using testing::Reply;
using testing::ScriptedReply;

constexpr std::uint64_t k2To32 = 1ull << 32;

// IDENTIFY DEVICE data with the 28-bit count in words 60-61 and the 48-bit one in 100-103.
ByteVector IdentifyData(std::uint32_t count28, std::uint64_t count48) {
  ByteVector data(512, 0);
  for (int i = 0; i < 4; ++i) {
    data[120 + i] = static_cast<std::uint8_t>(count28 >> (8 * i));
  }
  for (int i = 0; i < 8; ++i) {
    data[200 + i] = static_cast<std::uint8_t>(count48 >> (8 * i));
  }
  return data;
}

ByteVector IdentifyForCount(std::uint64_t count) {
  return count < 0x0FFFFFFF ? IdentifyData(static_cast<std::uint32_t>(count), 0)
                            : IdentifyData(0x0FFFFFFF, count);
}

// Scripted answers of a bridge with a disk behind it, by command.
struct DiskReplies {
  bool CapacityOk = true;
  std::uint32_t LastLba = 0;
  std::uint32_t BlockSize = 512;
  bool IdentifyOk = true;
  std::uint64_t SectorCount = 0;
  bool ConfigOk = true;
  ByteVector Config = ByteVector(18, 0);
  bool MemoryOk = true;
  ByteVector Signature = {0, 0, 0, 0};
  bool RecordOk = true;
  std::uint32_t Descriptor = 0;
  std::uint8_t LeadMark = 0x55;
  std::uint8_t TrailMark = 0xAA;

  void SetShift(bool shift) {
    Config[8] = 0xD0;
    Config[17] = shift ? 1 : 0;
  }
  void SetFirmwarePresent() { Signature = {0x55, 0xAA, 0, 0}; }

  ScriptedReply Answer(const RecordedCommand& c) const {
    auto gated = [](bool ok, ByteVector data) {
      ScriptedReply reply = Reply(std::move(data));
      reply.Ok = ok;
      return reply;
    };
    switch (c.Cdb[0]) {
      case 0x25: {
        ByteVector data(8);
        for (int i = 0; i < 4; ++i) {
          data[i] = static_cast<std::uint8_t>(LastLba >> (24 - 8 * i));
          data[4 + i] = static_cast<std::uint8_t>(BlockSize >> (24 - 8 * i));
        }
        return gated(CapacityOk, data);
      }
      case 0xDF:
        if (c.Cdb[11] == 0xEC) {
          return gated(IdentifyOk, IdentifyForCount(SectorCount));
        }
        return gated(MemoryOk, Signature);
      case 0xFF:
        return gated(ConfigOk, Config);
      case 0x28:
      case 0x88: {
        ByteVector record(c.Record.DataTransferLength, 0xA5);
        record[150] = LeadMark;
        for (int i = 0; i < 4; ++i) {
          record[151 + i] = static_cast<std::uint8_t>(Descriptor >> (24 - 8 * i));
        }
        record[155] = TrailMark;
        return gated(RecordOk, record);
      }
      default:
        return ScriptedReply{};
    }
  }
};

class DiskCommandTest : public testing::CommandTest {
 protected:
  void Answer(const DiskReplies& disk) {
    replies = std::make_shared<DiskReplies>(disk);
    platform.SetResponder([r = replies](const RecordedCommand& c) { return r->Answer(c); });
  }
  std::shared_ptr<DiskReplies> replies;
};

struct LayoutCase {
  const char* Name;
  std::function<int()> Send;
  ByteVector Cdb;
  std::uint8_t DataIn;
  std::uint32_t WireLength;
  std::uint32_t TimeoutSeconds;
};

TEST_F(DiskCommandTest, BlocksDirectionsLengthsAndTimeouts) {
  static std::uint8_t area[4096];
  const auto& p = kBridgePath;
  const LayoutCase cases[] = {
      {"READ CAPACITY for the block size", [&] { return static_cast<int>(GetBlockSize(p)); },
       Cdb12({0x25}), 1, 8, 10},
      {"READ CAPACITY for the last LBA", [&] { return static_cast<int>(GetLastLba(p)); },
       Cdb12({0x25}), 1, 8, 10},
      {"IDENTIFY DEVICE", [&] { return static_cast<int>(IdentifySectorCount(p)); },
       Cdb12({0xDF, 0x10, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA0, 0xEC}), 1, 512, 10},
      {"READ(10)", [&] { return DiskRead10(p, 0x01020304, area, 2048, 512); },
       Padded({0x28, 0x00, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x04, 0x00}, 10), 1, 2048, 10},
      {"WRITE(10)", [&] { return DiskWrite10(p, 0x00ABCDEF, area, 4096, 4096); },
       Padded({0x2A, 0x00, 0x00, 0xAB, 0xCD, 0xEF, 0x00, 0x00, 0x01, 0x00}, 10), 0, 4096, 50},
      // The transport's byte-2 rule reaches a write whose LBA starts with 13.
      {"WRITE(10) to an LBA starting 13",
       [&] { return DiskWrite10(p, 0x13000000, area, 512, 512); },
       Padded({0x2A, 0x00, 0x13, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00}, 10), 0, 512, 100},
      {"READ(16)",
       [&] { return DiskRead16(p, 0x0102030405060708ull, area, 2048, 512); },
       {0x88, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x00, 0x00, 0x00, 0x04, 0x00,
        0x00},
       1,
       2048,
       10},
      {"WRITE(16)",
       [&] { return DiskWrite16(p, 0x0000000113000000ull, area, 1024, 512); },
       {0x8A, 0x00, 0x00, 0x00, 0x00, 0x01, 0x13, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00,
        0x00},
       0,
       1024,
       50},
  };
  Answer(DiskReplies{.LastLba = 7, .SectorCount = 9});
  for (const LayoutCase& test : cases) {
    SCOPED_TRACE(test.Name);
    platform.ClearCommands();
    EXPECT_NE(0, test.Send());
    ASSERT_EQ(1u, platform.Commands().size());
    const auto& c = platform.Commands()[0];
    EXPECT_EQ(test.Cdb, c.Cdb);
    EXPECT_EQ(test.Cdb.size(), c.Record.CdbLength);
    EXPECT_EQ(test.DataIn, c.Record.DataIn);
    EXPECT_EQ(test.WireLength, c.Record.DataTransferLength);
    EXPECT_EQ(test.TimeoutSeconds, c.Record.TimeOutValue);
  }
}

TEST_F(DiskCommandTest, CapacityAndItsFallbacks) {
  Answer(DiskReplies{.LastLba = 0x0123ABCD, .BlockSize = 4096});
  EXPECT_EQ(0x0123ABCDu, GetLastLba(kBridgePath));
  EXPECT_EQ(4096u, GetBlockSize(kBridgePath));

  Answer(DiskReplies{.CapacityOk = false, .LastLba = 0x0123ABCD, .BlockSize = 4096});
  EXPECT_EQ(0u, GetLastLba(kBridgePath));
  EXPECT_EQ(512u, GetBlockSize(kBridgePath));

  // Every caller divides by the block size.
  Answer(DiskReplies{.LastLba = 100, .BlockSize = 0});
  EXPECT_EQ(512u, GetBlockSize(kBridgePath));
}

TEST_F(DiskCommandTest, SectorCountFrom28Or48BitWords) {
  struct Case {
    ByteVector Identify;
    bool Ok;
    std::uint64_t Expected;
  };
  const Case cases[] = {
      {IdentifyData(0x0EE7C2B0, 0x123456789A), true, 0x0EE7C2B0},  // 48-bit words ignored
      {IdentifyData(0x0FFFFFFE, 0x123456789A), true, 0x0FFFFFFE},
      {IdentifyData(0x0FFFFFFF, 0x0000123456789ABCull), true, 0x0000123456789ABCull},
      {IdentifyData(0x0FFFFFFF, 0xFFFF000000000000ull), true, 0xFFFF000000000000ull},
      {IdentifyData(0x0EE7C2B0, 0), false, 0},
  };
  for (const Case& test : cases) {
    platform.SetResponder([&](const auto&) {
      ScriptedReply reply = Reply(test.Identify);
      reply.Ok = test.Ok;
      return reply;
    });
    EXPECT_EQ(test.Expected, IdentifySectorCount(kBridgePath));
  }
}

TEST_F(DiskCommandTest, TransfersTheCountFieldCannotDescribeAreRefused) {
  static std::uint8_t area[65536];
  EXPECT_EQ(0, DiskRead10(kBridgePath, 0, area, 512, 0));
  EXPECT_EQ(0, DiskWrite16(kBridgePath, 0, area, 512, 0));
  // 65536 one-byte blocks do not fit READ(10)'s 16-bit count; they fit READ(16)'s.
  EXPECT_EQ(0, DiskRead10(kBridgePath, 0, area, 65536, 1));
  EXPECT_EQ(0, DiskWrite10(kBridgePath, 0, area, 65536, 1));
  EXPECT_TRUE(platform.Commands().empty());
  EXPECT_EQ(1, DiskRead16(kBridgePath, 0, area, 65536, 1));
  EXPECT_EQ(0x01, platform.Commands().at(0).Cdb[11]);
  // A length that is not a whole number of blocks still sends the whole-block count.
  platform.ClearCommands();
  EXPECT_EQ(1, DiskRead10(kBridgePath, 0, area, 1000, 512));
  EXPECT_EQ(0x01, platform.Commands().at(0).Cdb[8]);
  EXPECT_EQ(1000u, platform.Commands().at(0).Record.DataTransferLength);
}

TEST_F(DiskCommandTest, ConfigurationTests) {
  struct Case {
    const char* Name;
    bool Ok;
    ByteVector Config;
    int Firmware14;
    int Shift;
  };
  auto config = [](int level, int firmware, int shift) {
    ByteVector c(18, 0);
    c[8] = static_cast<std::uint8_t>(level);
    c[16] = static_cast<std::uint8_t>(firmware);
    c[17] = static_cast<std::uint8_t>(shift);
    return c;
  };
  const Case cases[] = {
      {"both set", true, config(0xD0, 1, 1), 1, 1},
      {"firmware only", true, config(0x01, 1, 0), 1, 0},
      {"shift only", true, config(0x01, 0, 1), 0, 1},
      {"level 0 hides both", true, config(0x00, 1, 1), 0, 0},
      {"not exactly 01", true, config(0xD0, 2, 0xFF), 0, 0},
      {"command failed", false, config(0xD0, 1, 1), 0, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.Name);
    DiskReplies disk;
    disk.ConfigOk = test.Ok;
    disk.Config = test.Config;
    disk.SetFirmwarePresent();  // the controller-memory signature must not matter for type 14
    Answer(disk);
    platform.ClearCommands();
    EXPECT_EQ(test.Firmware14, HasDiskFirmware(kBridgePath, ChipType::Qv40713ESeries));
    EXPECT_EQ(test.Shift, FwAreaShiftFlag(kBridgePath));
    for (const auto& c : platform.Commands()) {
      EXPECT_EQ(Cdb12({0xFF, 0x04, 0xA0, 0x12}), c.Cdb);
      EXPECT_EQ(18u, c.Record.DataTransferLength);
    }
  }
}

TEST_F(DiskCommandTest, FirmwareSignatureInControllerMemory) {
  struct Case {
    bool Ok;
    ByteVector Signature;
    int Expected;
  };
  const Case cases[] = {
      {true, {0x55, 0xAA, 0x00, 0x00}, 1},
      {true, {0xAA, 0x55, 0x00, 0x00}, 0},
      {true, {0x55, 0x00, 0x00, 0x00}, 0},
      {false, {0x55, 0xAA, 0x00, 0x00}, 0},  // whatever a failed read left is no signature
  };
  for (const Case& test : cases) {
    DiskReplies disk;
    disk.MemoryOk = test.Ok;
    disk.Signature = test.Signature;
    disk.SetShift(true);
    Answer(disk);
    platform.ClearCommands();
    EXPECT_EQ(test.Expected, HasDiskFirmware(kBridgePath, ChipType::Qvk924Series));
    ASSERT_EQ(1u, platform.Commands().size());
    EXPECT_EQ(Cdb12({0xDF, 0x10, 0x00, 0x00, 0x04, 0x00, 0xC0, 0x00, 0, 0, 0, 0xFD}),
              platform.Commands()[0].Cdb);
  }
}

// The area start the disk-firmware procedures derive from a base: one block back unless shifted,
// down to a multiple of 256, then 256 further back.
std::uint64_t AreaStartFromBase(std::uint64_t base, bool shift) {
  return ((base - (shift ? 0 : 1)) & ~0xFFull) - 256;
}

TEST_F(DiskCommandTest, FirmwareLbaAsksInOrderAndDefaultsWithoutFirmware) {
  DiskReplies disk{.LastLba = 0x00E8E0DB, .SectorCount = 0x00E8E0DB + 0x1000};
  disk.SetShift(false);
  Answer(disk);
  EXPECT_EQ(0x00E8E0DBu, GetDiskFirmwareLba(kBridgePath, 512, ChipType::Qvk924Series));
  const auto& commands = platform.Commands();
  ASSERT_EQ(4u, commands.size());  // nothing is read from the disk without firmware
  EXPECT_EQ(0x25, commands[0].Cdb[0]);
  EXPECT_EQ(0xA0, commands[1].Cdb[2]);
  EXPECT_EQ(0xEC, commands[2].Cdb[11]);
  EXPECT_EQ(0xFD, commands[3].Cdb[11]);

  disk.SetShift(true);
  Answer(disk);
  EXPECT_EQ(0x00E8E0DCu, GetDiskFirmwareLba(kBridgePath, 512, ChipType::Qvk924Series));

  // A bridge that answers nothing gives 0.
  platform.SetResponder([](const auto&) { return testing::Failed(); });
  EXPECT_EQ(0u, GetDiskFirmwareLba(kBridgePath, 512, ChipType::Qvk924Series));
}

TEST_F(DiskCommandTest, FirmwareLbaDefaultOnLargeDrivesKeepsTheBorrow) {
  struct Case {
    std::uint64_t SectorCount;
    bool Shift;
    std::uint64_t Expected;
  };
  const Case cases[] = {
      {k2To32, false, k2To32 - 1},  // low half 0: the borrow must reach the high half
      {k2To32, true, k2To32},
      {3 * k2To32, false, 3 * k2To32 - 1},
      {k2To32 + 0x1234, false, k2To32 + 0x1233},
      {k2To32 + 0x1234, true, k2To32 + 0x1234},
  };
  for (const Case& test : cases) {
    DiskReplies disk{.LastLba = 0xFFFFFFFF, .SectorCount = test.SectorCount};
    disk.SetShift(test.Shift);
    Answer(disk);
    EXPECT_EQ(test.Expected, GetDiskFirmwareLba(kBridgePath, 512, ChipType::Qvk924Series));
  }
}

TEST_F(DiskCommandTest, FirmwareLbaOnSmallDrivesReadsPastTheLastLba) {
  DiskReplies disk{.LastLba = 0x00E8E0FF, .BlockSize = 4096, .SectorCount = 0x00E8F000};
  disk.SetFirmwarePresent();
  disk.Descriptor = 0x00E8E2AB;
  Answer(disk);
  EXPECT_EQ(0x00E8E2ABu, GetDiskFirmwareLba(kBridgePath, 4096, ChipType::Qvk924Series));
  const auto reads = testing::CommandsStartingWith(platform, {0x28});
  ASSERT_EQ(1u, reads.size());
  EXPECT_EQ(Padded({0x28, 0x00, 0x00, 0xE8, 0xE1, 0x00, 0x00, 0x00, 0x04, 0x00}, 10), reads[0].Cdb);
  EXPECT_EQ(4u * 4096, reads[0].Record.DataTransferLength);
  EXPECT_TRUE(testing::CommandsStartingWith(platform, {0x88}).empty());

  // A zero descriptor: the area starts at the block read, whatever the shift.
  for (bool shift : {false, true}) {
    disk.Descriptor = 0;
    disk.SetShift(shift);
    Answer(disk);
    const std::uint64_t base = GetDiskFirmwareLba(kBridgePath, 512, ChipType::Qvk924Series);
    EXPECT_EQ(0x00E8E0FFu + 258, base);
    EXPECT_EQ(0x00E8E100u, AreaStartFromBase(base, shift));
  }

  // A failed read falls back to the default position.
  disk.Descriptor = 0x1234;
  disk.RecordOk = false;
  disk.SetShift(true);
  Answer(disk);
  EXPECT_EQ(0x00E8E100u, GetDiskFirmwareLba(kBridgePath, 512, ChipType::Qvk924Series));
}

TEST_F(DiskCommandTest, FirmwareLbaOnLargeDrivesReadsAtTheSectorCount) {
  const std::uint64_t count = 2 * k2To32 + 0x5000;
  DiskReplies disk{.LastLba = 0xFFFFFFFF, .SectorCount = count};
  disk.SetFirmwarePresent();
  disk.Descriptor = 0x00005180;
  Answer(disk);
  EXPECT_EQ(2 * k2To32 + 0x5180, GetDiskFirmwareLba(kBridgePath, 512, ChipType::Qvk924Series));
  const auto reads = testing::CommandsStartingWith(platform, {0x88});
  ASSERT_EQ(1u, reads.size());
  EXPECT_EQ((ByteVector{0x88, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x50, 0x00, 0x00, 0x00,
                        0x00, 0x04, 0x00, 0x00}),
            reads[0].Cdb);
  EXPECT_TRUE(testing::CommandsStartingWith(platform, {0x28}).empty());
}

TEST_F(DiskCommandTest, DescriptorBaseIsWidenedAcrossTheHalfBoundary) {
  // The descriptor keeps the low half of the base only; on a drive whose count lies just below a
  // multiple of 2^32 the area, and its base, lie just above it.
  struct Case {
    std::uint64_t SectorCount;
    std::uint32_t Descriptor;
    std::uint64_t Expected;
  };
  const Case cases[] = {
      {2 * k2To32 - 0x100, 0x00000080, 2 * k2To32 + 0x80},
      {2 * k2To32 - 0x10, 0x00000180, 2 * k2To32 + 0x180},
      {2 * k2To32 - 0x10, 0x00000200, 2 * k2To32 + 0x200},
      {k2To32, 0x00000101, k2To32 + 0x101},
      {k2To32 + 0x100, 0x00000201, k2To32 + 0x201},
  };
  for (const Case& test : cases) {
    DiskReplies disk{.LastLba = 0xFFFFFFFF, .SectorCount = test.SectorCount};
    disk.SetFirmwarePresent();
    disk.Descriptor = test.Descriptor;
    Answer(disk);
    EXPECT_EQ(test.Expected, GetDiskFirmwareLba(kBridgePath, 512, ChipType::Qvk924Series));
  }
}

TEST_F(DiskCommandTest, ZeroDescriptorOnLargeDrivesNeverPointsBelowTheSectorCount) {
  for (std::uint64_t count : {k2To32, k2To32 + 1, k2To32 + 0xFF, k2To32 + 0x100,
                              5 * k2To32 + 0x12345, 2 * k2To32 - 1 + 0x100}) {
    for (bool shift : {false, true}) {
      SCOPED_TRACE(::testing::Message() << std::hex << count << " shift " << shift);
      DiskReplies disk{.LastLba = 0xFFFFFFFF, .SectorCount = count};
      disk.SetFirmwarePresent();
      disk.SetShift(shift);
      Answer(disk);
      const std::uint64_t base = GetDiskFirmwareLba(kBridgePath, 512, ChipType::Qvk924Series);
      const std::uint64_t start = AreaStartFromBase(base, shift);
      EXPECT_GE(start, count);
      EXPECT_LT(start, count + 256);
      EXPECT_EQ(0u, start % 256);
    }
  }
}

TEST_F(DiskCommandTest, DescriptorIsTakenOnlyForTheAreaAtTheRecordWithBothMarks) {
  // The record is read at 0x40000, the first sector past the capacity; a sound descriptor names
  // a base whose area starts there: 0x40101 to 0x40200 unshifted.
  constexpr std::uint64_t kRecord = 0x40000;
  constexpr std::uint64_t kByCapacity = kRecord + 257;
  struct Case {
    const char* Name;
    std::uint32_t Descriptor;
    std::uint8_t LeadMark;
    std::uint8_t TrailMark;
    bool Shift;
    std::uint64_t Expected;
  };
  const Case cases[] = {
      {"sound", 0x40180, 0x55, 0xAA, false, 0x40180},
      {"sound, lowest", 0x40101, 0x55, 0xAA, false, 0x40101},
      {"sound, highest", 0x40200, 0x55, 0xAA, false, 0x40200},
      {"sound, shifted", 0x40100, 0x55, 0xAA, true, 0x40100},
      {"no leading mark", 0x40180, 0x00, 0xAA, false, kByCapacity},
      {"no trailing mark", 0x40180, 0x55, 0x00, false, kByCapacity},
      {"marks swapped", 0x40180, 0xAA, 0x55, false, kByCapacity},
      {"area inside the host's sectors", 0x40100, 0x55, 0xAA, false, kByCapacity},
      {"area at the start of the disk", 0x00000300, 0x55, 0xAA, false, kByCapacity},
      {"area past the record", 0x40201, 0x55, 0xAA, false, kByCapacity},
      {"base too small for any area", 0x00000001, 0x55, 0xAA, false, kByCapacity},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.Name);
    DiskReplies disk{.LastLba = kRecord - 1, .SectorCount = kRecord};
    disk.SetFirmwarePresent();
    disk.SetShift(test.Shift);
    disk.Descriptor = test.Descriptor;
    disk.LeadMark = test.LeadMark;
    disk.TrailMark = test.TrailMark;
    Answer(disk);
    const std::uint64_t base = GetDiskFirmwareLba(kBridgePath, 512, ChipType::Qvk924Series);
    EXPECT_EQ(test.Expected, base);
    EXPECT_EQ(kRecord, AreaStartFromBase(base, test.Shift));
  }
}

TEST_F(DiskCommandTest, ZeroDescriptorPastAnUnalignedCapacityNeverPointsInsideTheDisk) {
  // Last LBA + 1 off a 256-sector boundary: the area goes to the next boundary, not the one below.
  for (bool shift : {false, true}) {
    DiskReplies disk{.LastLba = 0x400FF + 0x10, .SectorCount = 0x40110};
    disk.SetFirmwarePresent();
    disk.SetShift(shift);
    Answer(disk);
    const std::uint64_t base = GetDiskFirmwareLba(kBridgePath, 512, ChipType::Qvk924Series);
    EXPECT_EQ(0x40200u, AreaStartFromBase(base, shift));
  }
}

TEST_F(DiskCommandTest, RecordTooSmallForTheDescriptorIsNotRead) {
  DiskReplies disk{.LastLba = 1000, .SectorCount = 2000};
  disk.SetFirmwarePresent();
  disk.Descriptor = 0x1234;
  Answer(disk);
  // Four 16-byte blocks cannot hold bytes 151-154.
  EXPECT_EQ(1000u, GetDiskFirmwareLba(kBridgePath, 16, ChipType::Qvk924Series));
  EXPECT_EQ(1000u, GetDiskFirmwareLba(kBridgePath, 0, ChipType::Qvk924Series));
  EXPECT_TRUE(testing::CommandsStartingWith(platform, {0x28}).empty());
}

TEST_F(DiskCommandTest, RecordPastTheLastTenByteAddressIsNotRead) {
  // READ(10) cannot name the block after FFFFFFFF; cut to 32 bits it would be block 0.
  DiskReplies disk{.LastLba = 0xFFFFFFFF, .SectorCount = 0xFFFFFFFF};
  disk.SetFirmwarePresent();
  disk.Descriptor = 0x1234;
  Answer(disk);
  EXPECT_EQ(0xFFFFFFFFu, GetDiskFirmwareLba(kBridgePath, 512, ChipType::Qvk924Series));
  EXPECT_TRUE(testing::CommandsStartingWith(platform, {0x28}).empty());
  EXPECT_TRUE(testing::CommandsStartingWith(platform, {0x88}).empty());
}

}  // namespace
}  // namespace q71x
