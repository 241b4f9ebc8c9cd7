#pragma once
// The window's timers by id, as the hot-plug debounce uses them: setting a timer (re)starts it,
// it fires every delay until killed. Tests put a fake behind this to step time by hand.

#include <functional>
#include <map>
#include <memory>

class QTimer;

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

// Qt timers, delivered through the window's event loop.
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
