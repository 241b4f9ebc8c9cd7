// Device refresh and hot-plug: the list is rebuilt as a whole from discovery, a burst of
// device-change notifications is folded into one refresh by the window timer, and a dropped file
// becomes the firmware file name.

#include <algorithm>

#include "src/device/platform/platform.h"
#include "src/device/platform/user_dialogs.h"
#include "src/tool/bridge_list.h"
#include "src/tool/file_name_limit.h"
#include "src/tool/tool_core.h"
#include "src/tool/tool_texts.h"
#include "src/update/update_texts.h"

namespace q71x {
namespace {

bool QualifiesForRefresh(std::uint32_t eventCode) {
  return eventCode == kDeviceArrival || eventCode == kDeviceRemoveComplete ||
         (eventCode & 0x0002) != 0;
}

}  // namespace

void ToolCore::RefreshBtnClick() {
  // After a power cycle or any hot-plug the operator's device stays chosen while it is listed:
  // falling back to the first item could leave Run enabled for another enclosure of the same
  // chip, which the next Run would program.
  const int selected = SelectedDeviceIndex();
  const std::string keepPath =
      selected >= 0 ? devices_[static_cast<std::size_t>(selected)].DevicePath : std::string();
  const std::vector<ListedBridge> listed =
      ListBridges([this](const std::string& path) { return AccessOf(path); });
  deviceCount_ = static_cast<int>(listed.size());
  if (deviceCount_ > 0) {
    RebuildDeviceList(listed, keepPath);
    declinedJournalEntries_.clear();
    UpdateBtnCheck();
    return;
  }
  ShowNoDevice();
}

void ToolCore::RebuildDeviceList(const std::vector<ListedBridge>& listed,
                                 const std::string& keepPath) {
  deviceItems_.clear();
  int keep = 0;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    devices_[i] = listed[i].Entry;
    access_[i] = listed[i].Access;
    if (listed[i].Access.Contact) {
      sessionsOpened_.insert(listed[i].Entry.DevicePath);
    }
    deviceItems_.push_back(listed[i].ItemText);
    SetText(Control::diskLabel, std::string(listed[i].Is1394 ? k1394DiskCaption : kUsbDiskCaption));
    if (!keepPath.empty() && listed[i].Entry.DevicePath == keepPath) {
      keep = static_cast<int>(i);
    }
  }
  Mutable(Control::DeviceList).SelectedItem = keep;
  view_.ShowDeviceItems(deviceItems_, keep);
  SetEnabled(Control::DeviceList, true);
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
