// SPDX-License-Identifier: GPL-2.0-or-later
// The DF family, the parallel flash and the attached disk as the bridge carries them out. Every
// command block is written out byte by byte, as the host would send it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "sim/ata_identify.h"
#include "sim/bridge.h"
#include "sim/serial_flash.h"

namespace q71x::sim {
namespace {

// A 128 KB part with the usual three unit erasers and a chip erase.
constexpr SerialFlashPart MakeUniformPart() {
  SerialFlashPart part;
  part.Name = "test 1 Mbit";
  part.SizeBytes = 131072;
  part.Erasers = {
      {{0x20, 4096, 45000}, {0x52, 32768, 120000}, {0xD8, 65536, 150000}, {0xC7, 0, 1000000}}};
  part.PageProgramUs = 700;
  return part;
}
constexpr SerialFlashPart kUniformPart = MakeUniformPart();

// A 64 KB part whose only unit is 32 KB, erased as a whole with 62, protected at power-on.
constexpr SerialFlashPart MakeHalvesPart() {
  SerialFlashPart part;
  part.Name = "test 512 Kbit";
  part.SizeBytes = 65536;
  part.Erasers = {{{0x52, 32768, 500000}, {0x62, 0, 1000000}}};
  part.PowerOnStatus = 0x0C;
  return part;
}
constexpr SerialFlashPart kHalvesPart = MakeHalvesPart();

class BridgeBench {
 public:
  explicit BridgeBench(const SerialFlashPart* part = &kUniformPart) {
    if (part != nullptr) {
      bridge.Flash = std::make_unique<SerialFlash>(*part);
    }
  }

  Reply Run(std::initializer_list<std::uint8_t> cdb, bool dataIn, std::vector<std::uint8_t>& data,
            std::uint32_t timeoutSeconds = 50) {
    Request request;
    std::copy(cdb.begin(), cdb.end(), request.Cdb.begin());
    request.CdbLength = static_cast<std::uint8_t>(cdb.size());
    request.DataIn = dataIn;
    request.WireLength = static_cast<std::uint32_t>(data.size());
    request.TimeoutSeconds = timeoutSeconds;
    request.Data = data;
    CommandContext context{clock, clock.NowUs() + timeoutSeconds * 1000000ull};
    return ExecuteBridgeCommand(bridge, request, context);
  }
  Reply Run(std::initializer_list<std::uint8_t> cdb) {
    std::vector<std::uint8_t> none;
    return Run(cdb, false, none);
  }

  std::vector<std::uint8_t> Flash(std::uint32_t address, std::uint32_t length) const {
    const auto& contents = bridge.Flash->Contents();
    return {contents.begin() + address, contents.begin() + address + length};
  }
  void FillFlash(std::uint8_t value) {
    std::vector<std::uint8_t> all(bridge.Flash->Part().SizeBytes, value);
    bridge.Flash->Load(0, all);
  }

  VirtualClock clock;
  BridgeState bridge;
};

bool AllEqual(const std::vector<std::uint8_t>& bytes, std::uint8_t value) {
  return std::all_of(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return b == value; });
}

// DF MM 00 L1 L0 00 00 00 A2 A1 A0 FB with a block of `length` bytes of `value`.
Reply WriteFlashDf(BridgeBench& bench, std::uint8_t mode, std::uint32_t address,
                   std::uint16_t length, std::uint8_t value) {
  std::vector<std::uint8_t> data(length, value);
  return bench.Run(
      {0xDF, mode, 0x00, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length),
       0x00, 0x00, 0x00, static_cast<std::uint8_t>(address >> 16),
       static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address), 0xFB},
      false, data);
}

