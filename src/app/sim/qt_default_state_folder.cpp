// Where the Qt build keeps the simulator's state: the platform's user data folder as Qt names
// it. The rest of the state folder needs no toolkit, so the native Windows build shares it.

#include <QStandardPaths>

#include "src/app/sim/sim_state_folder.h"

namespace q71x {

std::filesystem::path DefaultSimStateFolder() {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return std::filesystem::path(base.toStdString()) / "q71xfwtool-sim";
}

}  // namespace q71x
