#pragma once
// The device side of the window's chip check without the window: identification, the flash
// probes (and the opcode or page-size settings they hand the bridge), the configuration block of
// the disk-kept families, the file match when a firmware file is named, and the firmware
// version. Same commands in the same order as the window's check, so a measured run costs what
// one check costs the operator; the fields it fills are the ones the update procedures read.
//
// The window keeps this sequence inside its Qt class; a Qt-free entry point there would let the
// window, the fault campaign and these benchmarks share one copy.

#include <string>

#include "src/update/tool_window.h"

namespace q71x::bench {

struct ChipProbeOutcome {
  std::string VersionText;   // what the version field would show
  bool FileMatches = false;  // only looked at when a file was named
};

ChipProbeOutcome RunChipProbes(const std::string& devicePath, const std::string& firmwareFile,
                               ChipState& state, ProgramSettings& settings);

}  // namespace q71x::bench