TEST(DfFlashWrite, EachEraseMarkErasesTheUnitItNames) {
  struct Case {
    std::uint8_t Mode;
    std::uint32_t ErasedFrom;
    std::uint32_t ErasedTo;
  };
  // A block written at 0x9000 with 0x00-filled flash around it.
  const Case cases[] = {
      {0x00, 0x9000, 0x9000},  {0x01, 0x9000, 0xA000},  {0x04, 0x9000, 0xA000},
      {0x02, 0x0000, 0x10000}, {0x05, 0x0000, 0x10000}, {0x03, 0x0000, 0x20000},
      {0x06, 0x0000, 0x20000}, {0x07, 0x0000, 0x20000}, {0x81, 0x9000, 0xA000},
      {0x82, 0x0000, 0x10000}, {0x83, 0x0000, 0x20000},
  };
  for (const Case& c : cases) {
    BridgeBench bench;
    bench.FillFlash(0x00);
    // A 1-byte block of FF programs nothing, so the flash shows exactly what was erased.
    ASSERT_TRUE(WriteFlashDf(bench, c.Mode, 0x9000, 1, 0xFF).Ok);
    const auto flash = bench.Flash(0, kUniformPart.SizeBytes);
    for (std::uint32_t at : {0x0000u, 0x8FFFu, 0x9000u, 0x9FFFu, 0xA000u, 0xFFFFu, 0x10000u}) {
      const bool erased = at >= c.ErasedFrom && at < c.ErasedTo;
      EXPECT_EQ(flash[at], erased ? 0xFF : 0x00)
          << "mode " << int(c.Mode) << " at " << std::hex << at;
    }
  }
}

TEST(DfFlashWrite, MarkedBlockLandsInAFreshUnitAndUnmarkedBlockOnlyClearsBits) {
  BridgeBench bench;
  bench.FillFlash(0x0F);
  ASSERT_TRUE(WriteFlashDf(bench, 0x01, 0x1000, 512, 0xA5).Ok);
  EXPECT_TRUE(AllEqual(bench.Flash(0x1000, 512), 0xA5));
  EXPECT_TRUE(AllEqual(bench.Flash(0x1200, 0xE00), 0xFF));

  ASSERT_TRUE(WriteFlashDf(bench, 0x00, 0x1200, 256, 0xA5).Ok);
  ASSERT_TRUE(WriteFlashDf(bench, 0x00, 0x1200, 256, 0x5F).Ok);
  EXPECT_TRUE(AllEqual(bench.Flash(0x1200, 256), 0x05));
  EXPECT_EQ(bench.Flash(0x2000, 1)[0], 0x0F);
}

TEST(DfFlashWrite, ProtectionBitSevenClearsBlockProtectBeforeErasing) {
  BridgeBench bench(&kHalvesPart);  // powers on with its protect bits set
  bench.FillFlash(0x00);
  ASSERT_TRUE(WriteFlashDf(bench, 0x02, 0x0000, 256, 0xFF).Ok);
  EXPECT_EQ(bench.Flash(0x10, 1)[0], 0x00) << "a protected part must refuse the erase";

  ASSERT_TRUE(WriteFlashDf(bench, 0x82, 0x0000, 256, 0xFF).Ok);
  EXPECT_TRUE(AllEqual(bench.Flash(0, 0x8000), 0xFF));
  EXPECT_TRUE(AllEqual(bench.Flash(0x8000, 0x8000), 0x00));
}

TEST(DfFlashWrite, EraseTakesTheDataSheetTimeOnTheClock) {
  BridgeBench bench;
  const std::uint64_t before = bench.clock.NowUs();
  ASSERT_TRUE(WriteFlashDf(bench, 0x03, 0, 0, 0).Ok);
  EXPECT_GE(bench.clock.NowUs() - before, 1000000u);
  EXPECT_FALSE(bench.bridge.Flash->IsBusy(bench.clock.NowUs()));
}

