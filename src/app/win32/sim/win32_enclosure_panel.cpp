// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/win32/sim/win32_enclosure_panel.h"

#include <algorithm>
#include <string_view>

#include "sim/simulated_system.h"
#include "src/app/sim/enclosure_panel_text.h"
#include "src/app/win32/win32_font.h"
#include "src/app/win32/win32_screen_fit.h"
#include "src/app/win32/win32_text.h"
#include "src/device/discovery.h"
#include "src/tool/window_description.h"

namespace q71x::win32 {
namespace {

constexpr wchar_t kPanelClass[] = L"Q71xEnclosurePanel";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kMargin = 8;
constexpr int kLineHeight = 20;
constexpr int kMinimumWidth = 280;
// Box ids: the enclosure's index past this.
constexpr int kFirstBoxId = 100;

// Past the device list's size the tool's list leaves ticked enclosures out: said under the boxes.
std::wstring LeftOutText(int plugged) {
  return std::to_wstring(plugged) + L" ticked: " + std::to_wstring(plugged - kMaxDevices) +
         L" of them not in the tool's list.";
}

}  // namespace

Win32EnclosurePanel::Win32EnclosurePanel(HINSTANCE instance, sim::SimulatedSystem& system,
                                         const std::filesystem::path& stateFolder, int left,
                                         int top)
    : system_(system) {
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = WindowProc;
  cls.hInstance = instance;
  cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = kPanelClass;
  RegisterClassExW(&cls);

  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  font_ = CreateWindowFont(kWindowFontHeight, dpi);
  auto scale = [dpi](int pixels) { return MulDiv(pixels, dpi, USER_DEFAULT_SCREEN_DPI); };

  std::vector<std::wstring> lines;
  const std::wstring heading = Utf8ToWide(kEnclosurePanelHeading);
  for (std::wstring_view rest = heading;;) {
    const std::size_t end = rest.find(L'\n');
    lines.emplace_back(rest.substr(0, end));
    if (end == std::wstring_view::npos) {
      break;
    }
    rest.remove_prefix(end + 1);
  }
  const int firstBoxLine = static_cast<int>(lines.size());
  for (const auto& enclosure : system.Enclosures()) {
    const std::string& label = enclosure->Bridge.Personality.Label;
    lines.push_back(Utf8ToWide(label.empty() ? enclosure->Path : label));
  }
  lines.push_back(LeftOutText(kMaxDevices + 1));  // the widest the line below the boxes gets
  const std::wstring folderLine = L"State folder: " + stateFolder.wstring();
  lines.push_back(folderLine);
  // Wide enough for the longest line in the panel's font.
  int width = scale(kMinimumWidth);
  {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font_);
    for (const std::wstring& line : lines) {
      SIZE size{};
      GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
      width = std::max(width, static_cast<int>(size.cx) + scale(2 * kMargin + 24));
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
  }
  RECT outer = {0, 0, width, scale(kMargin * 2 + kLineHeight * static_cast<int>(lines.size()))};
  AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
  window_ = CreateWindowExW(0, kPanelClass, L"Simulated enclosures", kStyle, left, top,
                            outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                            instance, this);
  auto add = [&](const wchar_t* cls, const std::wstring& text, DWORD style, int line, int id) {
    HWND control = CreateWindowExW(
        0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, scale(kMargin),
        scale(kMargin + line * kLineHeight), width - scale(2 * kMargin), scale(kLineHeight - 2),
        window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return control;
  };
  int line = 0;
  for (; line < firstBoxLine; ++line) {
    add(L"STATIC", lines[static_cast<std::size_t>(line)], SS_LEFT | SS_NOPREFIX, line, -1);
  }
  for (const auto& enclosure : system.Enclosures()) {
    HWND box = add(L"BUTTON", lines[static_cast<std::size_t>(line)], WS_TABSTOP | BS_AUTOCHECKBOX,
                   line, kFirstBoxId + line - firstBoxLine);
    SendMessageW(box, BM_SETCHECK, enclosure->Plugged ? BST_CHECKED : BST_UNCHECKED, 0);
    boxes_.push_back(box);
    paths_.push_back(enclosure->Path);
    ++line;
  }
  leftOutLine_ = add(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, line++, -1);
  add(L"STATIC", folderLine, SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, line, -1);
  ShowLeftOut();
  KeepOnWorkArea(window_);
}

Win32EnclosurePanel::~Win32EnclosurePanel() {
  if (window_ != nullptr && IsWindow(window_)) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  DeleteObject(font_);
}

void Win32EnclosurePanel::Show(int showCommand) {
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
}

void Win32EnclosurePanel::Toggled(std::size_t index) {
  const bool plugged = SendMessageW(boxes_[index], BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (plugged) {
    system_.Plug(paths_[index]);
  } else {
    system_.Unplug(paths_[index]);
  }
  ShowLeftOut();
}

void Win32EnclosurePanel::ShowLeftOut() {
  int plugged = 0;
  for (const auto& enclosure : system_.Enclosures()) {
    plugged += enclosure->Plugged ? 1 : 0;
  }
  SetWindowTextW(leftOutLine_, plugged > kMaxDevices ? LeftOutText(plugged).c_str() : L"");
}

LRESULT CALLBACK Win32EnclosurePanel::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(
        window, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32EnclosurePanel*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr && message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    const int index = LOWORD(wParam) - kFirstBoxId;
    if (index >= 0 && static_cast<std::size_t>(index) < self->boxes_.size()) {
      self->Toggled(static_cast<std::size_t>(index));
    }
    return 0;
  }
  if (message == WM_CLOSE) {
    // A helper: it hides, and the tool's own window decides when the program ends.
    ShowWindow(window, SW_HIDE);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace q71x::win32
