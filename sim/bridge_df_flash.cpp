// SPDX-License-Identifier: GPL-2.0-or-later
// DF .. FA and DF .. FB: flash blocks read and written by the bridge itself. A write's mode byte
// (byte 1) may ask for an erase first; the bridge then runs the erase cycles of its flash part,
// waits for them, and programs the block with the page size and program opcode the host set for
// the FF 04 family. Lengths are the command block's (bytes 3-4), addresses bytes 8-10.
#include <cstdint>

#include "sim/bridge_flash_bus.h"
#include "sim/bridge_handlers.h"
#include "sim/serial_flash.h"

namespace q71x::sim {
namespace {

inline constexpr std::uint8_t kOpWriteStatus = 0x01;
inline constexpr std::uint8_t kOpReadArray = 0x03;

std::uint32_t DfLength(const Request& request) {
  return ReadBigEndian(request.Cdb, 3, 2);
}
std::uint32_t DfFlashAddress(const Request& request) {
  return ReadBigEndian(request.Cdb, 8, 3);
}

bool ClearProtection(BridgeState& bridge, CommandContext& context) {
  static constexpr std::uint8_t kWriteStatusZero[] = {kOpWriteStatus, 0x00};
  WriteEnabledCycle(bridge, context, kWriteStatusZero);
  return WaitFlashIdleInBridge(bridge, context);
}

bool RunErase(BridgeState& bridge, CommandContext& context, const EraseRange& range) {
  if (range.UnitBytes == 0) {
    const std::uint8_t command[] = {range.Opcode};
    WriteEnabledCycle(bridge, context, command);
    return WaitFlashIdleInBridge(bridge, context);
  }
  for (std::uint32_t at = range.Start; at < range.Start + range.Length; at += range.UnitBytes) {
    const auto command = OpcodeWithAddress(range.Opcode, at);
    WriteEnabledCycle(bridge, context, command);
    if (!WaitFlashIdleInBridge(bridge, context)) {
      return false;
    }
  }
  return true;
}

}  // namespace

Reply HandleReadFlashDf(BridgeState& bridge, const Request& request, CommandContext& context) {
  if (!request.DataIn) {
    return RejectedReply();
  }
  if (!WaitFlashIdleInBridge(bridge, context)) {
    return TimedOutReply();
  }
  const std::uint32_t length = DfLength(request);
  const auto command = OpcodeWithAddress(kOpReadArray, DfFlashAddress(request));
  const std::vector<std::uint8_t> bytes = ClockFlash(bridge, context, command, length);
  return SendReplyBytes(bytes, length, request);
}

Reply HandleWriteFlashDf(BridgeState& bridge, const Request& request, CommandContext& context) {
  const std::uint32_t length = DfLength(request);
  if (request.DataIn || length > request.Data.size()) {
    return RejectedReply();
  }
  if (!WaitFlashIdleInBridge(bridge, context)) {
    return TimedOutReply();
  }
  const std::uint32_t address = DfFlashAddress(request);
  const DfWritePlan plan = DecodeDfWriteMode(bridge.Df.WriteDialect, request.Cdb[1]);
  if (plan.ClearProtection && !ClearProtection(bridge, context)) {
    return TimedOutReply();
  }
  if (bridge.Flash) {
    const std::optional<EraseRange> erase = PlanErase(bridge.Flash->Part(), plan.Scope, address);
    if (erase && !RunErase(bridge, context, *erase)) {
      return TimedOutReply();
    }
  }
  if (!ProgramFlashRange(bridge, context, address, request.Data.first(length))) {
    return TimedOutReply();
  }
  return CompletedReply(length);
}

}  // namespace q71x::sim
