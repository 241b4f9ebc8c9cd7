#pragma once
// Where a bridge that keeps its firmware on the attached disk has put it: the two configuration
// tests and the block address of the firmware area.

#include <cstdint>
#include <string>

namespace q71x {

// Chip type 14 asks the configuration block (byte 8 non-zero and byte 16 = 01); every other chip
// type the controller-memory signature 55 AA at C000.
int HasDiskFirmware(const std::string& devicePath, int chipType);
// 1 when the configuration block reads with byte 8 non-zero and byte 17 = 01: the area starts
// one block later than the default position.
int FwAreaShiftFlag(const std::string& devicePath);

// The firmware area's base block address. It is a full 64-bit address: on a drive of 2^32
// sectors or more it is already complete and must be used as it is, not recombined with the high
// half of the sector count (that would lose the borrow when the low half of the count is 0).
// The area descriptor on the disk keeps only the low 32 bits; they are widened here to the
// address nearest the drive's end.
std::uint64_t GetDiskFirmwareLba(const std::string& devicePath, std::uint32_t blockSize,
                                 int chipType);

}  // namespace q71x
