// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Commands that reach the disk behind the bridge: capacity, the drive's own sector count, and
// standard block reads and writes in their 10- and 16-byte forms.

#include <cstdint>
#include <string>

#include "src/device/platform/pass_through_outcome.h"

namespace q71x {

inline constexpr std::uint32_t kDefaultBlockSize = 512;
inline constexpr std::uint32_t kCapacityReplyLength = 8;
inline constexpr std::uint32_t kIdentifyLength = 512;
// The last sector a 10-byte command can name.
inline constexpr std::uint64_t kLastShortCommandLba = 0xFFFFFFFFull;

// READ CAPACITY(10) as a 12-byte block: bytes 4-7 of the reply. 512 when the command fails or
// the disk reports 0, since every caller divides by it.
std::uint32_t GetBlockSize(const std::string& devicePath);
// READ CAPACITY(10): bytes 0-3 of the reply, the last block the bridge exposes; 0 on failure.
std::uint32_t GetLastLba(const std::string& devicePath);
// ATA IDENTIFY DEVICE through DF 10 .. EC: the 28-bit count of words 60-61, or the 48-bit count
// of words 100-103 when the 28-bit one reads 0FFFFFFF. 0 on failure.
std::uint64_t IdentifySectorCount(const std::string& devicePath);

// The same two commands with their replies as they came, for callers that must tell a failed
// answer from one that says 0 (1 on success), and the readings of those replies.
int ReadCapacity10(const std::string& devicePath, std::uint8_t reply[kCapacityReplyLength]);
int IdentifyDevice(const std::string& devicePath, std::uint8_t identify[kIdentifyLength]);
std::uint32_t LastLbaOfCapacity(const std::uint8_t reply[kCapacityReplyLength]);
// 512 for a reported block size of 0.
std::uint32_t BlockSizeOfCapacity(const std::uint8_t reply[kCapacityReplyLength]);
std::uint64_t SectorCountOfIdentify(const std::uint8_t identify[kIdentifyLength]);

// The block count sent is length / blockSize. A zero block size, or a count that does not fit the
// command's count field, is refused (0) before anything is sent. A read may hand back why it
// failed in `outcome` (left as it was when nothing was sent).
int DiskRead10(const std::string& devicePath, std::uint32_t lba, std::uint8_t* buffer,
               std::uint32_t length, std::uint32_t blockSize,
               PassThroughOutcome* outcome = nullptr);
int DiskWrite10(const std::string& devicePath, std::uint32_t lba, const std::uint8_t* buffer,
                std::uint32_t length, std::uint32_t blockSize);
int DiskRead16(const std::string& devicePath, std::uint64_t lba, std::uint8_t* buffer,
               std::uint32_t length, std::uint32_t blockSize,
               PassThroughOutcome* outcome = nullptr);
int DiskWrite16(const std::string& devicePath, std::uint64_t lba, const std::uint8_t* buffer,
                std::uint32_t length, std::uint32_t blockSize);

// READ/WRITE(16) when `wide`, else (10). A sector past what a 10-byte command can name is
// refused (0) before anything is sent: cut to 32 bits it would be a sector near the start. A
// transfer longer than the system carries goes in pieces of whole blocks, each with its sector.
int DiskRead(const std::string& devicePath, bool wide, std::uint64_t lba, std::uint8_t* buffer,
             std::uint32_t length, std::uint32_t blockSize, PassThroughOutcome* outcome = nullptr);
int DiskWrite(const std::string& devicePath, bool wide, std::uint64_t lba,
              const std::uint8_t* buffer, std::uint32_t length, std::uint32_t blockSize);

}  // namespace q71x
