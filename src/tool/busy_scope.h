// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// While a procedure runs or a box of the chip check is open, events that arrive (device changes,
// the hot-plug timer, dropped files, a close request) wait; they are handled when the outermost
// scope ends. A procedure's scope also keeps Run disabled for exactly its life.

#include "src/tool/tool_core.h"

namespace q71x {

class BusyScope {
 public:
  enum class Kind { ChipCheck, Procedure };

  BusyScope(ToolCore& core, Kind kind) : core_(core), kind_(kind) {
    ++core_.busyDepth_;
    if (kind_ == Kind::Procedure) {
      core_.SetEnabled(Control::UpdateBtn, false);
      core_.procedureRunning_ = true;
    }
  }
  ~BusyScope() {
    if (kind_ == Kind::Procedure) {
      core_.procedureRunning_ = false;
      core_.SetEnabled(Control::UpdateBtn, true);
      core_.view_.OnProcedureFinished();
    }
    if (--core_.busyDepth_ == 0) {
      core_.ReplayDeferredEvents();
    }
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  ToolCore& core_;
  Kind kind_;
};

}  // namespace q71x
