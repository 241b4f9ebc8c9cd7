// SPDX-License-Identifier: GPL-2.0-or-later
#include <algorithm>

#include "sim/bridge_handlers.h"

namespace q71x::sim {

Reply SendReplyBytes(std::span<const std::uint8_t> reply, std::size_t commandLength,
                     const Request& request) {
  if (!request.DataIn) {
    return RejectedReply();
  }
  const std::size_t count = std::min({reply.size(), commandLength, request.Data.size()});
  std::copy_n(reply.begin(), count, request.Data.begin());
  return CompletedReply(static_cast<std::uint32_t>(count));
}

Reply ExecuteBridgeCommand(BridgeState& bridge, const Request& request, CommandContext& context) {
  const auto& cdb = request.Cdb;
  const bool continuesRawTransaction =
      cdb[0] == kOpVendorFf && cdb[1] == kFf04Family && (cdb[2] == 0x21 || cdb[2] == 0x22);
  if (bridge.RawChannel.Pending && !continuesRawTransaction) {
    ReleaseRawChannel(bridge, context);
  }
  if (cdb[0] == kOpInquiry) {
    return HandleInquiry(bridge, request);
  }
  // An ordinary disk answers the disk commands too.
  if (IsDiskCommand(cdb[0])) {
    return HandleDiskCommand(bridge, request, context);
  }
  if (!bridge.Personality.AnswersVendorCommands) {
    return RejectedReply();
  }
  switch (cdb[0]) {
    case kOpFwInfo:
      return HandleFwInfo(bridge, request);
    case kOpVendorFf:
      if (cdb[1] == kFf04Family) {
        return HandleFf04Command(bridge, request, context);
      }
      break;
    case kOpVendorDf:
      return HandleDfCommand(bridge, request, context);
    default:
      break;
  }
  return RejectedReply();
}

}  // namespace q71x::sim
