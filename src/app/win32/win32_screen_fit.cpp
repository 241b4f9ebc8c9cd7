// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/win32/win32_screen_fit.h"

#include <algorithm>

namespace q71x::win32 {

void KeepOnWorkArea(HWND window) {
  RECT outer{};
  if (!GetWindowRect(window, &outer)) {
    return;
  }
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromRect(&outer, MONITOR_DEFAULTTONEAREST), &monitor)) {
    return;
  }
  const RECT& area = monitor.rcWork;
  // Right and bottom edges first, then left and top: a window larger than the area keeps its
  // title bar and close box reachable.
  const LONG left =
      std::max(area.left, std::min(outer.left, area.right - (outer.right - outer.left)));
  const LONG top =
      std::max(area.top, std::min(outer.top, area.bottom - (outer.bottom - outer.top)));
  if (left != outer.left || top != outer.top) {
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace q71x::win32
