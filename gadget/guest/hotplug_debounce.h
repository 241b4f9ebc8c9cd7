// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The window's hot-plug rule without the window: every device-change notification starts the
// timer over, 1200 ms after an arrival and 200 ms after anything else, and the list is refreshed
// once when it runs out. The guest test counts refreshes with it, so a burst of notifications
// must come out as one.

#include <cstdint>
#include <optional>

#include "src/device/platform/platform.h"

namespace q71x::guest {

inline constexpr std::uint64_t kArrivalDebounceMs = 1200;
inline constexpr std::uint64_t kOtherDebounceMs = 200;

class HotplugDebounce {
 public:
  void OnChange(DeviceChange change, std::uint64_t nowMs);
  // True once when the timer has run out; it is stopped then until the next change.
  bool TakeExpired(std::uint64_t nowMs);
  std::optional<std::uint64_t> DeadlineMs() const { return deadlineMs_; }

 private:
  std::optional<std::uint64_t> deadlineMs_;
};

}  // namespace q71x::guest
