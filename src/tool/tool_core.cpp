// SPDX-License-Identifier: GPL-2.0-or-later
// The core's life: start-up in the order the window wants, shut-down, the controls' state as the
// core keeps and shows it, what the update procedures see, and the events it holds back while a
// procedure or a box of the chip check is open.

#include "src/tool/tool_core.h"

#include <utility>

#include "src/catalog/chip_tables.h"
#include "src/device/platform/platform.h"
#include "src/image/image_texts.h"
#include "src/tool/busy_scope.h"
#include "src/tool/window_description.h"

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

// The controls as the window description opens them, before start-up runs any handler.
std::array<ControlState, kControlCount> LaidOutControls() {
  std::array<ControlState, kControlCount> controls{};
  for (const ControlSpec& spec : WindowDescription()) {
    ControlState& state = controls[static_cast<std::size_t>(spec.Id)];
    state.Visible = spec.Visible;
    state.Enabled = spec.Enabled;
    state.SelectedItem = spec.SelectedItem;
    if (spec.Kind == ControlKind::Label) {
      state.Text = std::string(spec.Text);
    }
  }
  return controls;
}

}  // namespace

const char* ControlName(Control control) {
  static constexpr const char* kNames[kControlCount] = {
      "ChipLabelEdit", "RefreshBtn",      "diskLabel",      "DeviceList",       "FwFilenameEdit",
      "LoadBtn",       "DiskLetterLable", "FwVerLableEdit", "SFlashTypeLable",  "FwPgBurnSizeLabel",
      "FwPgSizeCheck", "FlashTypeLabel",  "FlashTypeList",  "StatusEdit",       "RdCheckBox",
      "UpdateBtn",     "ExitBtn",         "RdPanel",        "A1ChipCheck",      "ChkSumChk",
      "QV958Path",     "EraseOnlyCheck",  "NVRAMCheck",     "BackupFWCheckBox", "BackupBtn",
      "FwSizeCheck",   "FwSizeLable",     "BackupFileEdit"};
  return kNames[static_cast<std::size_t>(control)];
}

ToolCore::ToolCore(ToolView& view, std::unique_ptr<WindowTimers> timers, std::string programFolder)
    : view_(view),
      timers_(std::move(timers)),
      programFolder_(std::move(programFolder)),
      controls_(LaidOutControls()) {
  openDialog1_.Filter = std::string(kFirmwareFileFilter);
  timers_->SetExpiryHandler([this](int timerId) { TimerMsg(timerId); });
}

ToolCore::~ToolCore() {
  Shutdown();
}

void ToolCore::Start() {
  ShowAll();
  state_.EraseOnly = Ticked(Control::EraseOnlyCheck) ? 1 : 0;
  RefreshBtnClick();
  RdCheckBoxClick();
  FormCreate();
  started_ = true;
}

void ToolCore::FormCreate() {
  // The platform may report from a thread of its own; the change goes through the window's
  // event queue like any other window message.
  ActivePlatform().SetDeviceChangeListener([this](DeviceChange change) {
    const std::uint32_t code = EventCodeOf(change);
    view_.PostEvent([this, code] { DeviceChangeMsg(code); });
  });
  view_.StartHotPlugSources();
  devNotify_ = true;
}

void ToolCore::Shutdown() {
  if (devNotify_) {
    view_.StopHotPlugSources();
    ActivePlatform().SetDeviceChangeListener(nullptr);
    devNotify_ = false;
  }
  timers_->KillTimer(kHotPlugTimerId);
  if (started_) {
    started_ = false;
    // Only the sessions this program opened are closed, and none of a bridge another program
    // owns now.
    for (int i = 0; i < deviceCount_; ++i) {
      const DeviceEntry& device = devices_[static_cast<std::size_t>(i)];
      if (device.IsCdromClass == 1 && sessionsOpened_.count(device.DevicePath) != 0 &&
          (ownership_.Owns(device.DevicePath) || !ownership_.OwnerElsewhere(device.DevicePath))) {
        BridgeSessionClose(device.DevicePath);
      }
    }
  }
  LetGoOfClaims();
}

// Controls.

const ControlState& ToolCore::Controls(Control control) const {
  return controls_[static_cast<std::size_t>(control)];
}

ControlState& ToolCore::Mutable(Control control) {
  return controls_[static_cast<std::size_t>(control)];
}

