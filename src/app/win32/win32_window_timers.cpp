// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/win32/win32_window_timers.h"

namespace q71x::win32 {

void Win32WindowTimers::SetTimer(int timerId, int delayMs) {
  if (window_ != nullptr) {
    ::SetTimer(window_, static_cast<UINT_PTR>(timerId), static_cast<UINT>(delayMs), nullptr);
  }
}

void Win32WindowTimers::KillTimer(int timerId) {
  if (window_ != nullptr) {
    ::KillTimer(window_, static_cast<UINT_PTR>(timerId));
  }
}

void Win32WindowTimers::Expired(int timerId) {
  if (handler_) {
    handler_(timerId);
  }
}

}  // namespace q71x::win32
