// SPDX-License-Identifier: GPL-2.0-or-later
// The arithmetic that places the disk-kept firmware area, and the cases where it must refuse
// instead of handing out a sector near the start or past the end of what a command can name.

#include "src/update/disk/disk_firmware_layout.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace q71x {
namespace {

std::optional<std::uint64_t> Start(std::uint64_t base, bool shifted) {
  std::uint64_t start = 0;
  if (!FwAreaStart(base, shifted, start)) {
    return std::nullopt;
  }
  return start;
}

TEST(FwAreaStartTest, NeighbouringBasesInOneGroupGiveTheSameStartWithEitherShift) {
  // L - 1 and L + 1 in one group of 256: the group's first sector less 256.
  const std::uint64_t last = 0x12345;
  EXPECT_EQ(0x12200u, Start(last, false));
  EXPECT_EQ(0x12200u, Start(last + 1, true));
}

TEST(FwAreaStartTest, ZeroDescriptorBaseLandsJustPastTheCapacity) {
  // Last LBA + 1 on a 256 boundary and the base 257 beyond it, with either shift.
  const std::uint64_t last = 0x1FFFF;
  EXPECT_EQ(last + 1, Start(last + 258, false));
  EXPECT_EQ(last + 1, Start(last + 258, true));
}

TEST(FwAreaStartTest, SixtyFourBitBasesKeepTheirBorrow) {
  EXPECT_EQ(0xFFFFFF00u, Start(0x1'0000'0005ull, false));
  // A low half of 0: the subtraction of one borrows from the high half.
  EXPECT_EQ(0x1'FFFF'FE00ull, Start(0x2'0000'0000ull, false));
  EXPECT_EQ(0xFFFF'FFFF'FFFF'FE00ull, Start(0xFFFF'FFFF'FFFF'FFFFull, true));
}

TEST(FwAreaStartTest, BasesTooSmallForTheAreaAreRefused) {
  // Would wrap to the end of the address space, or put the area on sector 0.
  for (std::uint64_t base : {0ull, 1ull, 255ull, 256ull, 511ull, 512ull}) {
    EXPECT_EQ(std::nullopt, Start(base, false)) << base;
  }
  for (std::uint64_t base : {0ull, 255ull, 256ull, 511ull}) {
    EXPECT_EQ(std::nullopt, Start(base, true)) << base;
  }
  // The smallest bases that leave sector 0 alone.
  EXPECT_EQ(256u, Start(513, false));
  EXPECT_EQ(256u, Start(512, true));
}

DiskAreaFacts Facts(std::uint32_t blockSize, std::uint64_t base, std::uint64_t sectors) {
  DiskAreaFacts facts;
  facts.BlockSize = blockSize;
  facts.AreaBase = base;
  facts.SectorCount = sectors;
  facts.Shifted = true;
  return facts;
}

TEST(PlaceFwAreaTest, BlockSizesThatCannotCarryWhole64KbBlocksAreRefused) {
  std::uint64_t start = 0;
  for (std::uint32_t blockSize : {0u, 256u, 520u, 3072u, 131072u}) {
    EXPECT_EQ(kDiskBlockSizeErrorText,
              PlaceFwArea(Facts(blockSize, 0x10000, 0x10000), 65536, start))
        << blockSize;
  }
  for (std::uint32_t blockSize : {512u, 4096u}) {
    EXPECT_EQ("", PlaceFwArea(Facts(blockSize, 0x10000, 0x10000), 65536, start)) << blockSize;
    EXPECT_EQ(0xFF00u, start);
  }
  // A backup length that is not whole sectors.
  EXPECT_EQ(kDiskBlockSizeErrorText, PlaceFwArea(Facts(4096, 0x10000, 0x10000), 1000, start));
}

TEST(PlaceFwAreaTest, TenByteCommandsNeverWrapPastTheirLastSector) {
  std::uint64_t start = 0;
  // Base FFFFFFFF: the area starts at FFFFFE00; 64 KB of 512-byte sectors end at FFFFFE7F, but
  // 1 MB would run past FFFFFFFF and be cut to sectors near 0.
  const DiskAreaFacts small = Facts(512, 0xFFFFFFFFull, 0xFFFFFFFFull);
  EXPECT_EQ("", PlaceFwArea(small, 65536, start));
  EXPECT_EQ(0xFFFFFE00u, start);
  EXPECT_EQ(kFwAreaPositionErrorText, PlaceFwArea(small, 1 << 20, start));
  // A base past 32 bits on a drive the 10-byte commands serve.
  EXPECT_EQ(kFwAreaPositionErrorText,
            PlaceFwArea(Facts(512, 0x1'0000'0300ull, 0xFFFFFFFFull), 65536, start));
  // The same area on a drive of 2^32 sectors or more is reached with 16-byte commands.
  const DiskAreaFacts large = Facts(512, 0xFFFFFFFFull, 0x1'0000'0000ull);
  EXPECT_TRUE(UsesLongCommands(large));
  EXPECT_EQ("", PlaceFwArea(large, 1 << 20, start));
  EXPECT_EQ(0xFFFFFE00u, start);
}

TEST(PlaceFwAreaTest, SmallBaseIsRefusedWhateverTheBlockSize) {
  std::uint64_t start = 12345;
  EXPECT_EQ(kFwAreaPositionErrorText, PlaceFwArea(Facts(512, 300, 301), 65536, start));
  EXPECT_EQ(12345u, start);
}

TEST(FwAreaDescriptorTest, KeepsTheLowHalfOfTheBaseHighByteFirstAndNothingElse) {
  std::vector<std::uint8_t> sector(512, 0xEE);
  PutFwAreaDescriptor(sector.data(), 0x1'0A0B'0C0Dull);
  EXPECT_EQ((std::vector<std::uint8_t>{0x55, 0x0A, 0x0B, 0x0C, 0x0D, 0xAA}),
            std::vector<std::uint8_t>(sector.begin() + 150, sector.begin() + 156));
  EXPECT_EQ(0xEE, sector[149]);
  EXPECT_EQ(0xEE, sector[156]);
}

}  // namespace
}  // namespace q71x
