#pragma once
// While the tool's window is busy, the operator's input waits, yet a helper window beside it
// (the simulator's enclosure panel, where an enclosure is pulled in the middle of a run) must
// still take its clicks. Qt can only hold back the input of every window at once, so for the
// life of a gate every event is let through and the gate takes away the input meant for any
// window but the helpers: the busy window ignores it as a disabled window would.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace q71x {

class BusyInputGate final : public QObject {
 public:
  // Installed on the application for the gate's life.
  explicit BusyInputGate(const std::vector<QPointer<QWidget>>& helpers);
  ~BusyInputGate() override;
  BusyInputGate(const BusyInputGate&) = delete;
  BusyInputGate& operator=(const BusyInputGate&) = delete;

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override;

 private:
  bool ReachesHelper(QObject* receiver) const;

  const std::vector<QPointer<QWidget>>& helpers_;
};

}  // namespace q71x
