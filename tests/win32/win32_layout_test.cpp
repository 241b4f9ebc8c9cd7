// SPDX-License-Identifier: GPL-2.0-or-later
// The layout table the native window is built from: every control once, the keyboard order of
// the Qt window (which Windows takes from the order of creation), and nothing outside its parent.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "src/app/win32/win32_layout.h"

namespace q71x::win32 {
namespace {

TEST(Win32Layout, EveryControlOnce) {
  std::set<Control> seen;
  for (const ControlSpec& spec : WindowLayout()) {
    EXPECT_TRUE(seen.insert(spec.Id).second) << ControlName(spec.Id);
    EXPECT_EQ(SpecOf(spec.Id).Id, spec.Id);
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kControlCount));
}

// The keyboard numbers of the window's controls and of the engineering panel's own.
const std::map<Control, int> kTabNumbers = {
    {Control::ChipLabelEdit, 2},  {Control::RefreshBtn, 3},      {Control::FwFilenameEdit, 4},
    {Control::LoadBtn, 5},        {Control::DeviceList, 6},      {Control::DiskLetterLable, 7},
    {Control::FwVerLableEdit, 8}, {Control::SFlashTypeLable, 9}, {Control::FlashTypeList, 10},
    {Control::StatusEdit, 11},    {Control::RdCheckBox, 12},     {Control::ExitBtn, 13},
    {Control::UpdateBtn, 14},     {Control::FwPgSizeCheck, 15},  {Control::BackupFWCheckBox, 0},
    {Control::EraseOnlyCheck, 1}, {Control::BackupFileEdit, 2},  {Control::BackupBtn, 3},
    {Control::A1ChipCheck, 4},    {Control::NVRAMCheck, 5},      {Control::FwSizeCheck, 6},
    {Control::ChkSumChk, 7},      {Control::QV958Path, 8}};

TEST(Win32Layout, CreationOrderIsTheKeyboardOrderWithinEachParent) {
  std::map<bool, int> last = {{false, -1}, {true, -1}};
  int tabStops = 0;
  for (const ControlSpec& spec : WindowLayout()) {
    const auto number = kTabNumbers.find(spec.Id);
    EXPECT_EQ(spec.TabStop, number != kTabNumbers.end()) << ControlName(spec.Id);
    if (number == kTabNumbers.end()) {
      continue;
    }
    ++tabStops;
    EXPECT_GT(number->second, last[spec.InRdPanel]) << ControlName(spec.Id);
    last[spec.InRdPanel] = number->second;
  }
  EXPECT_EQ(tabStops, static_cast<int>(kTabNumbers.size()));
}

TEST(Win32Layout, ThePanelComesFirstAndEveryControlLiesInsideItsParent) {
  ASSERT_EQ(WindowLayout().front().Id, Control::RdPanel);
  const Bounds panel = SpecOf(Control::RdPanel).Place;
  for (const ControlSpec& spec : WindowLayout().subspan(1)) {
    const int width = spec.InRdPanel ? panel.Width : kClientWidth;
    const int height = spec.InRdPanel ? panel.Height : kClientHeight;
    EXPECT_GE(spec.Place.Left, 0) << ControlName(spec.Id);
    EXPECT_GT(spec.Place.Width, 0) << ControlName(spec.Id);
    EXPECT_LE(spec.Place.Left + spec.Place.Width, width) << ControlName(spec.Id);
    EXPECT_LE(spec.Place.Top + spec.Place.Height, height) << ControlName(spec.Id);
    // Only the engineering panel's controls live inside it.
    EXPECT_EQ(spec.InRdPanel, spec.Id >= Control::A1ChipCheck) << ControlName(spec.Id);
  }
}

TEST(Win32Layout, ComboBoxesCarryTheirItems) {
  EXPECT_EQ(SpecOf(Control::FwPgSizeCheck).Items.size(), 5u);
  EXPECT_EQ(SpecOf(Control::FwPgSizeCheck).Items[2], " 8 KB");
  EXPECT_EQ(SpecOf(Control::FlashTypeList).Items.back(), "SST SST39LF512");
  EXPECT_EQ(SpecOf(Control::QV958Path).Items.front(), "1.SETNVRAM");
  EXPECT_EQ(SpecOf(Control::FwSizeCheck).Items.back(), "   1MB");
  EXPECT_EQ(SpecOf(Control::FwSizeCheck).FontHeight, -13);
  EXPECT_EQ(SpecOf(Control::FwSizeCheck).ItemHeight, 16);
  EXPECT_TRUE(SpecOf(Control::DeviceList).Items.empty());
}

}  // namespace
}  // namespace q71x::win32
