// SPDX-License-Identifier: GPL-2.0-or-later
// The window's life and what it shows: construction, destruction, the ToolView the core talks
// to, and the window events it forwards (dropped files, close, device changes).

#include "src/app/fwupdate.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QSignalBlocker>
#include <QSocketNotifier>
#include <QUrl>

#include "src/app/busy_input_gate.h"
#include "src/app/combo_selection.h"
#include "src/app/labeled_edit.h"
#include "src/app/qt_window_timers.h"
#include "src/app/usb_device_notification.h"
#include "src/device/platform/platform.h"
#include "src/tool/run_caption.h"

namespace q71x {

TQ71xFwTool::TQ71xFwTool(std::unique_ptr<WindowTimers> timers, QWidget* parent,
                         RecoveryJournal* journal)
    : QWidget(parent) {
  BuildLayout();
  core_ = std::make_unique<ToolCore>(
      *this, timers ? std::move(timers) : std::make_unique<QtWindowTimers>(),
      QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
  ConnectHandlers();
  core_->SetRecoveryJournal(journal);
  core_->Start();
  setAcceptDrops(true);
}

TQ71xFwTool::~TQ71xFwTool() {
  core_->Shutdown();
}

// ToolView.

void TQ71xFwTool::ShowText(Control control, const std::string& text) {
  const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  QWidget* widget = Widget(control);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    const QSignalBlocker quiet(edit);
    edit->setText(shown);
    // A text longer than the field shows its beginning, where every status says what it is.
    edit->setCursorPosition(0);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    if (!text.empty()) {
      label->setText(shown);
      label->adjustSize();
    }
  }
}

void TQ71xFwTool::ShowChecked(Control control, bool checked) {
  if (auto* box = qobject_cast<QCheckBox*>(Widget(control))) {
    const QSignalBlocker quiet(box);
    box->setChecked(checked);
  }
}

void TQ71xFwTool::ShowEnabled(Control control, bool enabled) {
  Widget(control)->setEnabled(enabled);
}

void TQ71xFwTool::ShowVisible(Control control, bool visible) {
  Widget(control)->setVisible(visible);
}

void TQ71xFwTool::ShowSelectedItem(Control control, int item) {
  auto* box = qobject_cast<QComboBox*>(Widget(control));
  // -1 is the operator's typed text: it stays as typed.
  if (box != nullptr && item >= 0 && item < box->count()) {
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(item);
  }
}

void TQ71xFwTool::ShowDeviceItems(const std::vector<std::string>& items, int selected) {
  auto* list = As<QComboBox>(Control::DeviceList);
  const QSignalBlocker quiet(list);
  list->clear();
  for (const std::string& item : items) {
    // Device names are the bridges' own bytes, shown one character per byte.
    list->addItem(QString::fromLatin1(item.data(), static_cast<qsizetype>(item.size())));
  }
  list->setCurrentIndex(selected);
}

void TQ71xFwTool::ShowEngineeringPanel(bool shown) {
  Widget(Control::RdPanel)->setVisible(shown);
  setFixedHeight(shown ? kClientHeight : kClientHeight - kRdPanelHeight);
}

void TQ71xFwTool::RepaintStatus() {
  Widget(Control::StatusEdit)->repaint();
}

void TQ71xFwTool::ProcessPendingEvents(bool userInput) {
  if (userInput) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return;
  }
  // Busy, the operator's input is taken and dropped, never left in the queue: left there, a
  // click on the greyed Run would reach the Run enabled again once the procedure has returned,
  // and start a run nobody asked for.
  const BusyInputGate gate(inputHelpers_);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TQ71xFwTool::LetInputThroughWhileBusy(QWidget* helper) {
  inputHelpers_.emplace_back(helper);
}

void TQ71xFwTool::PostEvent(std::function<void()> event) {
  QMetaObject::invokeMethod(this, std::move(event), Qt::QueuedConnection);
}

void TQ71xFwTool::StartHotPlugSources() {
  // Backends whose notifications arrive on a descriptor report them when it becomes readable.
  if (const int fd = ActivePlatform().DeviceChangeFd(); fd >= 0) {
    hotPlugNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(hotPlugNotifier_, &QSocketNotifier::activated, this,
            [] { ActivePlatform().ProcessDeviceChangeEvents(); });
  }
  // On Windows the arrivals and removals come as the window's own device-change message.
  usbNotification_ = RegisterUsbDeviceNotification(*this);
}

void TQ71xFwTool::StopHotPlugSources() {
  delete hotPlugNotifier_;
  hotPlugNotifier_ = nullptr;
  UnregisterUsbDeviceNotification(usbNotification_);
  usbNotification_ = nullptr;
}

void TQ71xFwTool::CloseWindow() {
  closing_ = true;
  close();
}

void TQ71xFwTool::ShowRunPercent(int percent) {
  setWindowTitle(QString::fromStdString(RunCaption(percent)));
}

// Window events.

void TQ71xFwTool::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  }
}

void TQ71xFwTool::dropEvent(QDropEvent* event) {
  std::vector<std::string> names;
  for (const QUrl& url : event->mimeData()->urls()) {
    names.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  event->acceptProposedAction();
  core_->DropFilesMsg(names);
}

void TQ71xFwTool::closeEvent(QCloseEvent* event) {
  if (closing_ || core_->CloseRequested()) {
    event->accept();
    return;
  }
  event->ignore();
}

}  // namespace q71x
