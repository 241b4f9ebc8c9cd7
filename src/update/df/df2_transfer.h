// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Writes for the 1394-attached QVK846 bridges, through the second DF write command: its mode byte
// is only an erase flag, and the bridge erases the unit of a flagged block before programming it.

#include <cstdint>
#include <string>

#include "src/update/df/df_write_pass.h"

namespace q71x {

// Writes `length` bytes (padded with 0x00 to whole 256-byte units) from flash `address` in
// blocks of the pass's FlashPageSize. The blocks at 0 and 0x8000 carry the erase flag unless
// `eraseUnits` is false (a plain program, which can only clear bits); one dot is appended per
// 2048 bytes. 1 when every write command succeeded (and at least one was sent), else 0; the
// blocks before a failed one stay written.
int WriteDf2Flash(DfWritePass& pass, const std::string& devicePath, std::uint32_t address,
                  const std::uint8_t* source, std::uint32_t length, bool eraseUnits = true);

}  // namespace q71x