TEST(DfFlashWrite, BlockLengthComesFromTheCommandBlock) {
  BridgeBench bench;
  std::vector<std::uint8_t> wire(512, 0x00);
  // The block names 256 bytes; the wire carries 512.
  ASSERT_TRUE(
      bench.Run({0xDF, 0x01, 0x00, 0x01, 0x00, 0, 0, 0, 0x00, 0x40, 0x00, 0xFB}, false, wire).Ok);
  EXPECT_TRUE(AllEqual(bench.Flash(0x4000, 256), 0x00));
  EXPECT_TRUE(AllEqual(bench.Flash(0x4100, 256), 0xFF));
  // A block naming more than the wire carries is refused and changes nothing.
  std::vector<std::uint8_t> shortWire(16, 0x00);
  EXPECT_FALSE(
      bench.Run({0xDF, 0x00, 0x00, 0x01, 0x00, 0, 0, 0, 0x00, 0x50, 0x00, 0xFB}, false, shortWire)
          .Ok);
  EXPECT_EQ(bench.Flash(0x5000, 1)[0], 0xFF);
}

TEST(DfFlashRead, ReadsTheNamedLengthFromTheNamedAddress) {
  BridgeBench bench;
  std::vector<std::uint8_t> image(64);
  for (std::size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<std::uint8_t>(i + 1);
  }
  bench.bridge.Flash->Load(0x012345, image);
  std::vector<std::uint8_t> wire(2, 0xEE);
  const Reply reply =
      bench.Run({0xDF, 0x10, 0x00, 0x00, 0x01, 0, 0, 0, 0x01, 0x23, 0x45, 0xFA}, true, wire);
  ASSERT_TRUE(reply.Ok);
  EXPECT_EQ(reply.Transferred, 1u);
  EXPECT_EQ(wire[0], 0x01);
  EXPECT_EQ(wire[1], 0xEE);
}

TEST(Df2FlashWrite, EraseFlagErasesTheThirtyTwoKilobyteHalfHoldingTheBlock) {
  BridgeBench bench;
  bench.bridge.Df.WriteDialect = DfWriteDialect::EraseFlag;
  bench.FillFlash(0x00);
  ASSERT_TRUE(WriteFlashDf(bench, 0x01, 0x8000, 256, 0x12).Ok);
  EXPECT_TRUE(AllEqual(bench.Flash(0x0000, 0x8000), 0x00)) << "firmware half kept";
  EXPECT_TRUE(AllEqual(bench.Flash(0x8000, 256), 0x12));
  EXPECT_TRUE(AllEqual(bench.Flash(0x8100, 0x7F00), 0xFF));
  EXPECT_TRUE(AllEqual(bench.Flash(0x10000, 0x100), 0x00));

  // Without the flag the block is programmed over what is there; mode 02 means nothing here.
  ASSERT_TRUE(WriteFlashDf(bench, 0x02, 0x0000, 256, 0xFF).Ok);
  EXPECT_TRUE(AllEqual(bench.Flash(0x0000, 256), 0x00));
}

// DF 10 00 L1 L0 00 A1 A0 00 00 00 FD and DF 00 00 L1 L0 00 A1 A0 00 00 00 FE.
std::vector<std::uint8_t> ReadChipMemory(BridgeBench& bench, std::uint16_t address,
                                         std::uint8_t length) {
  std::vector<std::uint8_t> data(length == 1 ? 2 : length, 0xEE);
  EXPECT_TRUE(
      bench
          .Run({0xDF, 0x10, 0x00, 0x00, length, 0x00, static_cast<std::uint8_t>(address >> 8),
                static_cast<std::uint8_t>(address), 0, 0, 0, 0xFD},
               true, data)
          .Ok);
  data.resize(length);
  return data;
}
Reply WriteChipMemory(BridgeBench& bench, std::uint16_t address, std::vector<std::uint8_t> bytes) {
  const auto length = static_cast<std::uint8_t>(bytes.size());
  if (bytes.size() == 1) {
    bytes.push_back(0x00);  // the transport's second byte
  }
  return bench.Run({0xDF, 0x00, 0x00, 0x00, length, 0x00, static_cast<std::uint8_t>(address >> 8),
                    static_cast<std::uint8_t>(address), 0, 0, 0, 0xFE},
                   false, bytes);
}

