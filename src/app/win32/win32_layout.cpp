// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/win32/win32_layout.h"

#include <array>
#include <stdexcept>

#include "src/catalog/parallel_part_table.h"

namespace q71x::win32 {
namespace {

using K = ControlKind;
using C = Control;

constexpr std::array<std::string_view, 5> kPageSizes = {"32 KB", "16 KB", " 8 KB", " 4 KB",
                                                        " 2 KB"};
constexpr std::array<std::string_view, 3> kQv958Paths = {"1.SETNVRAM", "2.FLASHREAD",
                                                         "3.FLASHOPCODE"};
constexpr std::array<std::string_view, 6> kFirmwareSizes = {"32KB",  "64KB",  "128KB",
                                                            "256KB", "512KB", "   1MB"};

constexpr std::array<ControlSpec, kControlCount> kLayout = {{
    {C::RdPanel, K::Panel, false, false, "", {0, 296, 345, kRdPanelHeight}},
    // The engineering panel's own keyboard order.
    {C::BackupFWCheckBox, K::CheckBox, true, true, "Backup Old Firmware Only", {8, 48, 153, 17}},
    {C::EraseOnlyCheck, K::CheckBox, true, true, "Erase All Flash Only ", {8, 28, 121, 17}},
    {C::BackupFileEdit, K::LabeledEdit, true, true, "Backup FileName ", {115, 96, 214, 21}},
    {C::BackupBtn, K::Button, true, true, "Browse", {256, 61, 75, 25}},
    {C::A1ChipCheck, K::CheckBox, true, true, "A1 Chip", {8, 8, 65, 17}},
    {C::NVRAMCheck, K::CheckBox, true, true, "Include 4K NVRAM", {128, 28, 113, 17}},
    {C::FwSizeCheck,
     K::ComboBox,
     true,
     true,
     "",
     {8, 72, 65, 24},
     kFirmwareSizes,
     kFwSizeFontHeight,
     kFwSizeItemHeight},
    {C::ChkSumChk, K::CheckBox, true, true, "Check CheckSum", {128, 8, 113, 17}},
    {C::QV958Path, K::ComboBox, true, true, "", {240, 4, 97, 21}, kQv958Paths},
    // The window's controls by their numbers.
    {C::ChipLabelEdit, K::DisplayField, false, true, "Chip ", {80, 12, 129, 21}},
    {C::RefreshBtn, K::Button, false, true, "Refresh Device", {240, 8, 91, 25}},
    {C::FwFilenameEdit, K::LabeledEdit, false, true, "Firmware File ", {80, 70, 249, 21}},
    {C::LoadBtn, K::Button, false, true, "Load File", {256, 96, 75, 25}},
    {C::DeviceList, K::ComboBox, false, true, "", {80, 40, 249, 21}},
    {C::DiskLetterLable, K::DisplayField, false, true, "Drives ", {80, 100, 89, 21}},
    {C::FwVerLableEdit, K::DisplayField, false, true, "Firmware Ver. ", {80, 124, 89, 21}},
    {C::SFlashTypeLable, K::DisplayField, false, true, "Flash Type", {80, 148, 89, 21}},
    {C::FlashTypeList, K::ComboBox, false, true, "", {80, 196, 145, 21}, kParallelPartCaptions},
    {C::StatusEdit, K::StatusField, false, true, "Status ", {80, 220, 249, 21}},
    {C::RdCheckBox, K::CheckBox, false, true, "RD Version", {8, 264, 81, 17}},
    {C::ExitBtn, K::Button, false, true, "Exit", {216, 256, 75, 25}},
    {C::UpdateBtn, K::Button, false, true, "Run", {96, 256, 75, 25}},
    {C::FwPgSizeCheck, K::ComboBox, false, true, "", {80, 172, 89, 21}, kPageSizes},
    // Labels: the keyboard passes them by.
    {C::diskLabel, K::Label, false, false, "USB Disk", {24, 44, 46, 13}},
    {C::FwPgBurnSizeLabel, K::Label, false, false, "Flash PgSz", {24, 175, 53, 13}},
    {C::FlashTypeLabel, K::Label, false, false, "Flash Type ", {24, 196, 55, 13}},
    {C::FwSizeLable, K::Label, true, false, "Firmware size", {75, 75, 63, 13}},
}};

}  // namespace

std::span<const ControlSpec> WindowLayout() {
  return kLayout;
}

const ControlSpec& SpecOf(Control control) {
  for (const ControlSpec& spec : kLayout) {
    if (spec.Id == control) {
      return spec;
    }
  }
  throw std::logic_error("control missing from the window layout");
}

}  // namespace q71x::win32
