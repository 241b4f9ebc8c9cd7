// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The only two ways a command block reaches a bridge, plus the device-number query. Every call
// opens the path, issues exactly one request and closes the path again; nothing is cached or
// retried here.

#include <array>
#include <cstdint>
#include <string>

#include "src/device/platform/platform.h"

namespace q71x {

// A command descriptor block of 10, 12 or 16 bytes, built on all zeros.
struct CommandBlock {
  std::array<std::uint8_t, 16> bytes{};
  std::uint8_t length = 12;

  CommandBlock() = default;
  explicit CommandBlock(std::uint8_t cdbLength) : length(cdbLength) {}
  std::uint8_t& operator[](std::size_t i) { return bytes[i]; }
  std::uint8_t operator[](std::size_t i) const { return bytes[i]; }
};

inline constexpr std::uint16_t kPassThroughRecordLength = 44;
inline constexpr std::uint32_t kSenseInfoOffset = 48;
inline constexpr std::uint32_t kDataInTimeoutSeconds = 10;
inline constexpr std::uint32_t kDataOutTimeoutSeconds = 50;
inline constexpr std::uint32_t kLongTimeoutSeconds = 100;

// Data from the device into buffer (length bytes). 1 on success, 0 on failure. A request
// succeeds only when the platform carried it out with no error code left, the device ended it
// with GOOD status, and all `length` bytes came back: the transport fills what the device did
// not send with zeros, and zeros that pass for flash or disk bytes end up in backups and kept
// areas. The buffer is overwritten even when the request fails (bytes the device did not send
// read as 0). The transferred length and the outcome are written unless the path could not be
// opened; either may be null. A failure is named on the debugger output.
int PassThroughIn(const std::string& devicePath, const CommandBlock& cdb, void* buffer,
                  std::uint32_t length, std::uint32_t* transferred = nullptr,
                  PassThroughOutcome* outcome = nullptr);
// The same for the few replies whose length the device decides (INQUIRY, the firmware
// information): fewer bytes than asked for is a good answer, and the caller reads `transferred`.
int PassThroughInUpTo(const std::string& devicePath, const CommandBlock& cdb, void* buffer,
                      std::uint32_t length, std::uint32_t* transferred,
                      PassThroughOutcome* outcome = nullptr);
// Data from buffer to the device (buffer may be null when length is 0), same contract except
// that the moved length is left to the caller: every write is judged by reading it back.
int PassThroughOut(const std::string& devicePath, const CommandBlock& cdb, const void* buffer,
                   std::uint32_t length, std::uint32_t* transferred = nullptr,
                   PassThroughOutcome* outcome = nullptr);
// Time-out of a data-out block, by its bytes only.
std::uint32_t DataOutTimeout(const CommandBlock& cdb);

// 1 when the query succeeded with no error code pending, else 0.
int GetDeviceNumber(const std::string& path, StorageDeviceNumber& out);

}  // namespace q71x
