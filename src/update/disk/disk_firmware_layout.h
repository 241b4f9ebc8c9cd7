// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Where the firmware kept on the attached disk lies and how it is reached: the facts the disk
// reports, the first sector of the area, the descriptor that remembers the area's base, and the
// choice between the 10- and the 16-byte commands.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "src/device/disk_firmware_area.h"
#include "src/device/platform/pass_through_outcome.h"

namespace q71x {

// Every transfer to or from the area moves whole 64 KB blocks, or FirmwareSize bytes for a backup.
inline constexpr std::uint32_t kDiskFirmwareBlockSize = 65536;

// Ours: refusals that keep a wrong position from being written to. The position text also
// stands for a position that cannot be worked out because an answer it rests on failed.
inline constexpr std::string_view kDiskBlockSizeErrorText =
    "Disk block size not supported, firmware area not accessed!";
inline constexpr std::string_view kFwAreaPositionErrorText =
    "Firmware area position out of range, firmware area not accessed!";

struct DiskAreaFacts {
  std::uint32_t BlockSize = 512;  // bytes per sector, READ CAPACITY
  std::uint64_t AreaBase = 0;     // as GetDiskFirmwareLba works it out, a full 64-bit address
  std::uint64_t SectorCount = 0;  // the drive's own count, IDENTIFY DEVICE
  bool Shifted = false;           // configuration block byte 17
  bool FirmwarePresent = false;   // HasDiskFirmware
};

// A drive of 2^32 sectors or more is reached with the 16-byte commands only.
bool UsesLongCommands(const DiskAreaFacts& facts);

// False for a sector size the area cannot be kept in: smaller than the descriptor needs, or not
// a whole fraction of a 64 KB block.
bool BlockSizeUsable(std::uint32_t blockSize);

// Places an area of `bytes` bytes: empty text and `start` set when every sector of it can be
// addressed with the commands the drive needs, else the refusal to report.
std::string_view PlaceFwArea(const DiskAreaFacts& facts, std::uint64_t bytes, std::uint64_t& start);

// Writes 55, the low 32 bits of the base high byte first, AA at the descriptor's offset of
// `firstSector`, which must hold at least kFwAreaDescriptorOffset + kFwAreaDescriptorLength bytes.
void PutFwAreaDescriptor(std::uint8_t* firstSector, std::uint64_t areaBase);

// One transfer of `length` bytes at `lba`, with READ/WRITE(16) or (10) as the drive needs; a read
// may hand back why it failed.
int ReadFwArea(const std::string& devicePath, const DiskAreaFacts& facts, std::uint64_t lba,
               std::uint8_t* buffer, std::uint32_t length, PassThroughOutcome* outcome = nullptr);
int WriteFwArea(const std::string& devicePath, const DiskAreaFacts& facts, std::uint64_t lba,
                const std::uint8_t* buffer, std::uint32_t length);

}  // namespace q71x
