// The window's life: construction in the order start-up wants, destruction, what the update
// procedures see of it, and the events it holds back while a procedure runs.

#include "src/app/fwupdate.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QSocketNotifier>

#include <QUrl>
#include "src/app/usb_device_notification.h"

#include "src/app/combo_selection.h"
#include "src/app/labeled_edit.h"
#include "src/app/window_timers.h"
#include "src/device/chip_tables.h"
#include "src/device/platform/platform.h"

namespace q71x {
namespace {

std::uint32_t EventCodeOf(DeviceChange change) {
  switch (change) {
    case DeviceChange::Arrival:
      return kDeviceArrival;
    case DeviceChange::Removal:
      return kDeviceRemoveComplete;
    case DeviceChange::Other:
      break;
  }
  return kDevNodesChanged;
}

}  // namespace

TQ71xFwTool::TQ71xFwTool(std::unique_ptr<WindowTimers> timers, QWidget* parent)
    : QWidget(parent), timers_(timers ? std::move(timers) : std::make_unique<QtWindowTimers>()) {
  BuildLayout();
  ConnectHandlers();
  timers_->SetExpiryHandler([this](int timerId) { TimerMsg(timerId); });
  state_.EraseOnly = EraseOnlyCheck->isChecked() ? 1 : 0;
  RefreshBtnClick(RefreshBtn);
  RdCheckBoxClick(RdCheckBox);
  FormCreate();
}

TQ71xFwTool::~TQ71xFwTool() {
  if (DevNotify) {
    delete hotPlugNotifier_;
    hotPlugNotifier_ = nullptr;
    ActivePlatform().SetDeviceChangeListener(nullptr);
    UnregisterUsbDeviceNotification(usbNotification_);
    usbNotification_ = nullptr;
    DevNotify = false;
  }
  timers_->KillTimer(kHotPlugTimerId);
  for (int i = 0; i < DeviceCount; ++i) {
    if (Devices[i].IsCdromClass == 1) {
      BridgeSessionClose(Devices[i].DevicePath);
    }
  }
}

void TQ71xFwTool::FormCreate() {
  // The platform may report from a thread of its own; the change goes through the window's
  // event queue like any other window message, and is dropped if the window is gone by then.
  ActivePlatform().SetDeviceChangeListener([this](DeviceChange change) {
    const std::uint32_t code = EventCodeOf(change);
    QMetaObject::invokeMethod(
        this, [this, code] { DeviceChangeMsg(code); }, Qt::QueuedConnection);
  });
  // Backends whose notifications arrive on a descriptor report them when it becomes readable.
  if (const int fd = ActivePlatform().DeviceChangeFd(); fd >= 0) {
    hotPlugNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(hotPlugNotifier_, &QSocketNotifier::activated, this,
            [] { ActivePlatform().ProcessDeviceChangeEvents(); });
  }
  // On Windows the arrivals and removals come as the window's own device-change message.
  usbNotification_ = RegisterUsbDeviceNotification(*this);
  DevNotify = true;
  setAcceptDrops(true);
}

void TQ71xFwTool::ExitBtnClick(QObject*) {
  close();
}

int TQ71xFwTool::SelectedDeviceIndex() const {
  if (DeviceCount <= 0) {
    return -1;
  }
  const int index = SelectedItem(DeviceList);
  return index < DeviceCount ? index : -1;
}

std::uint16_t TQ71xFwTool::ChipIdentity() const {
  return MakeChipIdentity(state_.ChipType, state_.ChipRevision);
}

void TQ71xFwTool::SetFileNameText(const QString& text) {
  if (FwFilenameEdit->text() == text) {
    UpdateBtnCheck(FwFilenameEdit);
    return;
  }
  FwFilenameEdit->setText(text);
}

void TQ71xFwTool::RunOrDefer(std::function<void()> event) {
  if (procedureRunning_) {
    deferred_.push_back(std::move(event));
    return;
  }
  event();
}

void TQ71xFwTool::ReplayDeferredEvents() {
  std::vector<std::function<void()>> events;
  events.swap(deferred_);
  for (auto& event : events) {
    event();
  }
  if (closeRequested_) {
    closeRequested_ = false;
    close();
  }
}

// ToolWindow.

void TQ71xFwTool::PostStatus(const std::string& text) {
  SetStatus(text);
  ProcessMessages();
}

void TQ71xFwTool::SetStatus(const std::string& text) {
  StatusEdit->setText(QString::fromStdString(text));
}

std::string TQ71xFwTool::StatusText() const {
  return StatusEdit->text().toStdString();
}

void TQ71xFwTool::RedrawStatus() {
  StatusEdit->repaint();
}

void TQ71xFwTool::ProcessMessages() {
  // While a procedure runs the operator's input waits in the queue: the procedure keeps the
  // device and the state it started with. Painting, timers and notifications still get through
  // (the latter two are held back by their handlers).
  QCoreApplication::processEvents(procedureRunning_ ? QEventLoop::ExcludeUserInputEvents
                                                    : QEventLoop::AllEvents);
}

std::string TQ71xFwTool::FirmwareFileName() const {
  return QFile::encodeName(FwFilenameEdit->text()).toStdString();
}

std::string TQ71xFwTool::BackupFileName() const {
  return QFile::encodeName(BackupFileEdit->text()).toStdString();
}

bool TQ71xFwTool::RdVersionTicked() const {
  return RdCheckBox->isChecked();
}
bool TQ71xFwTool::EraseOnlyTicked() const {
  return EraseOnlyCheck->isChecked();
}
bool TQ71xFwTool::BackupOnlyTicked() const {
  return BackupFWCheckBox->isChecked();
}
bool TQ71xFwTool::NvramTicked() const {
  return NVRAMCheck->isChecked();
}
bool TQ71xFwTool::A1ChipTicked() const {
  return A1ChipCheck->isChecked();
}
bool TQ71xFwTool::ChecksumTicked() const {
  return ChkSumChk->isChecked();
}

int TQ71xFwTool::ParallelFlashPartIndex() const {
  // A typed text that names no part keeps the part chosen last.
  const int selected = SelectedItem(FlashTypeList);
  return selected >= 0 ? selected : lastParallelFlashPart_;
}

void TQ71xFwTool::SetNvramTicked(bool ticked) {
  NVRAMCheck->setChecked(ticked);
}

// Window events.

void TQ71xFwTool::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  }
}

void TQ71xFwTool::dropEvent(QDropEvent* event) {
  QStringList names;
  for (const QUrl& url : event->mimeData()->urls()) {
    names.push_back(url.toLocalFile());
  }
  event->acceptProposedAction();
  DropFilesMsg(names);
}

void TQ71xFwTool::closeEvent(QCloseEvent* event) {
  if (procedureRunning_) {
    // Closing in the middle of an erase would leave the bridge without firmware; close once
    // the procedure has returned.
    closeRequested_ = true;
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace q71x