void ToolCore::SetText(Control control, const std::string& text) {
  Mutable(control).Text = text;
  view_.ShowText(control, text);
}

void ToolCore::SetEnabled(Control control, bool enabled) {
  // Every handler that lets Run go passes here: a selection nobody chose never lets it.
  if (control == Control::UpdateBtn && selectionUnchosen_) {
    enabled = false;
  }
  Mutable(control).Enabled = enabled;
  view_.ShowEnabled(control, enabled);
}

void ToolCore::SetVisible(Control control, bool visible) {
  Mutable(control).Visible = visible;
  if (control == Control::RdPanel) {
    view_.ShowEngineeringPanel(visible);
    return;
  }
  view_.ShowVisible(control, visible);
}

void ToolCore::SetSelectedItem(Control control, int item) {
  Mutable(control).SelectedItem = item;
  view_.ShowSelectedItem(control, item);
}

void ToolCore::SetTicked(Control box, bool ticked) {
  if (Ticked(box) == ticked) {
    return;
  }
  Mutable(box).Checked = ticked;
  view_.ShowChecked(box, ticked);
  TickChanged(box, ticked);
}

void ToolCore::ShowAll() {
  for (int i = 0; i < kControlCount; ++i) {
    const auto control = static_cast<Control>(i);
    const ControlState& state = Controls(control);
    view_.ShowText(control, state.Text);
    view_.ShowEnabled(control, state.Enabled);
    if (control != Control::RdPanel) {
      view_.ShowVisible(control, state.Visible);
    }
    view_.ShowChecked(control, state.Checked);
    view_.ShowSelectedItem(control, state.SelectedItem);
  }
  view_.ShowDeviceItems(deviceItems_, Controls(Control::DeviceList).SelectedItem);
}

int ToolCore::SelectedDeviceIndex() const {
  if (deviceCount_ <= 0) {
    return -1;
  }
  const int index = Controls(Control::DeviceList).SelectedItem;
  return index < deviceCount_ ? index : -1;
}

std::uint16_t ToolCore::ChipIdentity() const {
  return MakeChipIdentity(state_.ChipType, state_.ChipRevision);
}

// Operator events that only change what the core keeps, then run the control's handler.

void ToolCore::DeviceListChanged(int item) {
  Mutable(Control::DeviceList).SelectedItem = item;
  ChooseShownDevice();
  declinedJournalEntries_.clear();
  UpdateBtnCheck();
}

void ToolCore::FirmwareFileEdited(const std::string& text) {
  Mutable(Control::FwFilenameEdit).Text = text;
  if (!text.empty()) {
    ChooseShownDevice();
  }
  UpdateBtnCheck();
}

void ToolCore::BackupFileEdited(const std::string& text) {
  Mutable(Control::BackupFileEdit).Text = text;
}

void ToolCore::FlashTypeChanged(int item) {
  Mutable(Control::FlashTypeList).SelectedItem = item;
  if (const auto part = ItemValue(Control::FlashTypeList, item)) {
    lastParallelFlashPart_ = static_cast<int>(*part);
  }
  UpdateBtnCheck();
}

void ToolCore::TickChanged(Control box, bool ticked) {
  Mutable(box).Checked = ticked;
  switch (box) {
    case Control::RdCheckBox:
      RdCheckBoxClick();
      break;
    case Control::EraseOnlyCheck:
    case Control::BackupFWCheckBox:
      EraseOnlyCheckClick(box);
      break;
    default:
      break;  // the other ticks are read when they matter
  }
}

void ToolCore::Clicked(Control button) {
  switch (button) {
    case Control::RefreshBtn:
      RefreshBtnClick();
      break;
    case Control::LoadBtn:
      LoadBtnClick();
      break;
    case Control::UpdateBtn:
      UpdateBtnClick();
      break;
    case Control::ExitBtn:
      ExitBtnClick();
      break;
    case Control::BackupBtn:
      BackupBtnClick();
      break;
    default:
      break;
  }
}

void ToolCore::ItemChosen(Control box, int item) {
  switch (box) {
    case Control::DeviceList:
      DeviceListChanged(item);
      break;
    case Control::FlashTypeList:
      FlashTypeChanged(item);
      break;
    case Control::FwPgSizeCheck:
      FwPgSizeCheckChange(item);
      break;
    case Control::QV958Path:
      QV958PathChange(item);
      break;
    case Control::FwSizeCheck:
      FwSizeCheckChange(item);
      break;
    default:
      break;
  }
}

