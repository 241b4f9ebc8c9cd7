// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Where a bridge that keeps its firmware on the attached disk has put it: the two configuration
// tests, the block address of the firmware area, and the readings of the bridge's and the
// drive's answers that the address is worked out from.

#include <cstddef>
#include <cstdint>
#include <string>

#include "src/catalog/chip_type_table.h"

namespace q71x {

inline constexpr std::uint32_t kConfigBlockLength = 18;
inline constexpr std::uint16_t kDiskFirmwareSignatureLength = 4;
// The area descriptor: 55, the base (high byte first), AA, in the first sector of the area.
inline constexpr std::size_t kFwAreaDescriptorOffset = 150;
inline constexpr std::size_t kFwAreaDescriptorLength = 6;
// The area starts on a multiple of this many sectors.
inline constexpr std::uint64_t kFwAreaAlignment = 256;

// Whether the chip tells firmware on the disk by its configuration block (byte 8 non-zero and byte
// 16 = 01), as the disk-capable QV40713 does; every other chip type by the controller-memory
// signature 55 AA at C000.
inline constexpr bool TellsDiskFirmwareByConfigBlock(ChipType chipType) {
  return chipType == ChipType::Qv40713ESeries;
}
int HasDiskFirmware(const std::string& devicePath, ChipType chipType);
// 1 when the configuration block reads with byte 8 non-zero and byte 17 = 01: the area starts
// one block later than the default position.
int FwAreaShiftFlag(const std::string& devicePath);

// The firmware area's base block address. It is a full 64-bit address: on a drive of 2^32
// sectors or more it is already complete and must be used as it is, not recombined with the high
// half of the sector count (that would lose the borrow when the low half of the count is 0).
// The area descriptor on the disk keeps only the low 32 bits; they are widened here to the
// address nearest the drive's end. A failed answer falls back as the commands do; callers that
// must not work on a guessed position gather the answers themselves (DiskAreaAnswers).
std::uint64_t GetDiskFirmwareLba(const std::string& devicePath, std::uint32_t blockSize,
                                 ChipType chipType);

// The answers the area's position is worked out from, each from a command that succeeded.
struct DiskAreaAnswers {
  std::uint32_t LastLba = 0;      // READ CAPACITY(10)
  bool Shifted = false;           // configuration block byte 17
  std::uint64_t SectorCount = 0;  // IDENTIFY DEVICE
  bool FirmwarePresent = false;   // configuration block byte 16 or the C000 signature
};

// ReadChipMemory of the 4 signature bytes at C000: 1 on success.
int ReadDiskFirmwareSignature(const std::string& devicePath,
                              std::uint8_t signature[kDiskFirmwareSignatureLength]);
// Bytes [offset, offset + length) of the signature, for reads that must not repeat a command.
int ReadDiskFirmwareSignatureBytes(const std::string& devicePath, std::uint16_t offset,
                                   std::uint8_t* buffer, std::uint16_t length);
bool SignatureSaysFirmwareOnDisk(const std::uint8_t signature[kDiskFirmwareSignatureLength]);
bool ConfigBlockSaysFirmwareOnDisk(const std::uint8_t config[kConfigBlockLength]);
bool ConfigBlockSaysAreaShifted(const std::uint8_t config[kConfigBlockLength]);

// A drive of 2^32 sectors or more is reached with the 16-byte commands only.
bool NeedsLongCommands(std::uint64_t sectorCount);

// The base without firmware on the disk: the last sector the host sees (the drive's own count
// less one on a large drive), one more when shifted.
std::uint64_t DefaultFwAreaBase(const DiskAreaAnswers& answers);

// Where the area record (its first 4 blocks, which hold the descriptor) is read, and how many
// bytes it is. False when no command can fetch it there: blocks too small to hold the
// descriptor, or a sector a 10-byte command cannot name.
bool FwAreaRecordPlace(const DiskAreaAnswers& answers, std::uint32_t blockSize, std::uint64_t& lba,
                       std::uint32_t& length);

// The base the record's descriptor names. A descriptor is taken only with its 55 and AA marks
// and a base whose area starts on the first aligned sector at or past the record, the one sector
// it can have been read from; anything else (an empty or garbled record, a base inside the
// host's part of the disk or far past its end) places the area there by the capacity alone, so
// that a later programming run writes a sound descriptor where the next look will find it.
std::uint64_t FwAreaBaseFromRecord(const DiskAreaAnswers& answers, const std::uint8_t* record);

// The first sector of the area: the base, less one unless the area is shifted, rounded down to a
// multiple of 256, less 256. Computed in 64 bits. Returns false when the base is so small that
// the area would wrap below sector 0 or start on sector 0, where the partition table lives.
bool FwAreaStart(std::uint64_t areaBase, bool shifted, std::uint64_t& start);

}  // namespace q71x
