// SPDX-License-Identifier: GPL-2.0-or-later
// The window's life and what it shows: the controls built from the window description, the ToolView
// the core talks to, and the window messages forwarded to the core (control notifications,
// timers, device changes, dropped files, close).

#include "src/app/win32/win32_window.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>
#include <shellapi.h>
// clang-format on

#include <algorithm>
#include <utility>

#include "src/app/win32/win32_device_notification.h"
#include "src/app/win32/win32_file_drop.h"
#include "src/app/win32/win32_font.h"
#include "src/app/win32/win32_screen_fit.h"
#include "src/app/win32/win32_text.h"
#include "src/tool/run_caption.h"
#include "src/tool/tool_texts.h"
#include "src/tool/window_description.h"

namespace q71x::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"TQ71xFwTool";
constexpr wchar_t kPanelClass[] = L"TQ71xRdPanel";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = 0;
// An event of PostEvent: lParam carries a heap-allocated std::function<void()>.
constexpr UINT kPostedEvent = WM_APP + 1;
// Control ids start past IDOK and IDCANCEL, which the dialog keys send.
constexpr int kFirstControlId = 100;
// The drop-down list of a combo box opens this far below its field.
constexpr int kDropDownHeight = 160;
constexpr COLORREF kSeparatorRgb =
    RGB(kSeparatorColour.Red, kSeparatorColour.Green, kSeparatorColour.Blue);

// Messages the core must not see while a procedure runs: the operator's clicks and keys.
constexpr UINT kNoInputFilter = PM_QS_POSTMESSAGE | PM_QS_PAINT | PM_QS_SENDMESSAGE;
// The operator's keys and clicks in a window's client area, dropped while a procedure runs.
constexpr std::pair<UINT, UINT> kOperatorInputRanges[] = {{WM_KEYFIRST, WM_KEYLAST},
                                                          {WM_MOUSEFIRST, WM_MOUSELAST}};

bool IsOperatorInput(UINT message) {
  return std::any_of(
      std::begin(kOperatorInputRanges), std::end(kOperatorInputRanges),
      [message](const auto& range) { return message >= range.first && message <= range.second; });
}

// The engineering panel passes its controls' notifications and colour questions to the window,
// where every other control's go.
LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      return SendMessageW(GetParent(panel), message, wParam, lParam);
    default:
      return DefWindowProcW(panel, message, wParam, lParam);
  }
}

void RegisterClasses(HINSTANCE instance, WNDPROC windowProc) {
  WNDCLASSEXW window{};
  window.cbSize = sizeof window;
  window.lpfnWndProc = windowProc;
  window.hInstance = instance;
  window.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  window.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window.lpszClassName = kWindowClass;
  RegisterClassExW(&window);  // fails harmlessly when a second window registers again
  WNDCLASSEXW panel = window;
  panel.lpfnWndProc = PanelProc;
  panel.hIcon = nullptr;
  panel.lpszClassName = kPanelClass;
  RegisterClassExW(&panel);
}

bool IsEdit(ControlKind kind) {
  return kind == ControlKind::LabeledEdit || kind == ControlKind::DisplayField ||
         kind == ControlKind::StatusField;
}

