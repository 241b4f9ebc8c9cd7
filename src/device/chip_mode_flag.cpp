// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/chip_mode_flag.h"

#include <cstdint>

#include "src/device/identification.h"

namespace q71x {

int CheckChipModeFlag(const std::string& devicePath) {
  constexpr std::uint16_t kModeFlagAddress = 0x505E;
  std::uint8_t reply[4] = {};
  if (ReadChipMemory(devicePath, kModeFlagAddress, reply, sizeof reply) == 0) {
    return 0;
  }
  return reply[1] == 0x00 && reply[2] == 0x01 ? 1 : 0;
}

}  // namespace q71x
