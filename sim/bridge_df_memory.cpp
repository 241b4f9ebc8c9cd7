// SPDX-License-Identifier: GPL-2.0-or-later
// DF .. FE: write controller memory. The length is the command block's (bytes 3-4), not the
// wire's: the transport pads a 1-byte write to 2 bytes, and only the named byte changes.
#include <cstdint>

#include "sim/bridge_handlers.h"

namespace q71x::sim {

Reply HandleWriteChipMemory(BridgeState& bridge, const Request& request) {
  if (request.DataIn) {
    return RejectedReply();
  }
  const std::uint32_t length = ReadBigEndian(request.Cdb, 3, 2);
  const std::uint32_t address = ReadBigEndian(request.Cdb, 6, 2);
  if (length > request.Data.size()) {
    return RejectedReply();
  }
  for (std::uint32_t i = 0; i < length; ++i) {
    const std::size_t cell = (address + i) % kControllerMemorySize;
    std::uint8_t value = request.Data[i];
    if (cell == kToggleByteAddress && bridge.Df.ToggleByteRefusesClear) {
      value |= 0x01;
    }
    bridge.ControllerMemory[cell] = value;
  }
  return CompletedReply(length);
}

}  // namespace q71x::sim
