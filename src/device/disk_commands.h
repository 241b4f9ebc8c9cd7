#pragma once
// Commands that reach the disk behind the bridge: capacity, the drive's own sector count, and
// standard block reads and writes in their 10- and 16-byte forms.

#include <cstdint>
#include <string>

namespace q71x {

inline constexpr std::uint32_t kDefaultBlockSize = 512;

// READ CAPACITY(10) as a 12-byte block: bytes 4-7 of the reply. 512 when the command fails or
// the disk reports 0, since every caller divides by it.
std::uint32_t GetBlockSize(const std::string& devicePath);
// READ CAPACITY(10): bytes 0-3 of the reply, the last block the bridge exposes; 0 on failure.
std::uint32_t GetLastLba(const std::string& devicePath);
// ATA IDENTIFY DEVICE through DF 10 .. EC: the 28-bit count of words 60-61, or the 48-bit count
// of words 100-103 when the 28-bit one reads 0FFFFFFF. 0 on failure.
std::uint64_t IdentifySectorCount(const std::string& devicePath);

// The block count sent is length / blockSize. A zero block size, or a count that does not fit the
// command's count field, is refused (0) before anything is sent.
int DiskRead10(const std::string& devicePath, std::uint32_t lba, std::uint8_t* buffer,
               std::uint32_t length, std::uint32_t blockSize);
int DiskWrite10(const std::string& devicePath, std::uint32_t lba, const std::uint8_t* buffer,
                std::uint32_t length, std::uint32_t blockSize);
int DiskRead16(const std::string& devicePath, std::uint64_t lba, std::uint8_t* buffer,
               std::uint32_t length, std::uint32_t blockSize);
int DiskWrite16(const std::string& devicePath, std::uint64_t lba, const std::uint8_t* buffer,
                std::uint32_t length, std::uint32_t blockSize);

}  // namespace q71x
