// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the tool core asks of a front end: show texts, ticks, enabled and visible states of the
// window's controls, the device list's items, the engineering panel; let pending events run; and
// carry an event from any thread onto the window's own. A view decides nothing: every operator
// event goes to the core, and the core tells the view what to show.

#include <functional>
#include <string>
#include <vector>

namespace q71x {

// The window's controls, by the names the layout gives them.
enum class Control {
  ChipLabelEdit,
  RefreshBtn,
  diskLabel,
  DeviceList,
  FwFilenameEdit,
  LoadBtn,
  DiskLetterLable,
  FwVerLableEdit,
  SFlashTypeLable,
  FwPgBurnSizeLabel,
  FwPgSizeCheck,
  FlashTypeLabel,
  FlashTypeList,
  StatusEdit,
  RdCheckBox,
  UpdateBtn,
  ExitBtn,
  RdPanel,
  A1ChipCheck,
  ChkSumChk,
  QV958Path,
  EraseOnlyCheck,
  NVRAMCheck,
  BackupFWCheckBox,
  BackupBtn,
  FwSizeCheck,
  FwSizeLable,
  BackupFileEdit,
};
inline constexpr int kControlCount = static_cast<int>(Control::BackupFileEdit) + 1;

// The layout name of a control ("UpdateBtn", ...); front ends name their widgets with it.
const char* ControlName(Control control);

class ToolView {
 public:
  virtual ~ToolView() = default;

  // Applying any of these must not come back to the core as an operator event.
  virtual void ShowText(Control control, const std::string& text) = 0;
  virtual void ShowChecked(Control control, bool checked) = 0;
  virtual void ShowEnabled(Control control, bool enabled) = 0;
  virtual void ShowVisible(Control control, bool visible) = 0;
  // The selected item of a combo box, -1 for none.
  virtual void ShowSelectedItem(Control control, int item) = 0;
  virtual void ShowDeviceItems(const std::vector<std::string>& items, int selected) = 0;
  // The engineering panel and the window's height with it.
  virtual void ShowEngineeringPanel(bool shown) = 0;
  // Repaint the status field at once (a procedure's progress between device commands).
  virtual void RepaintStatus() = 0;
  // Let pending window events run; without `userInput` the operator's clicks and keys to the
  // window are dropped (a helper window beside it, such as the enclosure panel, keeps its own).
  virtual void ProcessPendingEvents(bool userInput) = 0;
  // Run `event` on the window's thread, later; callable from any thread. Dropped when the window
  // is gone by then.
  virtual void PostEvent(std::function<void()> event) = 0;
  // The front end's own device-change sources (a descriptor to watch, a window registration).
  virtual void StartHotPlugSources() = 0;
  virtual void StopHotPlugSources() = 0;
  // Close the window now (the core has decided it may).
  virtual void CloseWindow() = 0;
  // A procedure started by Run has returned.
  virtual void OnProcedureFinished() {}
  // The share of the running procedure done, 0 to 100, as it grows, and kNoRunPercent once it
  // has returned (src/tool/run_caption.h). The status texts stay as the procedures set them; a
  // window shows the share in its title.
  virtual void ShowRunPercent(int /*percent*/) {}
};

}  // namespace q71x
