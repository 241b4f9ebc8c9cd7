// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Bounded waits on the serial-flash status register, polled every 10 ms on the platform clock.
// The byte under test starts as 00 and keeps its last good value when a status read fails.

#include <cstdint>
#include <string>

namespace q71x {

inline constexpr std::uint32_t kFlashPollIntervalMs = 10;
// Re-reads within which WaitFlashStatusSet and WaitFlashIdle must see their condition.
inline constexpr std::uint32_t kStatusWaitReReads = 300;
// Re-reads within which WaitFlashReady must see the busy bit clear.
inline constexpr std::uint32_t kReadyWaitReReads = 500;

// 1 when (status AND mask) became non-zero within kStatusWaitReReads re-reads, else 0.
int WaitFlashStatusSet(const std::string& devicePath, std::uint8_t mask);
// 1 when (status AND 06) became zero within kStatusWaitReReads re-reads, else 0.
int WaitFlashIdle(const std::string& devicePath);
// 1 when the busy bit was clear at the first read or within kReadyWaitReReads re-reads, else 0.
int WaitFlashReady(const std::string& devicePath);

}  // namespace q71x
