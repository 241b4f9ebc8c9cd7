// SPDX-License-Identifier: GPL-2.0-or-later
// The answers identification reads. Each comes from the personality's bytes, except the
// controller memory, which lives in the bridge and may have been written since power-on.
#include "sim/bridge_handlers.h"

namespace q71x::sim {
namespace {

inline constexpr std::uint8_t kSessionOpen = 0x55;
inline constexpr std::uint8_t kSessionClose = 0xAA;

Reply SendOptional(const std::optional<std::vector<std::uint8_t>>& reply, std::size_t commandLength,
                   const Request& request) {
  return reply ? SendReplyBytes(*reply, commandLength, request) : RejectedReply();
}

}  // namespace

Reply HandleInquiry(BridgeState& bridge, const Request& request) {
  return SendReplyBytes(bridge.Personality.InquiryReply, request.Cdb[4], request);
}

Reply HandleFwInfo(BridgeState& bridge, const Request& request) {
  const BridgePersonality& personality = bridge.Personality;
  if (request.Cdb[1] != 0xF4 || request.Cdb[2] != 0xE7 || !personality.FwInfoReply) {
    return RejectedReply();
  }
  // The command block names no length: the bridge fills what the host offers.
  Reply reply = SendReplyBytes(*personality.FwInfoReply, request.WireLength, request);
  if (reply.Ok && personality.FwInfoTransferred) {
    reply.Transferred = *personality.FwInfoTransferred;
  }
  return reply;
}

Reply HandleChipInfo(BridgeState& bridge, const Request& request) {
  return SendOptional(bridge.Personality.ChipInfoReply, request.Cdb[3], request);
}

Reply HandleConfigBlock(BridgeState& bridge, const Request& request) {
  return SendOptional(bridge.Personality.ConfigBlock, request.Cdb[3], request);
}

Reply HandleFlashVendor(BridgeState& bridge, const Request& request) {
  if (!bridge.Personality.FlashVendorByte) {
    return RejectedReply();
  }
  const std::uint8_t reply[4] = {*bridge.Personality.FlashVendorByte, 0, 0, 0};
  return SendReplyBytes(reply, request.Cdb[3], request);
}

Reply HandleSession(BridgeState& bridge, const Request& request) {
  if (request.Cdb[3] != 0x56 ||
      (request.Cdb[4] != kSessionOpen && request.Cdb[4] != kSessionClose)) {
    return RejectedReply();
  }
  bridge.SessionOpen = request.Cdb[4] == kSessionOpen;
  return CompletedReply(0);
}

Reply HandleChipIdDf(BridgeState& bridge, const Request& request) {
  if (!bridge.Personality.ChipIdReply) {
    return RejectedReply();
  }
  return SendReplyBytes(*bridge.Personality.ChipIdReply, ReadBigEndian(request.Cdb, 3, 2), request);
}

Reply HandleReadChipMemory(BridgeState& bridge, const Request& request) {
  if (!request.DataIn) {
    return RejectedReply();
  }
  const std::uint32_t length = ReadBigEndian(request.Cdb, 3, 2);
  const std::uint32_t address = ReadBigEndian(request.Cdb, 6, 2);
  const std::size_t count = std::min<std::size_t>(length, request.Data.size());
  // The 16-bit address space wraps, as the controller's own pointer does.
  for (std::size_t i = 0; i < count; ++i) {
    request.Data[i] = bridge.ControllerMemory[(address + i) % kControllerMemorySize];
  }
  return CompletedReply(static_cast<std::uint32_t>(count));
}

}  // namespace q71x::sim
