// SPDX-License-Identifier: GPL-2.0-or-later
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

// The facts of a fresh program start, which every check begins from: nothing found of a device
// checked before (its flash vendor, the SST flag, the AMIC or ATMEL part, the erase units, the
// configuration level, whether its image carried an NVRAM block) decides anything about the
// next one. The copy of the erase-only tick is the operator's and stays; so do the sizes the
// operator chooses (firmware size, page size), which no check sets.
void StartFromFreshFacts(ChipState& state, ProgramSettings& settings);

// Starts from fresh facts, then sets ChipType and ChipRevision from IdentifyChip.
void IdentifyInto(const std::string& devicePath, ChipState& state, ProgramSettings& settings);

// Everything after identification. A disk-kept chip whose configuration block does not answer
// gets level 0 (unknown), never the level of the device checked before it.
ChipProbe ProbeChipMemory(const std::string& devicePath, ChipState& state,
                          ProgramSettings& settings);

// Both steps.
ChipProbe ProbeChip(const std::string& devicePath, ChipState& state, ProgramSettings& settings);

}  // namespace q71x
