// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/bridge_flash_bus.h"

#include <limits>

#include "sim/serial_flash.h"

namespace q71x::sim {

std::vector<std::uint8_t> ClockFlash(BridgeState& bridge, CommandContext& context,
                                     std::span<const std::uint8_t> command,
                                     std::size_t readLength) {
  std::vector<std::uint8_t> reply(readLength, 0xFF);
  if (bridge.Flash) {
    reply = ClockIn(*bridge.Flash, command, readLength, context.Clock.NowUs());
  }
  if (context.ChargeTransferTime) {
    const std::uint64_t bytes = command.size() + readLength;
    context.Clock.AdvanceUs((bytes * kFlashBusNsPerByte + 999) / 1000);
  }
  return reply;
}

bool WaitFlashIdleInBridge(BridgeState& bridge, CommandContext& context) {
  if (!bridge.Flash) {
    return true;
  }
  if (bridge.Flash->StuckBusy()) {
    return context.WaitUntil(std::numeric_limits<std::uint64_t>::max());
  }
  return context.WaitUntil(bridge.Flash->BusyUntilUs());
}

void LeaveAutoIncrement(BridgeState& bridge, CommandContext& context) {
  if (bridge.Flash && bridge.Flash->InAaiMode()) {
    static constexpr std::uint8_t kWriteDisable[] = {0x04};
    ClockFlash(bridge, context, kWriteDisable);
  }
}

void WriteEnabledCycle(BridgeState& bridge, CommandContext& context,
                       std::span<const std::uint8_t> command) {
  static constexpr std::uint8_t kWriteEnable[] = {0x06};
  ClockFlash(bridge, context, kWriteEnable);
  ClockFlash(bridge, context, command);
}

}  // namespace q71x::sim
