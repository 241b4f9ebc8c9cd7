// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A byte pattern over a command block: byte i matches when (cdb[i] & Mask[i]) == Bytes[i].
// Shared by fault rules and command-log filters.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>

namespace q71x::sim {

struct CdbPattern {
  std::array<std::uint8_t, 16> Bytes{};
  std::array<std::uint8_t, 16> Mask{};  // all zero: matches every command

  // The leading bytes must equal `prefix`; the rest is free.
  static CdbPattern Prefix(std::initializer_list<std::uint8_t> prefix) {
    CdbPattern pattern;
    std::size_t i = 0;
    for (std::uint8_t byte : prefix) {
      if (i >= pattern.Bytes.size()) {
        break;
      }
      pattern.Bytes[i] = byte;
      pattern.Mask[i] = 0xFF;
      ++i;
    }
    return pattern;
  }
  // Also require byte `index` to equal `value` (e.g. the DF family's command code in byte 11).
  CdbPattern& With(std::size_t index, std::uint8_t value, std::uint8_t mask = 0xFF) {
    Bytes[index] = value & mask;
    Mask[index] = mask;
    return *this;
  }

  bool Matches(std::span<const std::uint8_t> cdb) const {
    for (std::size_t i = 0; i < Bytes.size(); ++i) {
      const std::uint8_t byte = i < cdb.size() ? cdb[i] : 0;
      if ((byte & Mask[i]) != (Bytes[i] & Mask[i])) {
        return false;
      }
    }
    return true;
  }
};

}  // namespace q71x::sim
