// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/guest/hotplug_debounce.h"

namespace q71x::guest {

void HotplugDebounce::OnChange(DeviceChange change, std::uint64_t nowMs) {
  deadlineMs_ = nowMs + (change == DeviceChange::Arrival ? kArrivalDebounceMs : kOtherDebounceMs);
}

bool HotplugDebounce::TakeExpired(std::uint64_t nowMs) {
  if (!deadlineMs_ || nowMs < *deadlineMs_) {
    return false;
  }
  deadlineMs_.reset();
  return true;
}

}  // namespace q71x::guest
