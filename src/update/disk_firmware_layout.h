#pragma once
// Where the firmware kept on the attached disk lies and how it is reached: the facts the disk
// reports, the first sector of the area, the descriptor that remembers the area's base, and the
// choice between the 10- and the 16-byte commands.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace q71x {

// Every transfer to or from the area moves whole 64 KB blocks, or FirmwareSize bytes for a backup.
inline constexpr std::uint32_t kDiskFirmwareBlockSize = 65536;
// The area descriptor: 55, the base (high byte first), AA, in the first sector of the area.
inline constexpr std::size_t kFwAreaDescriptorOffset = 150;
inline constexpr std::size_t kFwAreaDescriptorLength = 6;

// Ours: refusals that keep a wrong position from being written to.
inline constexpr std::string_view kDiskBlockSizeErrorText =
    "Disk block size not supported, firmware area not accessed!";
inline constexpr std::string_view kFwAreaPositionErrorText =
    "Firmware area position out of range, firmware area not accessed!";

struct DiskAreaFacts {
  std::uint32_t BlockSize = 512;  // bytes per sector, GetBlockSize
  std::uint64_t AreaBase = 0;     // GetDiskFirmwareLba, already a full 64-bit address
  std::uint64_t SectorCount = 0;  // the drive's own count, IdentifySectorCount
  bool Shifted = false;           // FwAreaShiftFlag
};

DiskAreaFacts ReadDiskAreaFacts(const std::string& devicePath, int chipType);

// A drive of 2^32 sectors or more is reached with the 16-byte commands only.
bool UsesLongCommands(const DiskAreaFacts& facts);

// The first sector of the area: the base, less one unless the area is shifted, rounded down to a
// multiple of 256, less 256. Computed in 64 bits. Returns false when the base is so small that
// the area would wrap below sector 0 or start on sector 0, where the partition table lives.
bool FwAreaStart(std::uint64_t areaBase, bool shifted, std::uint64_t& start);

// Places an area of `bytes` bytes: empty text and `start` set when every sector of it can be
// addressed with the commands the drive needs, else the refusal to report.
std::string_view PlaceFwArea(const DiskAreaFacts& facts, std::uint64_t bytes, std::uint64_t& start);

// Writes 55, the low 32 bits of the base high byte first, AA at the descriptor's offset of
// `firstSector`, which must hold at least kFwAreaDescriptorOffset + kFwAreaDescriptorLength bytes.
void PutFwAreaDescriptor(std::uint8_t* firstSector, std::uint64_t areaBase);

// One transfer of `length` bytes at `lba`, with READ/WRITE(16) or (10) as the drive needs.
int ReadFwArea(const std::string& devicePath, const DiskAreaFacts& facts, std::uint64_t lba,
               std::uint8_t* buffer, std::uint32_t length);
int WriteFwArea(const std::string& devicePath, const DiskAreaFacts& facts, std::uint64_t lba,
                const std::uint8_t* buffer, std::uint32_t length);

}  // namespace q71x
