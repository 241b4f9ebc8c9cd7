#pragma once
// The device part of the chip check: identification, the flash determination (with the opcode
// or page-size settings it hands the bridge), the configuration level of the disk-kept families
// and the firmware version. The window's chip check runs it in two steps (the file match and its
// box come between them); the fault campaign, the device fuzzer and the benchmarks run it whole,
// so they prepare a device exactly as the window does and fill the fields the procedures read.

#include <string>

#include "src/update/tool_window.h"

namespace q71x {

struct ChipProbe {
  std::string FlashText;      // serial-flash families: what the flash-type field shows
  bool LevelRead = false;     // disk-kept families: the configuration block answered
  bool VersionRead = false;   // the firmware-information block answered
  bool OurSignature = false;  // ... and carries the family's signature
  std::string VersionText;    // the version field's text (also when unreadable)
};

// Sets ChipType and ChipRevision from IdentifyChip.
void IdentifyInto(const std::string& devicePath, ChipState& state);

// Everything after identification. A disk-kept chip whose configuration block does not answer
// gets level 0 (unknown), never the level of the device checked before it.
ChipProbe ProbeChipMemory(const std::string& devicePath, ChipState& state,
                          ProgramSettings& settings);

// Both steps.
ChipProbe ProbeChip(const std::string& devicePath, ChipState& state, ProgramSettings& settings);

}  // namespace q71x
