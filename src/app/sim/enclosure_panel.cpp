// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/sim/enclosure_panel.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

#include "sim/simulated_system.h"
#include "src/app/sim/enclosure_panel_text.h"

namespace q71x {

EnclosurePanel::EnclosurePanel(sim::SimulatedSystem& system, QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("Simulated enclosures"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromUtf8(kEnclosurePanelHeading)));
  for (const auto& enclosure : system.Enclosures()) {
    const std::string path = enclosure->Path;
    QString text = QString::fromStdString(enclosure->Bridge.Personality.Label);
    if (text.isEmpty()) {
      text = QString::fromStdString(path);
    }
    auto* box = new QCheckBox(text, this);
    box->setToolTip(QString::fromStdString(path));
    box->setChecked(enclosure->Plugged);
    connect(box, &QCheckBox::toggled, this, [&system, path](bool plugged) {
      if (plugged) {
        system.Plug(path);
      } else {
        system.Unplug(path);
      }
    });
    layout->addWidget(box);
  }
  layout->addStretch();
}

}  // namespace q71x
