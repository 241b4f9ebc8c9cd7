// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/guest/hotplug_debounce.h"

#include <gtest/gtest.h>

namespace q71x::guest {
namespace {

TEST(HotplugDebounce, ABurstOfChangesExpiresOnceAfterTheLast) {
  HotplugDebounce debounce;
  debounce.OnChange(DeviceChange::Removal, 1000);
  debounce.OnChange(DeviceChange::Removal, 1150);
  debounce.OnChange(DeviceChange::Removal, 1300);
  EXPECT_FALSE(debounce.TakeExpired(1499));
  EXPECT_TRUE(debounce.TakeExpired(1500));
  EXPECT_FALSE(debounce.TakeExpired(5000)) << "one refresh per burst";
  EXPECT_FALSE(debounce.DeadlineMs());
}

TEST(HotplugDebounce, AnArrivalWaitsLongerAndRestartsAPendingShortTimer) {
  HotplugDebounce debounce;
  debounce.OnChange(DeviceChange::Removal, 0);
  debounce.OnChange(DeviceChange::Arrival, 100);
  EXPECT_FALSE(debounce.TakeExpired(200));
  EXPECT_FALSE(debounce.TakeExpired(1299));
  EXPECT_TRUE(debounce.TakeExpired(1300));

  debounce.OnChange(DeviceChange::Arrival, 2000);
  debounce.OnChange(DeviceChange::Other, 2100);
  EXPECT_EQ(debounce.DeadlineMs(), 2300u) << "the last notification decides, as in the window";
}

TEST(HotplugDebounce, NothingExpiresWithoutAChange) {
  HotplugDebounce debounce;
  EXPECT_FALSE(debounce.TakeExpired(100000));
}

}  // namespace
}  // namespace q71x::guest
