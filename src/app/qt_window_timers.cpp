// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/qt_window_timers.h"

#include <QTimer>

namespace q71x {

QtWindowTimers::QtWindowTimers() = default;
QtWindowTimers::~QtWindowTimers() = default;

void QtWindowTimers::SetTimer(int timerId, int delayMs) {
  auto& timer = timers_[timerId];
  if (!timer) {
    timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [this, timerId] {
      if (handler_) {
        handler_(timerId);
      }
    });
  }
  timer->start(delayMs);
}

void QtWindowTimers::KillTimer(int timerId) {
  auto found = timers_.find(timerId);
  if (found != timers_.end()) {
    found->second->stop();
  }
}

}  // namespace q71x
