// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/toggle_bit_probe.h"

#include <cstdint>

#include "src/device/df_commands.h"
#include "src/device/identification.h"

namespace q71x {

int ToggleBitProbe(const std::string& devicePath) {
  std::uint8_t saved = 0;
  if (ReadChipMemory(devicePath, kToggleByteAddress, &saved, 1) == 0) {
    // The transport zero-fills a failed read: writing that "saved" value back would clear the
    // byte for good.
    return 0;
  }
  int result = 0;
  const std::uint8_t zero = 0;
  if (WriteChipMemory(devicePath, kToggleByteAddress, &zero, 1) == 1) {
    std::uint8_t again = 0;
    if (ReadChipMemory(devicePath, kToggleByteAddress, &again, 1) == 1 && again == 1) {
      saved ^= 0x01;
      result = 1;
    }
  }
  WriteChipMemory(devicePath, kToggleByteAddress, &saved, 1);
  return result;
}

}  // namespace q71x
