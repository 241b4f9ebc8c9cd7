// Device refresh and hot-plug: the list is rebuilt as a whole from discovery, a burst of
// device-change notifications is folded into one refresh by the window timer, and a dropped file
// becomes the firmware file name.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <array>
#include <cctype>

#include "src/app/file_name_limit.h"
#include "src/app/fwupdate.h"
#include "src/app/labeled_edit.h"
#include "src/app/window_texts.h"
#include "src/app/window_timers.h"
#include "src/device/discovery.h"
#include "src/device/platform/platform.h"
#include "src/device/platform/user_dialogs.h"

namespace q71x {
namespace {

constexpr std::uint32_t kInquiryLength = 40;
constexpr std::size_t kDisplayNameOffset = 8;
constexpr std::size_t kDisplayNameLength = 24;  // vendor (8) and product (16) identification

using DisplayName = std::array<char, kDisplayNameLength>;

QString DisplayNameText(const DisplayName& name) {
  const auto end = std::find(name.begin(), name.end(), '\0');
  return QString::fromLatin1(name.data(), end - name.begin());
}

void ToLowerInPlace(std::string& text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
}

bool QualifiesForRefresh(std::uint32_t eventCode) {
  return eventCode == kDeviceArrival || eventCode == kDeviceRemoveComplete ||
         (eventCode & 0x0002) != 0;
}

}  // namespace

void TQ71xFwTool::RefreshBtnClick(QObject* sender) {
  DevicePathSlots pathSlots;
  const int diskCount = EnumerateDiskInterfaces(pathSlots, 1);
  const int cdromCount = EnumerateCdromInterfaces(pathSlots, diskCount, 1);
  DeviceCount = diskCount + cdromCount;

  // Rebuilding the list is not a selection by the operator: the one chip check of a refresh is
  // the one at its end.
  const QSignalBlocker blockList(DeviceList);
  if (DeviceCount > 0) {
    DeviceList->clear();
    // One name area for the whole refresh: a device that does not answer INQUIRY is listed
    // under the name of the device before it.
    DisplayName name{};
    for (int i = 0; i < DeviceCount; ++i) {
      std::string& slot = pathSlots[static_cast<std::size_t>(i)];
      ToLowerInPlace(slot);
      std::array<std::uint8_t, kInquiryLength> reply{};
      if (Inquiry(slot, reply.data(), kInquiryLength) == 1) {
        std::copy_n(reply.begin() + kDisplayNameOffset, kDisplayNameLength, name.begin());
      }
      DeviceEntry& entry = Devices[static_cast<std::size_t>(i)];
      entry.DevicePath = slot;
      entry.IsCdromClass = 0;
      BridgeSessionOpen(entry.DevicePath);
      FindVolumeLetters(slot, entry.DriveLetters);
      const bool is1394 = slot.find("sbp2") != std::string::npos;
      diskLabel->setText(WindowText(is1394 ? k1394DiskCaption : kUsbDiskCaption));
      diskLabel->adjustSize();
      DeviceList->addItem(WindowText(is1394 ? k1394ItemPrefix : kUsbItemPrefix) +
                          DisplayNameText(name));
    }
    for (int i = diskCount; i < DeviceCount; ++i) {
      DeviceEntry& entry = Devices[static_cast<std::size_t>(i)];
      entry.IsCdromClass = 1;
      BridgeSessionOpen(entry.DevicePath);
    }
    DeviceList->setEnabled(true);
    DeviceList->setCurrentIndex(0);
    UpdateBtnCheck(sender);
    return;
  }

  DeviceList->clear();
  DeviceList->addItem(WindowText(kNoDeviceItem));
  DeviceList->setCurrentIndex(0);
  DeviceList->setEnabled(false);
  UpdateBtn->setEnabled(false);
  for (TLabeledEdit* field :
       {ChipLabelEdit, DiskLetterLable, FwVerLableEdit, SFlashTypeLable, StatusEdit}) {
    field->clear();
  }
  FlashTypeList->setEnabled(false);
  A1ChipCheck->setEnabled(false);
  NVRAMCheck->hide();
  // A platform that sees bridges it may not open says why; otherwise the field stays empty.
  if (const std::string notice = ActivePlatform().AccessNotice(); !notice.empty()) {
    SetStatus(notice);
  }
}

void TQ71xFwTool::DeviceChangeMsg(std::uint32_t eventCode) {
  if (procedureRunning_) {
    RunOrDefer([this, eventCode] { DeviceChangeMsg(eventCode); });
    return;
  }
  if (!QualifiesForRefresh(eventCode)) {
    return;
  }
  // Each notification of a burst starts the delay over; an arrival waits longer so that the
  // new device's volumes are there when the list is rebuilt.
  timers_->KillTimer(kHotPlugTimerId);
  timers_->SetTimer(kHotPlugTimerId,
                    eventCode == kDeviceArrival ? kArrivalDelayMs : kOtherChangeDelayMs);
}

void TQ71xFwTool::TimerMsg(int timerId) {
  if (procedureRunning_) {
    RunOrDefer([this, timerId] { TimerMsg(timerId); });
    return;
  }
  if (timerId != kHotPlugTimerId) {
    return;
  }
  timers_->KillTimer(kHotPlugTimerId);
  RefreshBtnClick(RefreshBtn);
}

void TQ71xFwTool::DropFilesMsg(const QStringList& fileNames) {
  if (procedureRunning_) {
    RunOrDefer([this, fileNames] { DropFilesMsg(fileNames); });
    return;
  }
  if (fileNames.size() != 1) {
    ShowMessageBox(std::string(kDropOneFileText), std::string(kMessageCaption));
    return;
  }
  if (FileNameTooLong(fileNames.front())) {
    SetStatus(std::string(kFileNameTooLongText));
    return;
  }
  SetFileNameText(fileNames.front());
}

}  // namespace q71x