TEST(DfChipMemory, OneByteWriteChangesOneByte) {
  BridgeBench bench;
  ASSERT_TRUE(WriteChipMemory(bench, 0x4000, {0x11, 0x22, 0x33, 0x44}).Ok);
  ASSERT_TRUE(WriteChipMemory(bench, 0x4001, {0xAB}).Ok);
  EXPECT_EQ(ReadChipMemory(bench, 0x4000, 4), (std::vector<std::uint8_t>{0x11, 0xAB, 0x33, 0x44}));
}

TEST(DfChipMemory, ToggleByteRefusesToClearOnlyWhereTheSiliconHasIt) {
  BridgeBench later;
  later.bridge.Df.ToggleByteRefusesClear = true;
  ASSERT_TRUE(WriteChipMemory(later, kToggleByteAddress, {0x00}).Ok);
  EXPECT_EQ(ReadChipMemory(later, kToggleByteAddress, 1)[0], 0x01);
  ASSERT_TRUE(WriteChipMemory(later, kToggleByteAddress, {0x36}).Ok);
  EXPECT_EQ(ReadChipMemory(later, kToggleByteAddress, 1)[0], 0x37);
  // The neighbours take what is written.
  ASSERT_TRUE(WriteChipMemory(later, kToggleByteAddress + 1, {0x00}).Ok);
  EXPECT_EQ(ReadChipMemory(later, kToggleByteAddress + 1, 1)[0], 0x00);

  BridgeBench earlier;
  ASSERT_TRUE(WriteChipMemory(earlier, kToggleByteAddress, {0x00}).Ok);
  EXPECT_EQ(ReadChipMemory(earlier, kToggleByteAddress, 1)[0], 0x00);
}

// FF 04 xx with the parallel flash.
class ParallelBench : public BridgeBench {
 public:
  explicit ParallelBench(std::size_t fitted) : BridgeBench(nullptr) {
    bridge.Parallel.emplace(kParallelNorParts[fitted]);
  }
  // The sequences the host builds for a part choice, as bytes.
  static std::vector<std::uint8_t> EraseSequence(std::uint16_t first, std::uint16_t second) {
    const std::uint16_t addresses[] = {first, second, first, first, second, first};
    std::vector<std::uint8_t> bytes;
    for (std::uint16_t a : addresses) {
      bytes.push_back(static_cast<std::uint8_t>(a));
      bytes.push_back(static_cast<std::uint8_t>(a >> 8));
    }
    for (std::uint8_t d : {0xAA, 0x55, 0x80, 0xAA, 0x55, 0x10}) {
      bytes.push_back(d);
    }
    return bytes;
  }
  Reply Program(std::uint16_t first, std::uint16_t second, std::vector<std::uint8_t>& image) {
    const auto lo = [](std::uint16_t a) { return static_cast<std::uint8_t>(a); };
    const auto hi = [](std::uint16_t a) { return static_cast<std::uint8_t>(a >> 8); };
    return Run({0xFF, 0x04, 0x02, lo(first), hi(first), lo(second), hi(second), lo(first),
                hi(first), 0xAA, 0x55, 0xA0},
               false, image);
  }
  bool Busy() {
    std::vector<std::uint8_t> status(2, 0xEE);
    EXPECT_TRUE(Run({0xFF, 0x04, 0x00}, true, status).Ok);
    return status[0] == 0x01;
  }
  std::vector<std::uint8_t> Read(std::uint32_t address, std::size_t length) {
    std::vector<std::uint8_t> data(length);
    EXPECT_TRUE(
        Run({0xFF, 0x04, 0x03, static_cast<std::uint8_t>(address),
             static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address >> 16),
             static_cast<std::uint8_t>(address >> 24)},
            true, data)
            .Ok);
    return data;
  }
  void EraseAndWait(std::uint16_t first, std::uint16_t second) {
    auto sequence = EraseSequence(first, second);
    ASSERT_TRUE(Run({0xFF, 0x04, 0x04}, false, sequence).Ok);
    ASSERT_TRUE(Run({0xFF, 0x04, 0x01}).Ok);
    int polls = 0;
    // Each poll costs a bus round trip, which the bench does not charge by itself.
    while (Busy() && polls < 100000) {
      clock.AdvanceUs(125);
      ++polls;
    }
  }
};

