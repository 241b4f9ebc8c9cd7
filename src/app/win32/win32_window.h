// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The main window as a plain Windows window: the same controls, captions, bounds and keyboard
// order as the Qt window, drawn by the system's own controls with no toolkit. It builds the
// controls from the window description, forwards every operator event to the tool core and shows
// what the core tells it; it decides nothing.

#include <windows.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "src/app/win32/win32_window_timers.h"
#include "src/tool/tool_core.h"
#include "src/tool/tool_view.h"

namespace q71x::win32 {

class Win32ToolWindow final : public ToolView {
 public:
  // Builds the window and its controls, then starts the core (device refresh, "RD Version"
  // handler, hot-plug registration). The window stays hidden until Show.
  // `journal` (not owned, may be null): the recovery journal the core keeps.
  Win32ToolWindow(HINSTANCE instance, std::string programFolder,
                  RecoveryJournal* journal = nullptr);
  ~Win32ToolWindow() override;
  Win32ToolWindow(const Win32ToolWindow&) = delete;
  Win32ToolWindow& operator=(const Win32ToolWindow&) = delete;

  ToolCore& Core() { return *core_; }
  HWND Handle() const { return window_.load(); }
  HWND ControlHandle(Control control) const { return controls_[Index(control)]; }
  // The label beside a labelled edit; null for other controls.
  HWND LabelHandle(Control control) const { return labels_[Index(control)]; }
  void Show(int showCommand);
  // The simulator keeps its memories once a procedure has returned.
  void SetProcedureFinishedHandler(std::function<void()> handler) {
    procedureFinished_ = std::move(handler);
  }
  // Told every device list the window shows, after it is shown.
  void SetDeviceItemsShownHandler(std::function<void(const std::vector<std::string>&)> handler) {
    deviceItemsShown_ = std::move(handler);
  }
  // A helper window beside this one that takes the operator's clicks even while a procedure
  // runs (the simulator's enclosure panel); this window's own input is dropped meanwhile.
  void LetInputThroughWhileBusy(HWND helper) { inputHelpers_.push_back(helper); }

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
  void ShowRunPercent(int percent) override;
  void OnProcedureFinished() override;

 private:
  static std::size_t Index(Control control) { return static_cast<std::size_t>(control); }
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void BuildLayout(HINSTANCE instance);
  int Scale(int pixels) const { return MulDiv(pixels, dpi_, USER_DEFAULT_SCREEN_DPI); }
  SIZE TextExtent(HWND control, const std::wstring& text) const;
  // Labels and check boxes grow to their caption, so a wider substitute font never clips one.
  void FitToCaption(Control control, const std::wstring& text);
  void PlaceLabel(Control control);
  void Command(Control control, int code);
  // The message is for a helper window beside this one (or one of its controls).
  bool IsHelperMessage(const MSG& message) const;
  // The item a combo box shows: -1 when its text was typed over and names no item.
  int ShownItem(Control control) const;
  void DropFiles(HDROP drop);
  LRESULT ControlColour(HWND control, HDC dc);

  std::atomic<HWND> window_{nullptr};
  HWND separator_ = nullptr;
  std::array<HWND, kControlCount> controls_{};
  std::array<HWND, kControlCount> labels_{};
  int dpi_ = USER_DEFAULT_SCREEN_DPI;
  HFONT font_ = nullptr;
  HFONT fwSizeFont_ = nullptr;
  HBRUSH separatorBrush_ = nullptr;
  Win32WindowTimers* timers_ = nullptr;  // owned by the core
  std::unique_ptr<ToolCore> core_;
  HDEVNOTIFY usbNotification_ = nullptr;
  std::function<void()> procedureFinished_;
  std::function<void(const std::vector<std::string>&)> deviceItemsShown_;
  std::vector<HWND> inputHelpers_;
  // Set while the view itself changes a control: the notifications that causes are not the
  // operator's and must not reach the core.
  int applying_ = 0;
  // A combo box's selection changed since its list dropped down.
  bool changedInDropDown_ = false;
  bool closing_ = false;
};

// Runs the thread's message loop until WM_QUIT; keyboard navigation works in every window.
int RunMessageLoop();

}  // namespace q71x::win32
