// SPDX-License-Identifier: GPL-2.0-or-later
// The raw flash channel. FF 04 20 carries a descriptor: byte 3 the number of command bytes
// (1 to 7), byte 4 whether a data phase follows, bytes 5 on the command bytes. With a data phase
// the flash stays selected until FF 04 21 reads or FF 04 22 writes the data.
#include "sim/bridge_flash_bus.h"
#include "sim/bridge_handlers.h"

namespace q71x::sim {
namespace {

inline constexpr std::size_t kMaxRawCommandBytes = 7;
inline constexpr std::size_t kFirstRawCommandByte = 5;

}  // namespace

void ReleaseRawChannel(BridgeState& bridge, CommandContext& context) {
  if (!bridge.RawChannel.Pending) {
    return;
  }
  const std::vector<std::uint8_t> command = std::move(bridge.RawChannel.CommandBytes);
  bridge.RawChannel = RawChannelState{};
  ClockFlash(bridge, context, command);
}

Reply HandleRawCommand(BridgeState& bridge, const Request& request, CommandContext& context) {
  const auto& cdb = request.Cdb;
  const std::size_t count = cdb[3];
  if (!bridge.Personality.AnswersRawFlashChannel || count == 0 || count > kMaxRawCommandBytes ||
      cdb[4] > 1) {
    return RejectedReply();
  }
  std::vector<std::uint8_t> command(cdb.begin() + kFirstRawCommandByte,
                                    cdb.begin() + kFirstRawCommandByte + count);
  if (cdb[4] == 1) {
    bridge.RawChannel.Pending = true;
    bridge.RawChannel.CommandBytes = std::move(command);
  } else {
    ClockFlash(bridge, context, command);
  }
  return CompletedReply(0);
}

Reply HandleRawRead(BridgeState& bridge, const Request& request, CommandContext& context) {
  if (!bridge.RawChannel.Pending || !request.DataIn) {
    return RejectedReply();
  }
  const std::vector<std::uint8_t> command = std::move(bridge.RawChannel.CommandBytes);
  bridge.RawChannel = RawChannelState{};
  // No length in the block: the host's transfer length says how long the flash is clocked.
  const std::vector<std::uint8_t> bytes = ClockFlash(bridge, context, command, request.Data.size());
  return SendReplyBytes(bytes, bytes.size(), request);
}

Reply HandleRawWrite(BridgeState& bridge, const Request& request, CommandContext& context) {
  if (!bridge.RawChannel.Pending || request.DataIn) {
    return RejectedReply();
  }
  std::vector<std::uint8_t> cycle = std::move(bridge.RawChannel.CommandBytes);
  bridge.RawChannel = RawChannelState{};
  cycle.insert(cycle.end(), request.Data.begin(), request.Data.end());
  ClockFlash(bridge, context, cycle);
  return CompletedReply(static_cast<std::uint32_t>(request.Data.size()));
}

// FF 04 15 NN OP DD: opcode OP, then DD dummy bytes, then NN id bytes read back.
Reply HandleLegacyFlashId(BridgeState& bridge, const Request& request, CommandContext& context) {
  const auto& cdb = request.Cdb;
  if (!bridge.Personality.AnswersRawFlashChannel || !request.DataIn) {
    return RejectedReply();
  }
  std::vector<std::uint8_t> command(1 + cdb[5], 0x00);
  command[0] = cdb[4];
  const std::vector<std::uint8_t> bytes = ClockFlash(bridge, context, command, cdb[3]);
  return SendReplyBytes(bytes, bytes.size(), request);
}

}  // namespace q71x::sim
