// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// How progress samples reach the operator: a bar redrawn in place on a terminal, or one JSON
// object per line for a program reading standard error (docs/cli.md has the schema).

#include <iosfwd>
#include <memory>

#include "src/app/cli/progress_meter.h"

namespace q71x::cli {

class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void Show(const ProgressSample& sample) = 0;
};

// "backup   [##########----------]  50 %   32.0 KiB of 64.0 KiB   0:02 left"
std::unique_ptr<ProgressDisplay> MakeTerminalBar(std::ostream& err);
// "update  50 %  32.0 KiB of 64.0 KiB": a line at a phase's start, every quarter and its end
std::unique_ptr<ProgressDisplay> MakeStepLines(std::ostream& err);
// {"event":"progress","phase":"backup","bytes":32768,"total":65536,"percent":50,...}
std::unique_ptr<ProgressDisplay> MakeJsonLines(std::ostream& err);

}  // namespace q71x::cli
