// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The controller's configuration area across an erase: the DF-family procedures save it before
// the erase can reach it and put it back afterwards. A short or garbled answer would otherwise be
// taken for the area and written back as if it were the device's own.

#include <cstdint>
#include <string>

#include "src/device/aligned_buffer.h"
#include "src/update/tool_window.h"

namespace q71x {

// Reads `length` bytes at flash `address` twice into `saved`. True only when both reads
// succeeded and agree; otherwise nothing may be erased: the status field holds "Allocate buffers
// Error!!" when a buffer could not be had, else "Backup NVRAM command fail!".
bool SaveDfConfigArea(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                      std::uint32_t length, AlignedBuffer& saved);

// Reads the area at `address` back after it was written and compares it with `saved`: true when
// the flash holds exactly the saved bytes. Sets no status; the caller reports the failure.
bool DfConfigAreaReadsBack(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                           const AlignedBuffer& saved);

// Puts the saved area back after a run that issued an erase and then stopped on a failure:
// without it the next run would save the erased bytes as the device's configuration, and its
// identity and settings would be gone for good. Leaves an area that two agreeing reads show as
// saved alone; where they show other bytes, writes it with an erase of the unit under it first,
// since what a short or garbled write left there cannot be programmed away. Where the reads fail
// or disagree nothing is erased: the area gets a plain program, which cannot spoil an intact
// area and fills in an erased one. Silent about its own failure: the caller reports the failure
// that stopped the run, after this, because the transfers post their progress into the status
// field. 1 when the area reads back as saved at the end (the recovery journal's entry may go
// then).
//
// The DF family's 4 KB area at flash address 0.
int RestoreDfConfigArea(ToolWindow& window, const std::string& devicePath,
                        const AlignedBuffer& saved);

// The 1394 family's 1 KB area at 0x8000, written as the erase-only action writes it back.
int RestoreDf2ConfigArea(ToolWindow& window, const std::string& devicePath,
                         const AlignedBuffer& saved);

}  // namespace q71x
