// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Block transfers through the DF command family: the bridge runs the flash cycles itself for
// address-tagged blocks of at most FlashPageSize bytes. Lengths are padded to whole 512-byte
// units on the wire; the padding of a write is 0x00.

#include <cstdint>
#include <string>

#include "src/update/df/df_write_pass.h"
#include "src/update/proven_read.h"
#include "src/update/tool_window.h"

namespace q71x {

// Reads `length` bytes from flash `address` into `destination`, posting "ReadFlash..." and one
// dot per block. 1 when every read command succeeded (and at least one was sent), else 0; after
// a failure the destination holds what was read so far, then bytes that are not flash contents.
int ReadDfFlash(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                std::uint8_t* destination, std::uint32_t length);

// The flash from `address` as a proven read sees it: the second pass starts with half a block,
// so none of its read commands names the start and length of one of the first pass's.
RangeRead DfFlashRange(ToolWindow& window, const std::string& devicePath, std::uint32_t address);

// Writes `length` bytes of `source` from flash `address` on as part of `pass`, one dot per block.
// `mode` selects the erase unit whose first block in the pass carries an erase mark (see
// df_write_pass.h); 0 only programs. 1 when every write command succeeded (and at least one was
// sent), else 0; the blocks before a failed one stay written.
int WriteDfFlash(DfWritePass& pass, const std::string& devicePath, std::uint32_t address,
                 const std::uint8_t* source, std::uint32_t length, std::uint32_t mode);

}  // namespace q71x
