// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The DF command family's flash blocks, as the simulator's log and fault injector match them: the
// kind (FA read, FB write) sits in byte 11 of the block.

#include <cstdint>

#include "sim/fault_injector.h"

namespace q71x::testing {

inline constexpr std::uint8_t kDfFlashRead = 0xFA;
inline constexpr std::uint8_t kDfFlashWrite = 0xFB;

inline sim::CdbPattern DfPattern(std::uint8_t code) {
  return sim::CdbPattern::Prefix({0xDF}).With(11, code);
}

}  // namespace q71x::testing
