// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/journal/kept_area_restore.h"

#include <algorithm>
#include <cstring>

#include "src/device/flash_commands.h"
#include "src/device/flash_waits.h"
#include "src/device/platform/platform.h"
#include "src/update/proven_ranges.h"
#include "src/update/proven_read.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

constexpr int kAttempts = 2;
constexpr std::uint32_t kSettleAfterEraseMs = 500;

// One write of the area. The bytes there now are proven by two reads before they decide
// anything: a garbled read of an intact area must not have its unit erased. Only bits a program
// cannot set again call for the erase; unproven bytes get a plain program, which leaves an intact
// area as it is. 1 when the area holds the saved bytes afterwards.
int WriteAreaOnce(const std::string& devicePath, const KeptArea& area, std::uint8_t* current) {
  WaitFlashReady(devicePath);
  const bool proven = ReadProven(FlashBlockRange(devicePath, area.Address), current, area.Length);
  if (proven && std::memcmp(current, area.Saved, area.Length) == 0) {
    return 1;
  }
  if (proven && !ProgrammableWithoutErase(current, area.Saved, area.Length) &&
      EraseFlashSector(devicePath, area.EraseAddress) != 0) {
    ActivePlatform().SleepMs(kSettleAfterEraseMs);
    WaitFlashReady(devicePath);
  }
  WriteFlashBlock(devicePath, area.Address, area.Saved, area.Length);
  WaitFlashReady(devicePath);
  return ReadBackMatches(FlashBlockRange(devicePath, area.Address), area.Saved, area.Length);
}

}  // namespace

bool ProgrammableWithoutErase(const std::uint8_t* current, const std::uint8_t* wanted,
                              std::size_t length) {
  return std::equal(current, current + length, wanted,
                    [](std::uint8_t now, std::uint8_t saved) { return (now & saved) == saved; });
}

bool KeptAreaInPlace(const std::string& devicePath, const KeptArea& area) {
  AlignedBuffer current = AllocateWorkBuffer(area.Length);
  return current.ok() &&
         ReadProven(FlashBlockRange(devicePath, area.Address), current.data(), area.Length) &&
         std::memcmp(current.data(), area.Saved, area.Length) == 0;
}

int RestoreKeptArea(const std::string& devicePath, const KeptArea& area) {
  AlignedBuffer current = AllocateWorkBuffer(area.Length);
  if (!current.ok()) {
    return 0;
  }
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (WriteAreaOnce(devicePath, area, current.data()) == 1) {
      return 1;
    }
  }
  return 0;
}

}  // namespace q71x
