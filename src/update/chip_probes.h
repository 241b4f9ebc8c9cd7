#pragma once
// The device side of the window's chip check without the window: identification, the flash
// determination (with the opcode or page-size settings it hands the bridge), the configuration
// block of the disk-kept families, the file match when a firmware file is named, and the
// firmware version. The same commands in the same order as the window's check, so tools that
// need a device prepared as the window would prepare it (benchmarks, the fault campaign, the
// in-guest test) run this, and the fields it fills are the ones the procedures read.

#include <string>

#include "src/update/tool_window.h"

namespace q71x {

struct ChipProbeOutcome {
  std::string FlashText;     // what the flash-type field would show
  std::string VersionText;   // what the version field would show
  bool FileMatches = false;  // only looked at when a file was named
};

ChipProbeOutcome RunChipProbes(const std::string& devicePath, const std::string& firmwareFile,
                               ChipState& state, ProgramSettings& settings);

}  // namespace q71x
