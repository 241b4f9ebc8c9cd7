// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Byte-order helpers for building command blocks and reading replies. The bridge protocol writes
// almost everything high byte first; the parallel-flash addresses are the exception, so both
// orders live here and every builder says which one it means.

#include <cstddef>
#include <cstdint>

#include "src/device/transport.h"

namespace q71x {

// Writes the low `width` bytes of value into cdb[position...], most significant first.
inline void PutBigEndian(CommandBlock& cdb, std::size_t position, std::uint64_t value,
                         std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    cdb[position + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
  }
}

// Writes the low `width` bytes of value into out[0...], least significant first.
inline void PutLittleEndian(std::uint8_t* out, std::uint64_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    out[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

inline std::uint32_t ReadBigEndian32(const std::uint8_t* bytes) {
  return (static_cast<std::uint32_t>(bytes[0]) << 24) |
         (static_cast<std::uint32_t>(bytes[1]) << 16) |
         (static_cast<std::uint32_t>(bytes[2]) << 8) | static_cast<std::uint32_t>(bytes[3]);
}

// A 12-byte block of the serial/parallel flash family: FF 04 and the operation.
inline CommandBlock Ff04Block(std::uint8_t operation) {
  CommandBlock cdb(12);
  cdb[0] = 0xFF;
  cdb[1] = 0x04;
  cdb[2] = operation;
  return cdb;
}

}  // namespace q71x