// Keyboard navigation (Tab, arrow keys between buttons) in whichever window the message is for.
void Dispatch(MSG& message) {
  HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (root != nullptr && IsDialogMessageW(root, &message)) {
    return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

// While the view changes a control itself.
class Applying {
 public:
  explicit Applying(int& depth) : depth_(depth) { ++depth_; }
  ~Applying() { --depth_; }
  Applying(const Applying&) = delete;
  Applying& operator=(const Applying&) = delete;

 private:
  int& depth_;
};

std::wstring WindowText(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

Win32ToolWindow::Win32ToolWindow(HINSTANCE instance, std::string programFolder,
                                 RecoveryJournal* journal) {
  HDC screen = GetDC(nullptr);
  dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  font_ = CreateWindowFont(kWindowFontHeight, dpi_);
  fwSizeFont_ = CreateWindowFont(kFwSizeFontHeight, dpi_);
  separatorBrush_ = CreateSolidBrush(kSeparatorRgb);
  BuildLayout(instance);
  auto timers = std::make_unique<Win32WindowTimers>();
  timers->AttachWindow(Handle());
  timers_ = timers.get();
  core_ = std::make_unique<ToolCore>(*this, std::move(timers), std::move(programFolder));
  core_->SetRecoveryJournal(journal);
  core_->Start();
  AcceptFilesFromExplorer(Handle());
}

Win32ToolWindow::~Win32ToolWindow() {
  core_->Shutdown();
  if (HWND window = Handle(); window != nullptr) {
    closing_ = true;
    DestroyWindow(window);
  }
  core_.reset();
  DeleteObject(separatorBrush_);
  DeleteObject(fwSizeFont_);
  DeleteObject(font_);
}

void Win32ToolWindow::BuildLayout(HINSTANCE instance) {
  RegisterClasses(instance, WindowProc);
  RECT outer = {0, 0, Scale(kClientWidth), Scale(kClientHeight)};
  AdjustWindowRectEx(&outer, kWindowStyle, FALSE, kWindowExStyle);
  const std::wstring caption = Utf8ToWide(kWindowCaption);
  // WM_NCCREATE stores `this` with the window, so the messages of creation already reach it.
  CreateWindowExW(kWindowExStyle, kWindowClass, caption.c_str(), kWindowStyle, Scale(kWindowLeft),
                  Scale(kWindowTop), outer.right - outer.left, outer.bottom - outer.top, nullptr,
                  nullptr, instance, this);
  HWND window = Handle();
  if (window == nullptr) {
    throw std::runtime_error("the main window could not be created");
  }
  auto create = [&](const wchar_t* cls, const std::wstring& text, DWORD style, DWORD exStyle,
                    const Bounds& at, int height, HWND parent, int id) {
    HWND control =
        CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, Scale(at.Left),
                        Scale(at.Top), Scale(at.Width), Scale(height), parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return control;
  };
  separator_ = create(L"STATIC", L"", 0, 0, kSeparatorBounds, kSeparatorBounds.Height, window, -1);

  for (const ControlSpec& spec : WindowDescription()) {
    const std::size_t index = Index(spec.Id);
    const int id = kFirstControlId + static_cast<int>(index);
    HWND parent = spec.InRdPanel ? ControlHandle(Control::RdPanel) : window;
    const std::wstring text = Utf8ToWide(spec.Text);
    const DWORD tab = spec.TabStop ? WS_TABSTOP : 0;
    HWND control = nullptr;
    switch (spec.Kind) {
      case ControlKind::Panel:
        control = create(kPanelClass, L"", WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, spec.Place,
                         spec.Place.Height, parent, id);
        break;
      case ControlKind::LabeledEdit:
      case ControlKind::DisplayField:
      case ControlKind::StatusField: {
        // The label first, so that its mnemonic-less text sits before the edit in z-order.
        labels_[index] = create(L"STATIC", text, SS_LEFT | SS_NOPREFIX, 0, spec.Place,
                                spec.Place.Height, parent, -1);
        const DWORD readOnly = spec.Kind == ControlKind::LabeledEdit ? 0 : ES_READONLY;
        control = create(L"EDIT", L"", tab | ES_AUTOHSCROLL | readOnly, WS_EX_CLIENTEDGE,
                         spec.Place, spec.Place.Height, parent, id);
        break;
      }
      case ControlKind::Button:
        control = create(L"BUTTON", text, tab | BS_PUSHBUTTON, 0, spec.Place, spec.Place.Height,
                         parent, id);
        break;
      case ControlKind::CheckBox:
        control = create(L"BUTTON", text, tab | BS_AUTOCHECKBOX, 0, spec.Place, spec.Place.Height,
                         parent, id);
        break;
      case ControlKind::ComboBox: {
        control = create(L"COMBOBOX", L"", tab | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0,
                         spec.Place, spec.Place.Height + kDropDownHeight, parent, id);
        if (spec.FontHeight == kFwSizeFontHeight) {
          SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fwSizeFont_), FALSE);
        }
        for (const ComboItem& item : spec.Items) {
          SendMessageW(control, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Utf8ToWide(item.Caption).c_str()));
        }
        if (spec.ItemHeight > 0) {
          SendMessageW(control, CB_SETITEMHEIGHT, 0, Scale(spec.ItemHeight));
        }
        // The closed box keeps the layout's height: its field is the height less the borders.
        // Setting the field's own height once makes the box take its closed height, which it
        // may not have right after creation.
        const LRESULT field = SendMessageW(control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
        RECT closed{};
        GetWindowRect(control, &closed);
        const int border = static_cast<int>(closed.bottom - closed.top) - static_cast<int>(field);
        if (field > 0 && border > 0 && Scale(spec.Place.Height) > border) {
          SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                       Scale(spec.Place.Height) - border);
        }
        break;
      }
      case ControlKind::Label:
        control = create(L"STATIC", text, SS_LEFT | SS_NOPREFIX, 0, spec.Place, spec.Place.Height,
                         parent, id);
        break;
    }
    controls_[index] = control;
    if (spec.Kind == ControlKind::Label || spec.Kind == ControlKind::CheckBox) {
      FitToCaption(spec.Id, text);
    }
    if (IsEdit(spec.Kind)) {
      PlaceLabel(spec.Id);
    }
  }
}

