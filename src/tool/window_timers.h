// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The window's timers by id, as the hot-plug debounce uses them: setting a timer (re)starts it,
// it fires every delay until killed. Tests put a fake behind this to step time by hand.

#include <functional>

namespace q71x {

class WindowTimers {
 public:
  using ExpiryHandler = std::function<void(int timerId)>;

  virtual ~WindowTimers() = default;
  virtual void SetExpiryHandler(ExpiryHandler handler) = 0;
  // Kill-then-set semantics: a running timer of that id starts over with the new delay.
  virtual void SetTimer(int timerId, int delayMs) = 0;
  virtual void KillTimer(int timerId) = 0;
};

}  // namespace q71x
