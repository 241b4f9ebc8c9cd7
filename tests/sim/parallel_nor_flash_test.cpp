// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/parallel_nor_flash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace q71x::sim {
namespace {

using Cycle = std::pair<std::uint32_t, std::uint8_t>;

void Play(ParallelNorFlash& flash, const std::vector<Cycle>& cycles, std::uint64_t nowUs) {
  for (const auto& [address, data] : cycles) {
    flash.WriteCycle(address, data, nowUs);
  }
}

std::vector<Cycle> ProgramCycles(std::uint16_t first, std::uint16_t second, std::uint32_t address,
                                 std::uint8_t data) {
  return {{first, 0xAA}, {second, 0x55}, {first, 0xA0}, {address, data}};
}

std::vector<Cycle> ChipEraseCycles(std::uint16_t first, std::uint16_t second) {
  return {{first, 0xAA}, {second, 0x55}, {first, 0x80},
          {first, 0xAA}, {second, 0x55}, {first, 0x10}};
}

bool AllErased(const ParallelNorFlash& flash) {
  return std::all_of(flash.Contents().begin(), flash.Contents().end(),
                     [](std::uint8_t b) { return b == 0xFF; });
}

class ParallelNorFlashTest : public ::testing::TestWithParam<std::size_t> {
 protected:
  const ParallelNorPart& Part() const { return kParallelNorParts[GetParam()]; }
};

TEST_P(ParallelNorFlashTest, OwnSequenceProgramsOnlyByClearingBits) {
  ParallelNorFlash flash(Part());
  Play(flash, ProgramCycles(Part().FirstUnlock, Part().SecondUnlock, 0x1234, 0xF0), 0);
  EXPECT_EQ(flash.Contents()[0x1234], 0xF0);

  // Programming over data already there gives the AND; it cannot set bits again.
  const std::uint64_t later = flash.BusyUntilUs();
  Play(flash, ProgramCycles(Part().FirstUnlock, Part().SecondUnlock, 0x1234, 0x3C), later);
  EXPECT_EQ(flash.Contents()[0x1234], 0x30);
  EXPECT_EQ(flash.Contents()[0x1233], 0xFF);
}

TEST_P(ParallelNorFlashTest, ChipEraseSetsEveryByteAndStaysBusyForItsTime) {
  ParallelNorFlash flash(Part());
  const std::vector<std::uint8_t> old(100, 0x00);
  flash.Preload(0x8000, old);
  Play(flash, ChipEraseCycles(Part().FirstUnlock, Part().SecondUnlock), 1000);

  EXPECT_TRUE(AllErased(flash));
  EXPECT_TRUE(flash.IsBusy(1000 + Part().ChipEraseUs - 1));
  EXPECT_FALSE(flash.IsBusy(1000 + Part().ChipEraseUs));
  // While erasing, reads show toggling status bits rather than the array.
  const std::uint8_t first = flash.ReadCycle(0x8000, 2000);
  const std::uint8_t second = flash.ReadCycle(0x8000, 2000);
  EXPECT_EQ(first ^ second, 0x40);
  EXPECT_EQ(flash.ReadCycle(0x8000, 1000 + Part().ChipEraseUs), 0xFF);
}

TEST_P(ParallelNorFlashTest, OtherPartsSequencesLeaveTheArrayUntouched) {
  for (const ParallelNorPart& other : kParallelNorParts) {
    if (other.FirstUnlock == Part().FirstUnlock) {
      continue;
    }
    ParallelNorFlash flash(Part());
    const std::vector<std::uint8_t> old(256, 0x5A);
    flash.Preload(0, old);
    Play(flash, ChipEraseCycles(other.FirstUnlock, other.SecondUnlock), 0);
    Play(flash, ProgramCycles(other.FirstUnlock, other.SecondUnlock, 0x10, 0x00), 0);
    EXPECT_EQ(flash.Contents()[0x10], 0x5A) << other.Name;
    EXPECT_EQ(flash.Contents()[0x200], 0xFF) << other.Name;
    EXPECT_FALSE(flash.IsBusy(0));
  }
}

INSTANTIATE_TEST_SUITE_P(EveryPart, ParallelNorFlashTest, ::testing::Values(0, 1, 2));

TEST(ParallelNorFlash, AllZeroSequenceOfAnUnchosenPartDoesNothing) {
  ParallelNorFlash flash(kParallelNorParts[2]);
  Play(flash, std::vector<Cycle>(6, {0, 0}), 0);
  Play(flash, std::vector<Cycle>(4, {0, 0}), 0);
  EXPECT_TRUE(AllErased(flash));
}

TEST(ParallelNorFlash, BrokenSequenceMustStartOverAndBusyPartIgnoresWrites) {
  const ParallelNorPart& part = kParallelNorParts[0];
  ParallelNorFlash flash(part);
  // A stray write between the unlock cycles drops the sequence: the final write is not a program.
  Play(flash, {{0x5555, 0xAA}, {0x1000, 0x12}, {0x2AAA, 0x55}, {0x5555, 0xA0}, {0x20, 0x00}}, 0);
  EXPECT_EQ(flash.Contents()[0x20], 0xFF);

  Play(flash, ChipEraseCycles(part.FirstUnlock, part.SecondUnlock), 0);
  Play(flash, ProgramCycles(part.FirstUnlock, part.SecondUnlock, 0x20, 0x00), 10);
  EXPECT_EQ(flash.Contents()[0x20], 0xFF);
}

TEST(ParallelNorFlash, SectorEraseClearsOnlyItsSector) {
  const ParallelNorPart& part = kParallelNorParts[2];
  ParallelNorFlash flash(part);
  const std::vector<std::uint8_t> old(3 * part.SectorBytes, 0x00);
  flash.Preload(0, old);
  Play(flash,
       {{0x5555, 0xAA},
        {0x2AAA, 0x55},
        {0x5555, 0x80},
        {0x5555, 0xAA},
        {0x2AAA, 0x55},
        {part.SectorBytes + 7, 0x30}},
       0);
  EXPECT_EQ(flash.Contents()[part.SectorBytes - 1], 0x00);
  EXPECT_EQ(flash.Contents()[part.SectorBytes], 0xFF);
  EXPECT_EQ(flash.Contents()[2 * part.SectorBytes - 1], 0xFF);
  EXPECT_EQ(flash.Contents()[2 * part.SectorBytes], 0x00);
}

TEST(ParallelNorFlash, AutoselectShowsIdsUntilReset) {
  const ParallelNorPart& part = kParallelNorParts[1];
  ParallelNorFlash flash(part);
  Play(flash, {{0x0555, 0xAA}, {0x02AA, 0x55}, {0x0555, 0x90}}, 0);
  EXPECT_EQ(flash.ReadCycle(0, 0), part.MakerId);
  EXPECT_EQ(flash.ReadCycle(1, 0), part.DeviceId);
  flash.WriteCycle(0, 0xF0, 0);
  EXPECT_EQ(flash.ReadCycle(0, 0), 0xFF);
}

}  // namespace
}  // namespace q71x::sim