SIZE Win32ToolWindow::TextExtent(HWND control, const std::wstring& text) const {
  SIZE size{0, 0};
  HDC dc = GetDC(control);
  HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size;
}

void Win32ToolWindow::FitToCaption(Control control, const std::wstring& text) {
  const ControlSpec& spec = SpecOf(control);
  HWND handle = ControlHandle(control);
  SIZE size = TextExtent(handle, text);
  int width = Scale(spec.Place.Width);
  int height = Scale(spec.Place.Height);
  if (spec.Kind == ControlKind::CheckBox) {
    // The box itself and the gap before the caption.
    width = std::max(width, static_cast<int>(size.cx) + GetSystemMetrics(SM_CXMENUCHECK) + 6);
  } else {
    width = std::max(width, static_cast<int>(size.cx));
    height = std::max(height, static_cast<int>(size.cy));
  }
  SetWindowPos(handle, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32ToolWindow::PlaceLabel(Control control) {
  const ControlSpec& spec = SpecOf(control);
  HWND label = LabelHandle(control);
  const SIZE size = TextExtent(label, Utf8ToWide(spec.Text));
  const int top = Scale(spec.Place.Top) + (Scale(spec.Place.Height) - size.cy) / 2;
  SetWindowPos(label, nullptr, Scale(spec.Place.Left) - size.cx - Scale(kLabelSpacing), top,
               size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32ToolWindow::Show(int showCommand) {
  KeepOnWorkArea(Handle());
  ShowWindow(Handle(), showCommand);
  UpdateWindow(Handle());
}

// ToolView.

void Win32ToolWindow::ShowText(Control control, const std::string& text) {
  const ControlSpec& spec = SpecOf(control);
  HWND handle = ControlHandle(control);
  const Applying quiet(applying_);
  if (IsEdit(spec.Kind)) {
    SetWindowTextW(handle, Utf8ToWide(text).c_str());
    // A text longer than the field shows its beginning, where every status says what it is.
    SendMessageW(handle, EM_SETSEL, 0, 0);
    SendMessageW(handle, EM_SCROLLCARET, 0, 0);
  } else if (spec.Kind == ControlKind::Label && !text.empty()) {
    const std::wstring shown = Utf8ToWide(text);
    SetWindowTextW(handle, shown.c_str());
    FitToCaption(control, shown);
  }
}

void Win32ToolWindow::ShowChecked(Control control, bool checked) {
  if (SpecOf(control).Kind == ControlKind::CheckBox) {
    const Applying quiet(applying_);
    SendMessageW(ControlHandle(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

void Win32ToolWindow::ShowEnabled(Control control, bool enabled) {
  const Applying quiet(applying_);
  EnableWindow(ControlHandle(control), enabled ? TRUE : FALSE);
  if (HWND label = LabelHandle(control)) {
    EnableWindow(label, enabled ? TRUE : FALSE);
  }
}

void Win32ToolWindow::ShowVisible(Control control, bool visible) {
  const Applying quiet(applying_);
  ShowWindow(ControlHandle(control), visible ? SW_SHOWNA : SW_HIDE);
  if (HWND label = LabelHandle(control)) {
    ShowWindow(label, visible ? SW_SHOWNA : SW_HIDE);
  }
}

void Win32ToolWindow::ShowSelectedItem(Control control, int item) {
  if (SpecOf(control).Kind != ControlKind::ComboBox) {
    return;
  }
  HWND box = ControlHandle(control);
  // -1 is the operator's typed text: it stays as typed.
  const auto count = static_cast<int>(SendMessageW(box, CB_GETCOUNT, 0, 0));
  if (item >= 0 && item < count) {
    const Applying quiet(applying_);
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
  }
}

void Win32ToolWindow::ShowDeviceItems(const std::vector<std::string>& items, int selected) {
  HWND list = ControlHandle(Control::DeviceList);
  const Applying quiet(applying_);
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  for (const std::string& item : items) {
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Latin1ToWide(item).c_str()));
  }
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  if (deviceItemsShown_) {
    deviceItemsShown_(items);
  }
}

void Win32ToolWindow::ShowEngineeringPanel(bool shown) {
  const Applying quiet(applying_);
  ShowWindow(ControlHandle(Control::RdPanel), shown ? SW_SHOWNA : SW_HIDE);
  RECT outer = {0, 0, Scale(kClientWidth),
                Scale(shown ? kClientHeight : kClientHeight - kRdPanelHeight)};
  AdjustWindowRectEx(&outer, kWindowStyle, FALSE, kWindowExStyle);
  SetWindowPos(Handle(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  KeepOnWorkArea(Handle());  // grown at a large DPI, its bottom could pass the screen's
}

void Win32ToolWindow::RepaintStatus() {
  RedrawWindow(ControlHandle(Control::StatusEdit), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void Win32ToolWindow::ProcessPendingEvents(bool userInput) {
  // Busy, the operator's clicks and keys are taken and dropped, never left in the queue: left
  // there, a click on the greyed Run would reach the Run enabled again once the procedure has
  // returned, and start a run nobody asked for. A helper window keeps its own.
  auto dropped = [&](const MSG& message) {
    return !userInput && IsOperatorInput(message.message) && !IsHelperMessage(message);
  };
  const UINT filter = PM_REMOVE | (userInput ? 0 : kNoInputFilter);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, filter)) {
    if (message.message == WM_QUIT) {
      // The loop that called the procedure ends once it has returned.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (!dropped(message)) {
      Dispatch(message);
    }
  }
  if (userInput) {
    return;
  }
  // The filter above leaves the input queue alone; the keys and clicks in it are taken here.
  for (const auto& [first, last] : kOperatorInputRanges) {
    while (PeekMessageW(&message, nullptr, first, last, PM_REMOVE)) {
      if (!dropped(message)) {
        Dispatch(message);
      }
    }
  }
  // A helper's other messages: filtered by window, the queue gives up only what belongs to the
  // helper and its controls. Clicks on this window's frame stay queued, so that a close asked
  // for meanwhile is honoured once the procedure has returned.
  for (HWND helper : inputHelpers_) {
    while (IsWindow(helper) && PeekMessageW(&message, helper, 0, 0, PM_REMOVE)) {
      Dispatch(message);
    }
  }
}

bool Win32ToolWindow::IsHelperMessage(const MSG& message) const {
  HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  return root != nullptr &&
         std::find(inputHelpers_.begin(), inputHelpers_.end(), root) != inputHelpers_.end();
}

void Win32ToolWindow::PostEvent(std::function<void()> event) {
  auto* boxed = new std::function<void()>(std::move(event));
  HWND window = Handle();
  if (window == nullptr ||
      !PostMessageW(window, kPostedEvent, 0, reinterpret_cast<LPARAM>(boxed))) {
    delete boxed;  // the window is gone: the event is dropped
  }
}

void Win32ToolWindow::StartHotPlugSources() {
  usbNotification_ = RegisterUsbDeviceNotification(Handle());
}

void Win32ToolWindow::StopHotPlugSources() {
  UnregisterUsbDeviceNotification(usbNotification_);
  usbNotification_ = nullptr;
}

void Win32ToolWindow::CloseWindow() {
  closing_ = true;
  // Posted: the core may ask from inside a handler of this very window.
  PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

void Win32ToolWindow::ShowRunPercent(int percent) {
  SetWindowTextW(Handle(), Utf8ToWide(RunCaption(percent)).c_str());
}

void Win32ToolWindow::OnProcedureFinished() {
  if (procedureFinished_) {
    procedureFinished_();
  }
}

// Window messages.

LRESULT CALLBACK Win32ToolWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<Win32ToolWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<Win32ToolWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    self->window_ = nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    // Events posted but not run: dropped, as PostEvent promises.
    MSG pending;
    while (PeekMessageW(&pending, window, kPostedEvent, kPostedEvent, PM_REMOVE)) {
      if (pending.message == WM_QUIT) {
        // A filtered peek still takes the quit that WM_DESTROY has just posted: put it back,
        // or the loop would never end.
        PostQuitMessage(static_cast<int>(pending.wParam));
        break;
      }
      delete reinterpret_cast<std::function<void()>*>(pending.lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return self->OnMessage(message, wParam, lParam);
}

LRESULT Win32ToolWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = Handle();
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam) - kFirstControlId;
      if (applying_ == 0 && core_ && id >= 0 && id < kControlCount) {
        Command(static_cast<Control>(id), HIWORD(wParam));
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      return ControlColour(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
    case WM_TIMER:
      if (timers_ != nullptr) {
        timers_->Expired(static_cast<int>(wParam));
      }
      return 0;
    case WM_DEVICECHANGE:
      if (core_) {
        core_->DeviceChangeMsg(static_cast<std::uint32_t>(wParam));
      }
      return TRUE;
    case WM_DROPFILES:
      DropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case kPostedEvent: {
      std::unique_ptr<std::function<void()>> event(
          reinterpret_cast<std::function<void()>*>(lParam));
      if (*event) {
        (*event)();
      }
      return 0;
    }
    case WM_CLOSE:
      if (closing_ || !core_ || core_->CloseRequested()) {
        DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      // Closing the tool's window ends the program, whatever helper windows are open.
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT Win32ToolWindow::ControlColour(HWND control, HDC dc) {
  if (control == separator_) {
    return reinterpret_cast<LRESULT>(separatorBrush_);
  }
  if (control == ControlHandle(Control::StatusEdit)) {
    // The status field is read-only but keeps the window colour of an edit.
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
  }
  return DefWindowProcW(Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                        reinterpret_cast<LPARAM>(control));
}

void Win32ToolWindow::Command(Control control, int code) {
  ToolCore& core = *core_;
  switch (SpecOf(control).Kind) {
    case ControlKind::Button:
      if (code == BN_CLICKED) {
        core.Clicked(control);
      }
      return;
    case ControlKind::CheckBox:
      if (code == BN_CLICKED) {
        // Every tick goes to the core, which runs the box's handler.
        const bool ticked = SendMessageW(ControlHandle(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
        core.TickChanged(control, ticked);
      }
      return;
    case ControlKind::LabeledEdit:
      if (code == EN_CHANGE) {
        core.TextEdited(control, WideToUtf8(WindowText(ControlHandle(control))));
      }
      return;
    case ControlKind::ComboBox: {
      // The field still shows the former text while these notifications run; the list knows.
      const auto listItem = [&] {
        return static_cast<int>(SendMessageW(ControlHandle(control), CB_GETCURSEL, 0, 0));
      };
      if (code == CBN_DROPDOWN) {
        changedInDropDown_ = false;
      } else if (code == CBN_SELCHANGE) {
        changedInDropDown_ = true;
        core.ItemChosen(control, listItem());
      } else if (code == CBN_SELENDOK && !std::exchange(changedInDropDown_, false)) {
        // The item already shown, chosen again: a choice all the same (it confirms the device
        // the list fell back to).
        core.ItemChosen(control, listItem());
      } else if (code == CBN_EDITCHANGE) {
        core.ItemChosen(control, ShownItem(control));
      }
      return;
    }
    default:
      return;
  }
}

int Win32ToolWindow::ShownItem(Control control) const {
  HWND box = ControlHandle(control);
  const auto index = static_cast<int>(SendMessageW(box, CB_GETCURSEL, 0, 0));
  if (index < 0) {
    return -1;
  }
  const auto length = SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) {
    return -1;
  }
  std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(item.data()));
  item.resize(static_cast<std::size_t>(length));
  return WindowText(box) == item ? index : -1;
}

void Win32ToolWindow::DropFiles(HDROP drop) {
  std::vector<std::string> names;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring name(static_cast<std::size_t>(DragQueryFileW(drop, i, nullptr, 0)) + 1, L'\0');
    name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
    names.push_back(WideToUtf8(name));
  }
  DragFinish(drop);
  if (core_) {
    core_->DropFilesMsg(names);
  }
}

int RunMessageLoop() {
  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
    if (got == -1) {
      return 1;
    }
    Dispatch(message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace q71x::win32
