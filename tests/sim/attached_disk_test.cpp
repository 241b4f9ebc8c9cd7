// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/attached_disk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "sim/ata_identify.h"

namespace q71x::sim {
namespace {

AttachedDiskGeometry SmallDisk(std::uint32_t blockSize, UnwrittenSectors unwritten) {
  AttachedDiskGeometry geometry;
  geometry.BlockSize = blockSize;
  geometry.ReportedSectors = 1 << 20;
  geometry.IdentifySectors = 1 << 20;
  geometry.ReservedSectors = 1024;
  geometry.Unwritten = unwritten;
  return geometry;
}

TEST(AttachedDisk, WrittenSectorsReadBackAndOnlyTheyAreStored) {
  for (std::uint32_t blockSize : {512u, 4096u}) {
    AttachedDisk disk(SmallDisk(blockSize, UnwrittenSectors::Zero));
    std::vector<std::uint8_t> data(2 * blockSize);
    for (std::size_t i = 0; i < data.size(); ++i) {
      data[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    ASSERT_TRUE(disk.Write(1000, 2, data));
    EXPECT_EQ(disk.StoredSectorCount(), 2u);

    // A read straddling written and unwritten sectors.
    std::vector<std::uint8_t> out(3 * blockSize, 0xEE);
    ASSERT_TRUE(disk.Read(999, 3, out));
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[blockSize - 1], 0);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin() + blockSize)) << blockSize;
  }
}

TEST(AttachedDisk, ReservedAreaBeyondTheReportedCapacityIsReachableAndItsEndIsNot) {
  AttachedDisk disk(SmallDisk(512, UnwrittenSectors::Zero));
  const std::uint64_t firstHidden = disk.Geometry().ReportedSectors;
  std::vector<std::uint8_t> sector(512, 0xA5);
  ASSERT_TRUE(disk.Write(firstHidden, 1, sector));
  std::vector<std::uint8_t> out(512);
  ASSERT_TRUE(disk.Read(firstHidden, 1, out));
  EXPECT_EQ(out, sector);

  const std::uint64_t end = disk.EndSector();
  EXPECT_TRUE(disk.Read(end - 1, 1, out));
  EXPECT_FALSE(disk.Read(end, 1, out));
  std::vector<std::uint8_t> two(1024);
  EXPECT_FALSE(disk.Read(end - 1, 2, two));
  EXPECT_FALSE(disk.Write(end, 1, sector));
  // A buffer shorter than the sectors it names moves nothing.
  EXPECT_FALSE(disk.Write(5, 2, sector));
  EXPECT_EQ(disk.StoredSectorCount(), 1u);
}

TEST(AttachedDisk, LbaTaggedSectorsShowWhereAReadLanded) {
  AttachedDisk disk(SmallDisk(512, UnwrittenSectors::LbaTagged));
  std::vector<std::uint8_t> out(512);
  const std::uint64_t lba = 0x0F1234;
  ASSERT_TRUE(disk.Read(lba, 1, out));
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(out[i], static_cast<std::uint8_t>(lba >> (8 * (7 - i))));
  }
  EXPECT_EQ(out[8], out[0]);
}

TEST(AttachedDisk, DrivesOfTwoToThe32SectorsAndMoreStaySparse) {
  AttachedDiskGeometry geometry = SmallDisk(512, UnwrittenSectors::LbaTagged);
  geometry.ReportedSectors = (1ull << 33) + 256;
  geometry.IdentifySectors = geometry.ReportedSectors;
  AttachedDisk disk(geometry);
  const std::uint64_t high = geometry.ReportedSectors + 10;
  std::vector<std::uint8_t> sector(512, 0x3C);
  ASSERT_TRUE(disk.Write(high, 1, sector));
  std::vector<std::uint8_t> out(512);
  ASSERT_TRUE(disk.Read(high, 1, out));
  EXPECT_EQ(out, sector);
  // The low 32 bits of that LBA name another sector, which stays untouched.
  ASSERT_TRUE(disk.Read(high & 0xFFFFFFFFu, 1, out));
  EXPECT_NE(out, sector);
  EXPECT_EQ(disk.StoredSectorCount(), 1u);
}

TEST(AtaIdentify, SmallDriveReportsItsCountInBothPlaces) {
  const auto data = BuildIdentifyData({.SectorCount = 0x0ABCDEF0, .Model = "DISK"});
  EXPECT_EQ(IdentifyWord(data, 60), 0xDEF0);
  EXPECT_EQ(IdentifyWord(data, 61), 0x0ABC);
  EXPECT_EQ(IdentifyWord(data, 100), 0xDEF0);
  EXPECT_EQ(IdentifyWord(data, 101), 0x0ABC);
  EXPECT_EQ(IdentifyWord(data, 102), 0);
  // Model text: first character of each pair in the high byte.
  EXPECT_EQ(data[54], 'I');
  EXPECT_EQ(data[55], 'D');
}

TEST(AtaIdentify, LargeDriveSaturatesThe28BitCountAndKeepsThe48BitOne) {
  const std::uint64_t count = (1ull << 32) + 0x1234;
  const auto data = BuildIdentifyData({.SectorCount = count, .LogicalSectorBytes = 4096});
  EXPECT_EQ(IdentifyWord(data, 60), 0xFFFF);
  EXPECT_EQ(IdentifyWord(data, 61), 0x0FFF);
  EXPECT_EQ(IdentifyWord(data, 100), 0x1234);
  EXPECT_EQ(IdentifyWord(data, 101), 0x0000);
  EXPECT_EQ(IdentifyWord(data, 102), 0x0001);
  EXPECT_EQ(IdentifyWord(data, 103), 0x0000);
  EXPECT_EQ(IdentifyWord(data, 117) | (IdentifyWord(data, 118) << 16), 2048);
  std::uint8_t sum = 0;
  for (std::uint8_t b : data) {
    sum = static_cast<std::uint8_t>(sum + b);
  }
  EXPECT_EQ(sum, 0);
}

TEST(AtaIdentify, ExactlyThe28BitLimitIsTheSaturatedValue) {
  const auto data = BuildIdentifyData({.SectorCount = kMax28BitSectors});
  EXPECT_EQ(IdentifyWord(data, 60) | (IdentifyWord(data, 61) << 16), kMax28BitSectors);
}

}  // namespace
}  // namespace q71x::sim
