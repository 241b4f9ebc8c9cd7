// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The window's timers as Windows keeps them: SetTimer and KillTimer on the window, and the
// window's WM_TIMER handed back here by id.

#include <windows.h>

#include "src/tool/window_timers.h"

namespace q71x::win32 {

class Win32WindowTimers final : public WindowTimers {
 public:
  // The window may come after the core that owns the timers; until then nothing is set.
  void AttachWindow(HWND window) { window_ = window; }
  void SetExpiryHandler(ExpiryHandler handler) override { handler_ = std::move(handler); }
  // SetTimer on an id that runs already starts it over with the new delay.
  void SetTimer(int timerId, int delayMs) override;
  void KillTimer(int timerId) override;
  // The window's WM_TIMER.
  void Expired(int timerId);

 private:
  HWND window_ = nullptr;
  ExpiryHandler handler_;
};

}  // namespace q71x::win32
