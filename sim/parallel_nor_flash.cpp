// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/parallel_nor_flash.h"

#include <algorithm>

namespace q71x::sim {

namespace {

constexpr std::uint8_t kUnlockData1 = 0xAA;
constexpr std::uint8_t kUnlockData2 = 0x55;
constexpr std::uint8_t kProgramCommand = 0xA0;
constexpr std::uint8_t kEraseCommand = 0x80;
constexpr std::uint8_t kAutoselectCommand = 0x90;
constexpr std::uint8_t kResetCommand = 0xF0;
constexpr std::uint8_t kChipEraseConfirm = 0x10;
constexpr std::uint8_t kSectorEraseConfirm = 0x30;
constexpr std::uint8_t kErased = 0xFF;

}  // namespace

ParallelNorFlash::ParallelNorFlash(const ParallelNorPart& part)
    : part_(part), cells_(part.SizeBytes, kErased) {}

void ParallelNorFlash::Preload(std::uint32_t offset, std::span<const std::uint8_t> bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    cells_[Wrap(offset + static_cast<std::uint32_t>(i))] = bytes[i];
  }
}

void ParallelNorFlash::StartOperation(std::uint64_t nowUs, std::uint32_t durationUs,
                                      std::uint8_t pollingBit7) {
  busyUntilUs_ = nowUs + durationUs;
  pollingBit7_ = pollingBit7;
  step_ = Step::Idle;
}

void ParallelNorFlash::WriteCycle(std::uint32_t address, std::uint8_t data, std::uint64_t nowUs) {
  // An embedded operation ignores the bus until it is done.
  if (IsBusy(nowUs)) {
    return;
  }
  const std::uint32_t cell = Wrap(address);
  // The unlock addresses are decoded over all 16 lines: 0x0555 is not 0x5555.
  const bool atFirst = (address & 0xFFFF) == part_.FirstUnlock;
  const bool atSecond = (address & 0xFFFF) == part_.SecondUnlock;

  if (data == kResetCommand && step_ != Step::ProgramArmed) {
    step_ = Step::Idle;
    return;
  }
  switch (step_) {
    case Step::Idle:
    case Step::Autoselect:
      if (atFirst && data == kUnlockData1) {
        step_ = Step::Unlocked1;
      }
      return;
    case Step::Unlocked1:
      step_ = atSecond && data == kUnlockData2 ? Step::Unlocked2 : Step::Idle;
      return;
    case Step::Unlocked2:
      if (!atFirst) {
        step_ = Step::Idle;
      } else if (data == kProgramCommand) {
        step_ = Step::ProgramArmed;
      } else if (data == kEraseCommand) {
        step_ = Step::EraseArmed;
      } else if (data == kAutoselectCommand) {
        step_ = Step::Autoselect;
      } else {
        step_ = Step::Idle;
      }
      return;
    case Step::ProgramArmed:
      cells_[cell] &= data;
      StartOperation(nowUs, part_.ByteProgramUs, static_cast<std::uint8_t>(~data & 0x80));
      return;
    case Step::EraseArmed:
      step_ = atFirst && data == kUnlockData1 ? Step::EraseUnlocked1 : Step::Idle;
      return;
    case Step::EraseUnlocked1:
      step_ = atSecond && data == kUnlockData2 ? Step::EraseUnlocked2 : Step::Idle;
      return;
    case Step::EraseUnlocked2:
      if (atFirst && data == kChipEraseConfirm) {
        std::fill(cells_.begin(), cells_.end(), kErased);
        StartOperation(nowUs, part_.ChipEraseUs, 0);
      } else if (data == kSectorEraseConfirm && part_.SectorBytes != 0) {
        const std::uint32_t first = cell - cell % part_.SectorBytes;
        std::fill_n(cells_.begin() + first, part_.SectorBytes, kErased);
        StartOperation(nowUs, part_.SectorEraseUs, 0);
      } else {
        step_ = Step::Idle;
      }
      return;
  }
}

std::uint8_t ParallelNorFlash::ReadCycle(std::uint32_t address, std::uint64_t nowUs) {
  if (IsBusy(nowUs)) {
    toggleBit6_ ^= 0x40;
    return static_cast<std::uint8_t>(pollingBit7_ | toggleBit6_);
  }
  if (step_ == Step::Autoselect) {
    switch (address & 0xFF) {
      case 0:
        return part_.MakerId;
      case 1:
        return part_.DeviceId;
      default:
        return 0;
    }
  }
  return cells_[Wrap(address)];
}

}  // namespace q71x::sim
