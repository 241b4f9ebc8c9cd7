// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A small companion window of the simulator executable: one box per simulated enclosure, ticked
// while it is plugged in. Unticking and ticking again is the power cycle the tool asks for after
// an update, and each change reaches the main window as a hot-plug notification.

#include <QWidget>

namespace q71x::sim {
class SimulatedSystem;
}

namespace q71x {

class EnclosurePanel : public QWidget {
  Q_OBJECT

 public:
  explicit EnclosurePanel(sim::SimulatedSystem& system, QWidget* parent = nullptr);
};

}  // namespace q71x
