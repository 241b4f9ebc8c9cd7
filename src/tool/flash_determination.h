// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Which serial flash sits behind a bridge of a serial-flash chip type, found the way that chip
// type calls for: detection with the opcodes handed to the bridge (later QVK926 revisions and the
// disk-capable QV40713), the bridge's own vendor query (the DF and 1394 families), or the AMIC
// and ATMEL part probes first (the rest). On the way the bridge is told about 32-byte-page MXIC
// parts where it needs to be. The chip check runs this on every pass; procedures rely on what it
// leaves in the state and the erase units.

#include <string>

#include "src/update/tool_window.h"

namespace q71x {

// Reads ChipType and ChipRevision from `state`; sets AmicFlashPart and AtmelFlashPart (to -1,
// then possibly a part class), and FlashVendor, SstSpiFlash and the erase units only on the
// paths that learn them. Returns the text for the flash-type field: a vendor name, "AMIC",
// "ATMEL", or empty when nothing was learnt.
std::string DetermineSerialFlash(const std::string& devicePath, ChipState& state,
                                 ProgramSettings& settings);

}  // namespace q71x