void ToolCore::TextEdited(Control edit, const std::string& text) {
  if (edit == Control::FwFilenameEdit) {
    FirmwareFileEdited(text);
  } else if (edit == Control::BackupFileEdit) {
    BackupFileEdited(text);
  }
}

void ToolCore::ExitBtnClick() {
  if (CloseRequested()) {
    view_.CloseWindow();
  }
}

bool ToolCore::CloseRequested() {
  if (procedureRunning_ || Busy()) {
    // Closing in the middle of an erase would leave the bridge without firmware; close once
    // the procedure has returned.
    closeRequested_ = true;
    return false;
  }
  return true;
}

void ToolCore::SetFileNameText(const std::string& text) {
  ChooseShownDevice();
  if (Controls(Control::FwFilenameEdit).Text != text) {
    SetText(Control::FwFilenameEdit, text);
  }
  UpdateBtnCheck();
}

// Events that wait.

void ToolCore::Defer(std::function<void()> event) {
  deferred_.push_back(std::move(event));
}

void ToolCore::ReplayDeferredEvents() {
  std::vector<std::function<void()>> events;
  events.swap(deferred_);
  for (auto& event : events) {
    event();
  }
  // A burst of device changes or timer firings, however long, is one change now.
  if (deviceChangeOwed_) {
    const std::uint32_t code = *deviceChangeOwed_;
    deviceChangeOwed_.reset();
    refreshOwed_ = false;
    DeviceChangeMsg(code);
  } else if (refreshOwed_) {
    refreshOwed_ = false;
    TimerMsg(kHotPlugTimerId);
  }
  if (closeRequested_) {
    closeRequested_ = false;
    view_.CloseWindow();
  }
}

// ToolWindow.

void ToolCore::PostStatus(const std::string& text) {
  SetStatus(text);
  ProcessMessages();
}

void ToolCore::SetStatus(const std::string& text) {
  SetText(Control::StatusEdit, text);
  if (!text.empty()) {
    if (statusHistory_.size() == kStatusHistoryLength) {
      statusHistory_.erase(statusHistory_.begin());
    }
    statusHistory_.push_back(text);
  }
}

std::string ToolCore::StatusText() const {
  return Controls(Control::StatusEdit).Text;
}

void ToolCore::RedrawStatus() {
  view_.RepaintStatus();
}

void ToolCore::ProcessMessages() {
  // While a procedure runs the operator's input is dropped: the procedure keeps the device and
  // the state it started with, and nothing clicked meanwhile acts once it has returned.
  // Painting, timers and notifications still get through (the latter two are held back by their
  // handlers).
  view_.ProcessPendingEvents(!procedureRunning_);
}

void ToolCore::ProcessEventsDuringWait() {
  // Busy, every event that reaches the core waits for the end, so none can start anything in
  // the middle of the command. Idle, a refresh may be the one waiting, and the hot-plug timer
  // would start another inside it.
  if (Busy()) {
    view_.ProcessPendingEvents(false);
  }
}

std::string ToolCore::FirmwareFileName() const {
  return Controls(Control::FwFilenameEdit).Text;
}

std::string ToolCore::BackupFileName() const {
  return Controls(Control::BackupFileEdit).Text;
}

bool ToolCore::RdVersionTicked() const {
  return Ticked(Control::RdCheckBox);
}
bool ToolCore::EraseOnlyTicked() const {
  return Ticked(Control::EraseOnlyCheck);
}
bool ToolCore::BackupOnlyTicked() const {
  return Ticked(Control::BackupFWCheckBox);
}
bool ToolCore::NvramTicked() const {
  return Ticked(Control::NVRAMCheck);
}
bool ToolCore::A1ChipTicked() const {
  return Ticked(Control::A1ChipCheck);
}
bool ToolCore::ChecksumTicked() const {
  return Ticked(Control::ChkSumChk);
}

int ToolCore::ParallelFlashPartIndex() const {
  // A typed text that names no part keeps the part chosen last.
  const auto part =
      ItemValue(Control::FlashTypeList, Controls(Control::FlashTypeList).SelectedItem);
  return part ? static_cast<int>(*part) : lastParallelFlashPart_;
}

void ToolCore::SetNvramTicked(bool ticked) {
  SetTicked(Control::NVRAMCheck, ticked);
}

}  // namespace q71x
