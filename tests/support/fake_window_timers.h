// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Window timers on a clock the test moves, for the core's hot-plug debounce.

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "src/tool/window_timers.h"

namespace q71x::testing {

// Window timers on a clock the test moves: timers fire, in order of their due time, when
// Advance passes it; a timer that is not killed fires again every delay, as window timers do.
class FakeWindowTimers final : public WindowTimers {
 public:
  struct SetCall {
    int TimerId;
    int DelayMs;
    std::uint64_t AtMs;
  };

  void SetExpiryHandler(ExpiryHandler handler) override { handler_ = std::move(handler); }
  void SetTimer(int timerId, int delayMs) override {
    running_[timerId] = {nowMs_ + static_cast<std::uint64_t>(delayMs), delayMs};
    sets_.push_back({timerId, delayMs, nowMs_});
  }
  void KillTimer(int timerId) override { running_.erase(timerId); }

  void Advance(std::uint64_t ms) {
    const std::uint64_t end = nowMs_ + ms;
    for (;;) {
      auto next = std::min_element(running_.begin(), running_.end(), [](auto& a, auto& b) {
        return a.second.DueMs < b.second.DueMs;
      });
      if (next == running_.end() || next->second.DueMs > end) {
        break;
      }
      nowMs_ = next->second.DueMs;
      const int id = next->first;
      next->second.DueMs += static_cast<std::uint64_t>(next->second.DelayMs);
      if (handler_) {
        handler_(id);
      }
    }
    nowMs_ = end;
  }
  bool IsRunning(int timerId) const { return running_.count(timerId) != 0; }
  const std::vector<SetCall>& Sets() const { return sets_; }
  std::uint64_t NowMs() const { return nowMs_; }

 private:
  struct Running {
    std::uint64_t DueMs;
    int DelayMs;
  };
  ExpiryHandler handler_;
  std::map<int, Running> running_;
  std::vector<SetCall> sets_;
  std::uint64_t nowMs_ = 0;
};

}  // namespace q71x::testing
