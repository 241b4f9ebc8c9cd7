// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/window_description.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "src/tool/parallel_part_items.h"

namespace q71x {
namespace {

using K = ControlKind;
using C = Control;

constexpr std::array<ComboItem, 5> kPageSizes = {
    {{"32 KB", 32768}, {"16 KB", 16384}, {" 8 KB", 8192}, {" 4 KB", 4096}, {" 2 KB", 2048}}};
// The hidden path box only re-applies the page size; its items are numbered as they read.
constexpr std::array<ComboItem, 3> kQv958Paths = {
    {{"1.SETNVRAM", 1}, {"2.FLASHREAD", 2}, {"3.FLASHOPCODE", 3}}};
constexpr std::array<ComboItem, 6> kFirmwareSizes = {{{"32KB", 32768},
                                                      {"64KB", 65536},
                                                      {"128KB", 131072},
                                                      {"256KB", 262144},
                                                      {"512KB", 524288},
                                                      {"   1MB", 1048576}}};

// Built on first use: the flash-type box lists the parts from their own table.
std::array<ControlSpec, kControlCount> Describe() {
  return {{
      {.Id = C::RdPanel,
       .Kind = K::Panel,
       .Place = {0, 296, 345, kRdPanelHeight},
       .Visible = false,
       .AccessibleName = "Engineering options"},
      // The engineering panel's own keyboard order.
      {.Id = C::BackupFWCheckBox,
       .Kind = K::CheckBox,
       .InRdPanel = true,
       .TabStop = true,
       .Text = "Backup Old Firmware Only",
       .Place = {8, 48, 153, 17}},
      {.Id = C::EraseOnlyCheck,
       .Kind = K::CheckBox,
       .InRdPanel = true,
       .TabStop = true,
       .Text = "Erase All Flash Only ",
       .Place = {8, 28, 121, 17}},
      {.Id = C::BackupFileEdit,
       .Kind = K::LabeledEdit,
       .InRdPanel = true,
       .TabStop = true,
       .Text = "Backup FileName ",
       .Place = {115, 96, 214, 21}},
      {.Id = C::BackupBtn,
       .Kind = K::Button,
       .InRdPanel = true,
       .TabStop = true,
       .Text = "Browse",
       .Place = {256, 61, 75, 25}},
      {.Id = C::A1ChipCheck,
       .Kind = K::CheckBox,
       .InRdPanel = true,
       .TabStop = true,
       .Text = "A1 Chip",
       .Place = {8, 8, 65, 17}},
      {.Id = C::NVRAMCheck,
       .Kind = K::CheckBox,
       .InRdPanel = true,
       .TabStop = true,
       .Text = "Include 4K NVRAM",
       .Place = {128, 28, 113, 17}},
      {.Id = C::FwSizeCheck,
       .Kind = K::ComboBox,
       .InRdPanel = true,
       .TabStop = true,
       .Place = {8, 72, 65, 24},
       .Items = kFirmwareSizes,
       .SelectedItem = 0,
       .AccessibleName = "Firmware size",
       .FontHeight = kFwSizeFontHeight,
       .ItemHeight = kFwSizeItemHeight},
      {.Id = C::ChkSumChk,
       .Kind = K::CheckBox,
       .InRdPanel = true,
       .TabStop = true,
       .Text = "Check CheckSum",
       .Place = {128, 8, 113, 17}},
      {.Id = C::QV958Path,
       .Kind = K::ComboBox,
       .InRdPanel = true,
       .TabStop = true,
       .Place = {240, 4, 97, 21},
       .Items = kQv958Paths,
       .SelectedItem = 0,
       .Visible = false,
       .AccessibleName = "Path"},
      // The window's controls by their numbers.
      {.Id = C::ChipLabelEdit,
       .Kind = K::DisplayField,
       .TabStop = true,
       .Text = "Chip ",
       .Place = {80, 12, 129, 21}},
      {.Id = C::RefreshBtn,
       .Kind = K::Button,
       .TabStop = true,
       .Text = "Refresh Device",
       .Place = {240, 8, 91, 25},
       .Visible = false},
      {.Id = C::FwFilenameEdit,
       .Kind = K::LabeledEdit,
       .TabStop = true,
       .Text = "Firmware File ",
       .Place = {80, 70, 249, 21}},
      {.Id = C::LoadBtn,
       .Kind = K::Button,
       .TabStop = true,
       .Text = "Load File",
       .Place = {256, 96, 75, 25}},
      {.Id = C::DeviceList,
       .Kind = K::ComboBox,
       .TabStop = true,
       .Place = {80, 40, 249, 21},
       .AccessibleName = "Device"},
      {.Id = C::DiskLetterLable,
       .Kind = K::DisplayField,
       .TabStop = true,
       .Text = "Drives ",
       .Place = {80, 100, 89, 21}},
      {.Id = C::FwVerLableEdit,
       .Kind = K::DisplayField,
       .TabStop = true,
       .Text = "Firmware Ver. ",
       .Place = {80, 124, 89, 21}},
      {.Id = C::SFlashTypeLable,
       .Kind = K::DisplayField,
       .TabStop = true,
       .Text = "Flash Type",
       .Place = {80, 148, 89, 21}},
      {.Id = C::FlashTypeList,
       .Kind = K::ComboBox,
       .TabStop = true,
       .Place = {80, 196, 145, 21},
       .Items = ParallelFlashPartItems(),
       .SelectedItem = 0,
       .AccessibleName = "Flash Type"},
      {.Id = C::StatusEdit,
       .Kind = K::StatusField,
       .TabStop = true,
       .Text = "Status ",
       .Place = {80, 220, 249, 21}},
      {.Id = C::RdCheckBox,
       .Kind = K::CheckBox,
       .TabStop = true,
       .Text = "RD Version",
       .Place = {8, 264, 81, 17}},
      {.Id = C::ExitBtn,
       .Kind = K::Button,
       .TabStop = true,
       .Text = "Exit",
       .Place = {216, 256, 75, 25}},
      {.Id = C::UpdateBtn,
       .Kind = K::Button,
       .TabStop = true,
       .Text = "Run",
       .Place = {96, 256, 75, 25},
       .Enabled = false},
      {.Id = C::FwPgSizeCheck,
       .Kind = K::ComboBox,
       .TabStop = true,
       .Place = {80, 172, 89, 21},
       .Items = kPageSizes,
       .SelectedItem = 1,
       .Visible = false,
       .AccessibleName = "Flash PgSz"},
      // Labels: the keyboard passes them by.
      {.Id = C::diskLabel, .Kind = K::Label, .Text = "USB Disk", .Place = {24, 44, 46, 13}},
      {.Id = C::FwPgBurnSizeLabel,
       .Kind = K::Label,
       .Text = "Flash PgSz",
       .Place = {24, 175, 53, 13},
       .Visible = false},
      {.Id = C::FlashTypeLabel,
       .Kind = K::Label,
       .Text = "Flash Type ",
       .Place = {24, 196, 55, 13}},
      {.Id = C::FwSizeLable,
       .Kind = K::Label,
       .InRdPanel = true,
       .Text = "Firmware size",
       .Place = {75, 75, 63, 13}},
  }};
}

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::span<const ControlSpec> WindowDescription() {
  static const std::array<ControlSpec, kControlCount> kDescription = Describe();
  return kDescription;
}

const ControlSpec& SpecOf(Control control) {
  const auto description = WindowDescription();
  const auto found =
      std::find_if(description.begin(), description.end(),
                   [control](const ControlSpec& spec) { return spec.Id == control; });
  if (found == description.end()) {
    throw std::logic_error("control missing from the window description");
  }
  return *found;
}

std::string_view AccessibleNameOf(const ControlSpec& spec) {
  return spec.AccessibleName.empty() ? Trimmed(spec.Text) : spec.AccessibleName;
}

std::optional<std::uint32_t> ItemValue(Control box, int item) {
  const std::span<const ComboItem> items = SpecOf(box).Items;
  if (item < 0 || static_cast<std::size_t>(item) >= items.size()) {
    return std::nullopt;
  }
  return items[static_cast<std::size_t>(item)].Value;
}

}  // namespace q71x
