// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The update procedures by name: what the Run button starts, and what the benchmarks, the fault
// campaign and the tests run, from one catalogue.

#include <string>
#include <string_view>

#include "src/update/tool_window.h"

namespace q71x {

enum class UpdateProcedure {
  None,
  UpdateSerialFlash,
  UpdateFlashWithNvram,
  UpdateParallelFlash,
  UpdateSerialFlashSpi,
  UpdateDf2Flash,
  UpdateDiskFirmware,
  UpdateDfFlash,
};

// The procedure's own name ("UpdateSerialFlash", ...); empty for None.
std::string_view UpdateProcedureName(UpdateProcedure procedure);

// Starts the procedure with the window and the device path and returns its result once it has
// finished; -1 for None (nothing was sent or shown). `parallelFlashPart` is the item of the
// flash-type list, used by UpdateParallelFlash only. What the run did is in window.Run().Outcome
// afterwards (src/update/run_outcome.h).
int RunUpdateProcedure(UpdateProcedure procedure, ToolWindow& window, const std::string& devicePath,
                       int parallelFlashPart);

// What a run is asked to do: the update itself, or one of the engineering actions.
enum class EngineeringAction { Update, EraseOnly, BackupOnly };

std::string_view EngineeringActionName(EngineeringAction action);

}  // namespace q71x
