// SPDX-License-Identifier: GPL-2.0-or-later
// The DF family: byte 11 is the command code; bytes 3-4 the transfer length, high byte first.
#include "sim/bridge_handlers.h"

namespace q71x::sim {
namespace {

inline constexpr std::uint8_t kDfReadChipMemory = 0xFD;
inline constexpr std::uint8_t kDfReadChipId = 0xFF;
inline constexpr std::uint8_t kDfReadFlash = 0xFA;
inline constexpr std::uint8_t kDfWriteFlash = 0xFB;
inline constexpr std::uint8_t kDfWriteChipMemory = 0xFE;
inline constexpr std::uint8_t kDfIdentifyDevice = 0xEC;

}  // namespace

Reply HandleDfCommand(BridgeState& bridge, const Request& request, CommandContext& context) {
  switch (request.Cdb[11]) {
    case kDfReadChipId:
      return HandleChipIdDf(bridge, request);
    case kDfReadChipMemory:
      return HandleReadChipMemory(bridge, request);
    case kDfReadFlash:
      return HandleReadFlashDf(bridge, request, context);
    case kDfWriteFlash:
      return HandleWriteFlashDf(bridge, request, context);
    case kDfWriteChipMemory:
      return HandleWriteChipMemory(bridge, request);
    case kDfIdentifyDevice:
      return HandleIdentifyDevice(bridge, request);
    default:
      return RejectedReply();
  }
}

}  // namespace q71x::sim
