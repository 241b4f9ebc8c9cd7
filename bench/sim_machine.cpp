// SPDX-License-Identifier: GPL-2.0-or-later
#include "bench/sim_machine.h"

namespace q71x::bench {

SilentDialogs::SilentDialogs()
    : previous_(SetMessageBoxHandler([this](const MessageBoxRequest&) { ++boxes_; })) {}

SilentDialogs::~SilentDialogs() {
  SetMessageBoxHandler(previous_);
}

SimMachine::SimMachine(bool latencyModel) {
  system_.Timing().SetEnabled(latencyModel);
}

}  // namespace q71x::bench
