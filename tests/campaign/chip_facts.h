#pragma once
// What the window's chip check learns about a device before Run, found with the same device
// commands in the same order but without the window: chip type and revision, the flash facts
// (vendor row, AMIC and ATMEL parts, SST SPI flag, erase units, opcodes and page size handed to
// the bridge) and the configuration level of the disk-kept families. The campaign settles a
// device this way before every run, as the operator's refresh would; the device-reply fuzzer
// runs it against arbitrary replies.

#include <string>

#include "src/update/tool_window.h"

namespace q71x::campaign {

// Fills `state` and `settings` as the chip check leaves them for the device at `path`. Fields
// the chip check does not touch for the identified group keep their values.
void SettleChipFacts(const std::string& path, ChipState& state, ProgramSettings& settings);

}  // namespace q71x::campaign
