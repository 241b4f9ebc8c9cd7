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

// Data from the device into buffer (length bytes). 1 on success, 0 on failure. The buffer is
// overwritten even when the request fails (bytes the device did not send read as 0). The
// transferred length is written unless the path could not be opened; it may be null.
int PassThroughIn(const std::string& devicePath, const CommandBlock& cdb, void* buffer,
                  std::uint32_t length, std::uint32_t* transferred = nullptr);
// Data from buffer to the device (buffer may be null when length is 0), same contract.
int PassThroughOut(const std::string& devicePath, const CommandBlock& cdb, const void* buffer,
                   std::uint32_t length, std::uint32_t* transferred = nullptr);
// Time-out of a data-out block, by its bytes only.
std::uint32_t DataOutTimeout(const CommandBlock& cdb);

// 1 when the query succeeded with no error code pending, else 0.
int GetDeviceNumber(const std::string& path, StorageDeviceNumber& out);

}  // namespace q71x
