// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/flash_waits.h"

#include "src/device/flash_commands.h"
#include "src/device/platform/platform.h"

namespace q71x {
namespace {

constexpr std::uint8_t kIdleMask = 0x06;  // write in progress and write-enable latch

// Reads the status, then re-reads every 10 ms until `done` holds. Two re-reads beyond the limit
// are still made before giving up, but a condition first met on one of them does not count: the
// caller was promised an answer within `limit` re-reads.
template <typename Condition>
int PollFlashStatus(const std::string& devicePath, std::uint32_t limit, Condition done) {
  std::uint8_t status = 0;
  ReadFlashStatus(devicePath, status);
  std::uint32_t reReads = 0;
  while (!done(status)) {
    ActivePlatform().SleepMs(kFlashPollIntervalMs);
    ReadFlashStatus(devicePath, status);
    ++reReads;
    if (reReads > limit + 1) {
      break;
    }
  }
  return reReads <= limit ? 1 : 0;
}

}  // namespace

int WaitFlashStatusSet(const std::string& devicePath, std::uint8_t mask) {
  return PollFlashStatus(devicePath, kStatusWaitReReads,
                         [mask](std::uint8_t status) { return (status & mask) != 0; });
}

int WaitFlashIdle(const std::string& devicePath) {
  return PollFlashStatus(devicePath, kStatusWaitReReads,
                         [](std::uint8_t status) { return (status & kIdleMask) == 0; });
}

int WaitFlashReady(const std::string& devicePath) {
  return PollFlashStatus(devicePath, kReadyWaitReReads,
                         [](std::uint8_t status) { return (status & kFlashStatusBusy) == 0; });
}

}  // namespace q71x
