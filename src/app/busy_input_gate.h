// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// While the tool's window is busy, the operator's input to it is dropped: held back, it would
// reach the window once the procedure has returned, where a click on the greyed Run finds Run
// enabled again. A helper window beside it (the simulator's enclosure panel, where an enclosure
// is pulled in the middle of a run) still takes its clicks. For the life of a gate every event is
// let through and the gate takes away the input meant for any window but the helpers.

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
