// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The core's window timers as Qt timers, delivered through the window's event loop.

#include <map>
#include <memory>

#include "src/tool/window_timers.h"

class QTimer;

namespace q71x {

class QtWindowTimers final : public WindowTimers {
 public:
  QtWindowTimers();
  ~QtWindowTimers() override;
  void SetExpiryHandler(ExpiryHandler handler) override { handler_ = std::move(handler); }
  void SetTimer(int timerId, int delayMs) override;
  void KillTimer(int timerId) override;

 private:
  ExpiryHandler handler_;
  std::map<int, std::unique_ptr<QTimer>> timers_;
};

}  // namespace q71x
