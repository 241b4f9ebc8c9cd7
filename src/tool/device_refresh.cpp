// SPDX-License-Identifier: GPL-2.0-or-later
// Device refresh and hot-plug: the list is rebuilt as a whole from discovery with the operator's
// enclosure selected wherever it is, a burst of device-change notifications is folded into one
// refresh by the window timer, and a dropped file becomes the firmware file name.

#include <algorithm>

#include "src/device/platform/platform.h"
#include "src/host/user_dialogs.h"
#include "src/tool/bridge_list.h"
#include "src/tool/file_name_limit.h"
#include "src/tool/tool_core.h"
#include "src/tool/tool_texts.h"
#include "src/tool/unit_key.h"
#include "src/update/update_texts.h"

namespace q71x {
namespace {

bool QualifiesForRefresh(std::uint32_t eventCode) {
  return eventCode == kDeviceArrival || eventCode == kDeviceRemoveComplete ||
         (eventCode & 0x0002) != 0;
}

}  // namespace

void ToolCore::RefreshBtnClick() {
  const std::vector<ListedBridge> listed =
      ListBridges([this](const std::string& path) { return AccessOf(path); });
  deviceCount_ = static_cast<int>(listed.size());
  if (deviceCount_ > 0) {
    RebuildDeviceList(listed);
    declinedJournalEntries_.clear();
    UpdateBtnCheck();
    return;
  }
  listedUnits_.clear();
  selectionUnchosen_ = false;
  ShowNoDevice();
}

void ToolCore::RebuildDeviceList(const std::vector<ListedBridge>& listed) {
  deviceItems_.clear();
  listedUnits_.clear();
  for (std::size_t i = 0; i < listed.size(); ++i) {
    devices_[i] = listed[i].Entry;
    access_[i] = listed[i].Access;
    if (listed[i].Access.Contact) {
      sessionsOpened_.insert(listed[i].Entry.DevicePath);
    }
    deviceItems_.push_back(listed[i].ItemText);
    listedUnits_.push_back(UnitKeyOf(listed[i].Entry.DevicePath));
    SetText(Control::diskLabel, std::string(listed[i].Is1394 ? k1394DiskCaption : kUsbDiskCaption));
  }
  // After a power cycle or any hot-plug the operator's enclosure is selected again wherever it
  // is listed now. While it is away the first item is shown, as at start-up, but Run stays off:
  // the file named for the chosen enclosure would go into whichever came first.
  // The start-up selection is the one the operator starts from.
  if (!chosenUnit_ && !started_) {
    chosenUnit_ = listedUnits_.front();
  }
  const int found = chosenUnit_ ? FindUnit(*chosenUnit_, listedUnits_) : -1;
  selectionUnchosen_ = found < 0;
  const int selected = std::max(found, 0);
  Mutable(Control::DeviceList).SelectedItem = selected;
  view_.ShowDeviceItems(deviceItems_, selected);
  SetEnabled(Control::DeviceList, true);
  if (selectionUnchosen_) {
    SetEnabled(Control::UpdateBtn, false);
  }
}

void ToolCore::ChooseShownDevice() {
  const int selected = SelectedDeviceIndex();
  if (selected >= 0 && static_cast<std::size_t>(selected) < listedUnits_.size()) {
    chosenUnit_ = listedUnits_[static_cast<std::size_t>(selected)];
    selectionUnchosen_ = false;
  }
}

void ToolCore::ShowNoDevice() {
  deviceItems_.assign(1, std::string(kNoDeviceItem));
  Mutable(Control::DeviceList).SelectedItem = 0;
  view_.ShowDeviceItems(deviceItems_, 0);
  SetEnabled(Control::DeviceList, false);
  SetEnabled(Control::UpdateBtn, false);
  for (Control field : {Control::ChipLabelEdit, Control::DiskLetterLable, Control::FwVerLableEdit,
                        Control::SFlashTypeLable, Control::StatusEdit}) {
    SetText(field, {});
  }
  SetEnabled(Control::FlashTypeList, false);
  SetEnabled(Control::A1ChipCheck, false);
  SetVisible(Control::NVRAMCheck, false);
  // A platform that sees bridges it may not open says why; otherwise the field stays empty.
  if (const std::string notice = ActivePlatform().AccessNotice(); !notice.empty()) {
    SetStatus(notice);
  }
}

void ToolCore::DeviceChangeMsg(std::uint32_t eventCode) {
  if (!QualifiesForRefresh(eventCode)) {
    return;
  }
  if (Busy()) {
    // One change is owed, however many arrive; an arrival's longer delay wins.
    if (!deviceChangeOwed_ || eventCode == kDeviceArrival) {
      deviceChangeOwed_ = eventCode;
    }
    return;
  }
  // Each notification of a burst starts the delay over; an arrival waits longer so that the
  // new device's volumes are there when the list is rebuilt.
  timers_->KillTimer(kHotPlugTimerId);
  timers_->SetTimer(kHotPlugTimerId,
                    eventCode == kDeviceArrival ? kArrivalDelayMs : kOtherChangeDelayMs);
}

void ToolCore::TimerMsg(int timerId) {
  if (timerId != kHotPlugTimerId) {
    return;
  }
  // The timer repeats until killed: killing it here, busy or not, makes a burst one refresh.
  timers_->KillTimer(kHotPlugTimerId);
  if (Busy()) {
    refreshOwed_ = true;
    return;
  }
  RefreshBtnClick();
}

void ToolCore::DropFilesMsg(const std::vector<std::string>& fileNames) {
  if (Busy()) {
    Defer([this, fileNames] { DropFilesMsg(fileNames); });
    return;
  }
  if (fileNames.size() != 1) {
    ShowMessageBox(std::string(kDropOneFileText), std::string(kMessageCaption));
    return;
  }
  if (FileNameTooLong(fileNames.front())) {
    SetStatus(std::string(kFirmwareNameTooLongText));
    return;
  }
  SetFileNameText(fileNames.front());
}

}  // namespace q71x
