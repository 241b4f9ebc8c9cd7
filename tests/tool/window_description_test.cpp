// SPDX-License-Identifier: GPL-2.0-or-later
// The window description both windows are drawn from: every control once, the keyboard order
// (which Windows takes from the order of creation), nothing outside its parent, no control on
// top of another, and the combo boxes' items with the values the core takes from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

#include "src/catalog/parallel_part_table.h"
#include "src/tool/window_description.h"

namespace q71x {
namespace {

TEST(WindowDescription, EveryControlOnce) {
  std::set<Control> seen;
  for (const ControlSpec& spec : WindowDescription()) {
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

TEST(WindowDescription, CreationOrderIsTheKeyboardOrderWithinEachParent) {
  std::map<bool, int> last = {{false, -1}, {true, -1}};
  int tabStops = 0;
  for (const ControlSpec& spec : WindowDescription()) {
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

TEST(WindowDescription, ThePanelComesFirstAndEveryControlLiesInsideItsParent) {
  ASSERT_EQ(WindowDescription().front().Id, Control::RdPanel);
  const Bounds panel = SpecOf(Control::RdPanel).Place;
  for (const ControlSpec& spec : WindowDescription().subspan(1)) {
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

TEST(WindowDescription, ComboBoxesCarryTheirItems) {
  EXPECT_EQ(SpecOf(Control::FwPgSizeCheck).Items.size(), 5u);
  EXPECT_EQ(SpecOf(Control::FwPgSizeCheck).Items[2].Caption, " 8 KB");
  EXPECT_EQ(SpecOf(Control::FlashTypeList).Items[ParallelPartItem(ParallelPart::Sst)].Caption,
            "SST SST39LF512");
  EXPECT_EQ(SpecOf(Control::QV958Path).Items.front().Caption, "1.SETNVRAM");
  EXPECT_EQ(SpecOf(Control::FwSizeCheck).Items.back().Caption, "   1MB");
  EXPECT_EQ(SpecOf(Control::FwSizeCheck).FontHeight, -13);
  EXPECT_EQ(SpecOf(Control::FwSizeCheck).ItemHeight, 16);
  EXPECT_TRUE(SpecOf(Control::DeviceList).Items.empty());
}

TEST(WindowDescription, EveryControlTheKeyboardCanReachIsATabStop) {
  for (const ControlSpec& spec : WindowDescription()) {
    const bool focusable = spec.Kind != ControlKind::Label && spec.Kind != ControlKind::Panel;
    EXPECT_EQ(spec.TabStop, focusable) << ControlName(spec.Id);
  }
}

// How far two spans of pixels overlap; 0 or less when they do not.
int Overlap(int firstStart, int firstLength, int secondStart, int secondLength) {
  return std::min(firstStart + firstLength, secondStart + secondLength) -
         std::max(firstStart, secondStart);
}

bool OnTopOfEachOther(const Bounds& first, const Bounds& second) {
  // Sharing an edge is allowed: the form's check boxes reach one pixel into their neighbour's.
  return Overlap(first.Left, first.Width, second.Left, second.Width) > 1 &&
         Overlap(first.Top, first.Height, second.Top, second.Height) > 1;
}

TEST(WindowDescription, NoControlLiesOnTopOfAnother) {
  const Bounds panel = SpecOf(Control::RdPanel).Place;
  const auto controls = WindowDescription().subspan(1);
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlSpec& first = controls[i];
    if (!first.InRdPanel) {
      // The panel, shown, would cover it; so would the separator line above the panel.
      EXPECT_LE(first.Place.Top + first.Place.Height, kSeparatorBounds.Top)
          << ControlName(first.Id);
    }
    for (const ControlSpec& second : controls.subspan(i + 1)) {
      if (first.InRdPanel == second.InRdPanel) {
        EXPECT_FALSE(OnTopOfEachOther(first.Place, second.Place))
            << ControlName(first.Id) << " and " << ControlName(second.Id);
      }
    }
  }
  EXPECT_LE(kSeparatorBounds.Top + kSeparatorBounds.Height, panel.Top);
}

// The size boxes' values are the sizes their captions name ("128KB", " 8 KB", "   1MB").
std::uint32_t SizeNamedBy(std::string_view caption) {
  const auto digits = caption.find_first_not_of(' ');
  std::uint32_t number = 0;
  const auto [end, error] =
      std::from_chars(caption.data() + digits, caption.data() + caption.size(), number);
  EXPECT_EQ(error, std::errc()) << caption;
  const std::string_view unit = caption.substr(static_cast<std::size_t>(end - caption.data()));
  return number * (unit.find('M') != std::string_view::npos ? 1048576u : 1024u);
}

TEST(WindowDescription, ComboItemsStandForWhatTheirCaptionsSay) {
  for (Control box : {Control::FwSizeCheck, Control::FwPgSizeCheck}) {
    for (const ComboItem& item : SpecOf(box).Items) {
      EXPECT_EQ(item.Value, SizeNamedBy(item.Caption)) << item.Caption;
    }
  }
  // Each part once, numbered as the parallel procedures take them.
  const auto parts = SpecOf(Control::FlashTypeList).Items;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    EXPECT_EQ(ItemValue(Control::FlashTypeList, static_cast<int>(i)), i) << parts[i].Caption;
  }
  // A typed text, or an item the box does not have, stands for nothing.
  EXPECT_FALSE(ItemValue(Control::FwSizeCheck, -1));
  EXPECT_FALSE(ItemValue(Control::FwSizeCheck, 6));
  EXPECT_FALSE(ItemValue(Control::DeviceList, 0));
}

}  // namespace
}  // namespace q71x