TEST(ParallelFlashBridge, RightPartChoiceErasesAndProgramsTheWholeImage) {
  for (std::size_t fitted = 0; fitted < kParallelNorParts.size(); ++fitted) {
    ParallelBench bench(fitted);
    const ParallelNorPart& part = kParallelNorParts[fitted];
    const std::vector<std::uint8_t> old(kParallelNorSize, 0x00);
    bench.bridge.Parallel->Flash.Preload(0, old);
    ASSERT_TRUE(bench.Run({0xFF, 0x04, 0x05}).Ok);

    bench.EraseAndWait(part.FirstUnlock, part.SecondUnlock);
    const auto erased = bench.Read(0, kParallelNorSize);
    EXPECT_TRUE(AllEqual(erased, 0xFF)) << part.Name;

    std::vector<std::uint8_t> image(kParallelNorSize);
    for (std::size_t i = 0; i < image.size(); ++i) {
      image[i] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    const std::uint64_t before = bench.clock.NowUs();
    ASSERT_TRUE(bench.Program(part.FirstUnlock, part.SecondUnlock, image).Ok);
    EXPECT_GE(bench.clock.NowUs() - before, std::uint64_t{kParallelNorSize} * part.ByteProgramUs);
    EXPECT_EQ(bench.Read(0, kParallelNorSize), image) << part.Name;
  }
}

TEST(ParallelFlashBridge, WrongPartChoiceLeavesTheFlashUntouched) {
  ParallelBench bench(1);  // 0555/02AA on the board; the host chose a 5555/2AAA part
  std::vector<std::uint8_t> old(kParallelNorSize, 0x3C);
  bench.bridge.Parallel->Flash.Preload(0, old);
  ASSERT_TRUE(bench.Run({0xFF, 0x04, 0x05}).Ok);
  bench.EraseAndWait(0x5555, 0x2AAA);
  std::vector<std::uint8_t> image(kParallelNorSize, 0x00);
  ASSERT_TRUE(bench.Program(0x5555, 0x2AAA, image).Ok);
  EXPECT_EQ(bench.Read(0, kParallelNorSize), old);
}

TEST(ParallelFlashBridge, ErasingNeedsTheRomSwitchExceptOnA1Silicon) {
  ParallelBench flashBoot(2);
  auto sequence = ParallelBench::EraseSequence(0x5555, 0x2AAA);
  ASSERT_TRUE(flashBoot.Run({0xFF, 0x04, 0x04}, false, sequence).Ok);
  EXPECT_FALSE(flashBoot.Run({0xFF, 0x04, 0x01}).Ok);
  std::vector<std::uint8_t> image(16, 0x00);
  EXPECT_FALSE(flashBoot.Program(0x5555, 0x2AAA, image).Ok);

  ParallelBench a1(2);
  a1.bridge.Parallel->AlwaysRunsFromRom = true;
  PowerOnParallelFlash(*a1.bridge.Parallel);
  EXPECT_FALSE(a1.Run({0xFF, 0x04, 0x05}).Ok);
  ASSERT_TRUE(a1.Run({0xFF, 0x04, 0x04}, false, sequence).Ok);
  EXPECT_TRUE(a1.Run({0xFF, 0x04, 0x01}).Ok);
  EXPECT_TRUE(a1.Busy());
}

TEST(ParallelFlashBridge, BusyClearsAfterTheDataSheetEraseTime) {
  ParallelBench bench(0);
  ASSERT_TRUE(bench.Run({0xFF, 0x04, 0x05}).Ok);
  auto sequence = ParallelBench::EraseSequence(0x5555, 0x2AAA);
  ASSERT_TRUE(bench.Run({0xFF, 0x04, 0x04}, false, sequence).Ok);
  ASSERT_TRUE(bench.Run({0xFF, 0x04, 0x01}).Ok);
  const std::uint64_t started = bench.clock.NowUs();
  EXPECT_TRUE(bench.Busy());
  bench.clock.AdvanceUs(kParallelNorParts[0].ChipEraseUs);
  EXPECT_FALSE(bench.Busy());
  EXPECT_GE(bench.clock.NowUs() - started, kParallelNorParts[0].ChipEraseUs);
}

// The disk behind the bridge.
class DiskBench : public BridgeBench {
 public:
  explicit DiskBench(AttachedDiskGeometry geometry) : BridgeBench(nullptr) {
    bridge.Disk.emplace(geometry);
  }
  static std::array<std::uint8_t, 10> Cdb10(std::uint8_t op, std::uint32_t lba,
                                            std::uint16_t count) {
    return {op,
            0,
            static_cast<std::uint8_t>(lba >> 24),
            static_cast<std::uint8_t>(lba >> 16),
            static_cast<std::uint8_t>(lba >> 8),
            static_cast<std::uint8_t>(lba),
            0,
            static_cast<std::uint8_t>(count >> 8),
            static_cast<std::uint8_t>(count),
            0};
  }
  Reply Run10(std::uint8_t op, std::uint32_t lba, std::uint16_t count,
              std::vector<std::uint8_t>& data) {
    const auto c = Cdb10(op, lba, count);
    return Run({c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9]}, op == 0x28, data);
  }
  Reply Run16(std::uint8_t op, std::uint64_t lba, std::uint32_t count,
              std::vector<std::uint8_t>& data) {
    const auto b = [](std::uint64_t v, int shift) { return static_cast<std::uint8_t>(v >> shift); };
    return Run({op, 0, b(lba, 56), b(lba, 48), b(lba, 40), b(lba, 32), b(lba, 24), b(lba, 16),
                b(lba, 8), b(lba, 0), b(count, 24), b(count, 16), b(count, 8), b(count, 0), 0, 0},
               op == 0x88, data);
  }
};

