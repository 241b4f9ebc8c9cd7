// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Commands for the 64 KB parallel NOR flash (or internal memory) behind some bridges. The host
// hands the bridge the JEDEC software-command sequence to play, so the unlock addresses follow
// the part the operator chose in the flash-type list (`part`: its item, a row of the
// parallel-part table).

#include <cstdint>
#include <string>

namespace q71x {

// FF 04 05, no data.
int ParallelFlashEnable(const std::string& devicePath);
// FF 04 01, no data: runs the sequence loaded by EraseParallelFlash.
int ParallelFlashStart(const std::string& devicePath);
// FF 04 00, one byte in. 1 (busy) when the command fails or the byte is 01, else 0.
int ParallelFlashBusy(const std::string& devicePath);
// FF 04 03 and the 32-bit address low byte first, data in; in pieces the system carries.
int ReadParallelFlash(const std::string& devicePath, std::uint32_t address, std::uint8_t* buffer,
                      std::uint32_t length);
// FF 04 02 and the nine byte-program sequence bytes, data out. It names no address, so it cannot
// be cut: the caller checks that the system carries it (TransferFitsSystem) before any erase.
int ProgramParallelFlash(const std::string& devicePath, const std::uint8_t* buffer,
                         std::uint32_t length, int part);
// FF 04 04 with the 18 chip-erase sequence bytes as its data phase.
int EraseParallelFlash(const std::string& devicePath, int part);

}  // namespace q71x
