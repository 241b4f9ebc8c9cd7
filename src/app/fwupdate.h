// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The main window TQ71xFwTool: the operator's one window, a view of the tool core. It builds the
// controls, forwards every operator event to the core and shows what the core tells it; it
// decides nothing. Tests find its controls by their layout names (objectName).

#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>
#include <vector>

#include "src/tool/tool_core.h"
#include "src/tool/tool_view.h"
#include "src/tool/window_description.h"
#include "src/tool/window_timers.h"

class QSocketNotifier;

namespace q71x {

class TQ71xFwTool : public QWidget, public ToolView {
  Q_OBJECT

 public:
  // Builds the controls, then starts the core (device refresh, "RD Version" handler, hot-plug
  // registration). `timers` null: real Qt timers. `journal` (not owned, may be null): the
  // recovery journal the core keeps, installed before its first chip check.
  explicit TQ71xFwTool(std::unique_ptr<WindowTimers> timers = nullptr, QWidget* parent = nullptr,
                       RecoveryJournal* journal = nullptr);
  ~TQ71xFwTool() override;

  ToolCore& Core() { return *core_; }
  const ToolCore& Core() const { return *core_; }
  // A helper window beside this one that takes the operator's clicks even while a procedure
  // runs (the simulator's enclosure panel); this window's own input is dropped meanwhile.
  void LetInputThroughWhileBusy(QWidget* helper);

 signals:
  // A procedure started by Run has returned (the simulator keeps its memories then).
  void ProcedureFinished();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
#ifdef Q_OS_WIN
  // WM_DEVICECHANGE from the USB device-interface registration goes to the core.
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

 private:
  void BuildLayout();
  void ConnectHandlers();
  QWidget* Widget(Control control) const {
    return widgets_[static_cast<std::size_t>(control)];
  }
  template <typename W>
  W* As(Control control) const {
    return static_cast<W*>(Widget(control));
  }
  void Put(Control control, QWidget* widget) {
    widgets_[static_cast<std::size_t>(control)] = widget;
  }

  // ToolView.
  void ShowText(Control control, const std::string& text) override;
  void ShowChecked(Control control, bool checked) override;
  void ShowEnabled(Control control, bool enabled) override;
  void ShowVisible(Control control, bool visible) override;
  void ShowSelectedItem(Control control, int item) override;
  void ShowDeviceItems(const std::vector<std::string>& items, int selected) override;
  void ShowEngineeringPanel(bool shown) override;
  void RepaintStatus() override;
  void ProcessPendingEvents(bool userInput) override;
  void PostEvent(std::function<void()> event) override;
  void StartHotPlugSources() override;
  void StopHotPlugSources() override;
  void CloseWindow() override;
  void OnProcedureFinished() override {
    emit ProcedureFinished();
  }
  void ShowRunPercent(int percent) override;

  std::array<QWidget*, kControlCount> widgets_{};
  std::unique_ptr<ToolCore> core_;
  std::vector<QPointer<QWidget>> inputHelpers_;
  QSocketNotifier* hotPlugNotifier_ = nullptr;
  void* usbNotification_ = nullptr;  // Windows: the device-interface registration
  bool closing_ = false;
};

}  // namespace q71x