AttachedDiskGeometry Geometry(std::uint64_t reported, std::uint32_t blockSize) {
  AttachedDiskGeometry geometry;
  geometry.BlockSize = blockSize;
  geometry.ReportedSectors = reported;
  geometry.IdentifySectors = reported;
  geometry.ReservedSectors = 2048;
  return geometry;
}

TEST(AttachedDiskBridge, ReadCapacityReportsLastLbaAndBlockSizeInATwelveByteBlock) {
  DiskBench bench(Geometry(0x12345600, 4096));
  std::vector<std::uint8_t> reply(8);
  ASSERT_TRUE(bench.Run({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, reply).Ok);
  EXPECT_EQ(reply, (std::vector<std::uint8_t>{0x12, 0x34, 0x55, 0xFF, 0x00, 0x00, 0x10, 0x00}));

  DiskBench huge(Geometry(1ull << 33, 512));
  ASSERT_TRUE(huge.Run({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, reply).Ok);
  EXPECT_EQ(reply, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00}));
}

TEST(AttachedDiskBridge, ReadsPastTheReportedCapacityReachTheReservedArea) {
  DiskBench bench(Geometry(0x10000, 512));
  std::vector<std::uint8_t> area(4 * 512, 0x00);
  area[150] = 0x55;
  area[155] = 0xAA;
  ASSERT_TRUE(bench.Run10(0x2A, 0x10000, 4, area).Ok);
  std::vector<std::uint8_t> back(4 * 512, 0xEE);
  ASSERT_TRUE(bench.Run10(0x28, 0x10000, 4, back).Ok);
  EXPECT_EQ(back, area);
  // READ(16) of the same sectors agrees.
  std::vector<std::uint8_t> back16(4 * 512, 0xEE);
  ASSERT_TRUE(bench.Run16(0x88, 0x10000, 4, back16).Ok);
  EXPECT_EQ(back16, area);
  // The end of the reserved area is the end of the drive, and the drive says so: CHECK
  // CONDITION, ILLEGAL REQUEST, LOGICAL BLOCK ADDRESS OUT OF RANGE, nothing moved.
  std::vector<std::uint8_t> one(512);
  for (const Reply& refused :
       {bench.Run10(0x28, 0x10000 + 2048, 1, one), bench.Run16(0x88, 0x10000 + 2047, 2, area)}) {
    EXPECT_EQ(kScsiStatusCheckCondition, refused.ScsiStatus);
    EXPECT_EQ(0u, refused.Transferred);
    ASSERT_EQ(kSenseDataLength, refused.SenseLength);
    EXPECT_EQ(0x05, refused.Sense[2]);
    EXPECT_EQ(0x21, refused.Sense[12]);
    EXPECT_EQ(0x00, refused.Sense[13]);
  }
}

