// SPDX-License-Identifier: GPL-2.0-or-later
// The window's side of one owner per bridge: a bridge another program owns is listed and sent
// nothing, choosing it says who owns it and leaves Run off, and once the owner is done the same
// choice checks it as usual.

#include <gtest/gtest.h>

#include <memory>

#include "src/host/unit_lock.h"
#include "src/tool/tool_core.h"
#include "src/tool/tool_texts.h"
#include "src/tool/unit_ownership.h"
#include "tests/campaign/campaign_devices.h"
#include "tests/support/fake_window_timers.h"
#include "tests/tool/simulated_desk.h"

namespace q71x::testing {
namespace {

TEST(WindowUnitOwner, AnOwnedBridgeIsListedSentNothingAndCheckedOnceItsOwnerIsDone) {
  SimulatedDesk desk;
  const std::string owned =
      campaign::AddCampaignDevice(desk.system, *campaign::FindCampaignDevice("qv40714-atmel"));
  const std::string free =
      campaign::AddCampaignDevice(desk.system, *campaign::FindCampaignDevice("qv40716-amic"));
  const ScopedUnitLockFolder locks(desk.folder.File("locks"));
  UnitOwnership other;
  ASSERT_FALSE(other.Claim(owned, UnitIdentity{}).has_value());

  ToolCore core(desk.view, std::make_unique<FakeWindowTimers>(), desk.folder.File(""));
  core.Start();
  ASSERT_EQ(core.DeviceCount(), 2);
  const int ownedItem = core.Devices()[0].DevicePath == owned ? 0 : 1;
  EXPECT_NE(core.DeviceItems()[static_cast<std::size_t>(ownedItem)].find(kInUseItemText),
            std::string::npos);
  EXPECT_FALSE(desk.system.Log().ForPath(free).empty()) << "the other bridge is listed as always";

  core.DeviceListChanged(ownedItem);
  EXPECT_EQ(core.StatusText().rfind("In use by process", 0), 0u) << core.StatusText();
  EXPECT_FALSE(core.Controls(Control::UpdateBtn).Enabled);
  EXPECT_TRUE(core.Controls(Control::ChipLabelEdit).Text.empty());
  core.UpdateBtnClick();
  EXPECT_EQ(core.LastResult(), -1);
  EXPECT_TRUE(desk.system.Log().ForPath(owned).empty());

  other.ReleaseAll();
  core.DeviceListChanged(ownedItem);
  EXPECT_FALSE(desk.system.Log().ForPath(owned).empty());
  EXPECT_FALSE(core.Controls(Control::ChipLabelEdit).Text.empty());
  EXPECT_EQ(core.DeviceItems()[static_cast<std::size_t>(ownedItem)].find(kInUseItemText),
            std::string::npos);
  core.Shutdown();
}

}  // namespace
}  // namespace q71x::testing