TEST(AttachedDiskBridge, SixteenByteCommandsReachBeyondTwoToThe32Sectors) {
  const std::uint64_t sectors = (1ull << 32) + 0x100;
  DiskBench bench(Geometry(sectors, 4096));
  std::vector<std::uint8_t> block(16 * 4096, 0x7E);
  ASSERT_TRUE(bench.Run16(0x8A, sectors, 16, block).Ok);
  std::vector<std::uint8_t> back(16 * 4096);
  ASSERT_TRUE(bench.Run16(0x88, sectors, 16, back).Ok);
  EXPECT_EQ(back, block);
  // READ(10) can only name the low 32 bits: another place, still unwritten.
  std::vector<std::uint8_t> low(4096);
  ASSERT_TRUE(bench.Run10(0x28, static_cast<std::uint32_t>(sectors), 1, low).Ok);
  EXPECT_TRUE(AllEqual(low, 0x00));
  EXPECT_EQ(bench.bridge.Disk->StoredSectorCount(), 16u);
}

TEST(AttachedDiskBridge, SectorCountComesFromTheCommandBlock) {
  DiskBench bench(Geometry(0x10000, 512));
  std::vector<std::uint8_t> data(1024, 0x11);
  // WRITE(10) of one sector with two on the wire writes one.
  ASSERT_TRUE(bench.Run10(0x2A, 100, 1, data).Ok);
  EXPECT_EQ(bench.bridge.Disk->StoredSectorCount(), 1u);
  // Two sectors named but one on the wire: refused.
  std::vector<std::uint8_t> shortData(512, 0x22);
  EXPECT_FALSE(bench.Run10(0x2A, 200, 2, shortData).Ok);
}

TEST(AttachedDiskBridge, IdentifyThroughDfCarriesBothSectorCounts) {
  for (const std::uint64_t sectors : {0x00ABCDEFull, (1ull << 32) + 7}) {
    DiskBench bench(Geometry(sectors, 512));
    std::vector<std::uint8_t> reply(512);
    ASSERT_TRUE(
        bench.Run({0xDF, 0x10, 0x00, 0x02, 0x00, 0, 0, 0, 0, 0, 0xA0, 0xEC}, true, reply).Ok);
    std::array<std::uint8_t, kIdentifyDataSize> data{};
    std::copy(reply.begin(), reply.end(), data.begin());
    const std::uint32_t count28 = IdentifyWord(data, 60) | (IdentifyWord(data, 61) << 16);
    std::uint64_t count48 = 0;
    for (int i = 3; i >= 0; --i) {
      count48 = (count48 << 16) | IdentifyWord(data, 100 + i);
    }
    EXPECT_EQ(count48, sectors);
    EXPECT_EQ(count28, sectors > kMax28BitSectors ? kMax28BitSectors : sectors);
  }
}

TEST(AttachedDiskBridge, BridgeWithoutADiskRefusesDiskCommands) {
  BridgeBench bench;
  std::vector<std::uint8_t> reply(8);
  EXPECT_FALSE(bench.Run({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, reply).Ok);
}

}  // namespace
}  // namespace q71x::sim
