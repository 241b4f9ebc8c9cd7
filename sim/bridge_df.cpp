// The DF family: byte 11 is the command code; bytes 3-4 the transfer length, high byte first.
#include "sim/bridge_handlers.h"

namespace q71x::sim {
namespace {

inline constexpr std::uint8_t kDfReadChipMemory = 0xFD;
inline constexpr std::uint8_t kDfReadChipId = 0xFF;

}  // namespace

Reply HandleDfCommand(BridgeState& bridge, const Request& request, CommandContext& context) {
  (void)context;
  switch (request.Cdb[11]) {
    case kDfReadChipId:
      return HandleChipIdDf(bridge, request);
    case kDfReadChipMemory:
      return HandleReadChipMemory(bridge, request);
    // Extension point: FA read flash, FB write flash (erase marks, the DF2 erase flag), FE write
    // controller memory (the toggle byte at 506A) and EC IDENTIFY join here, each handled in a
    // file of its own (bridge_df_flash.cpp, bridge_df_memory.cpp, bridge_disk.cpp).
    default:
      return RejectedReply();
  }
}

}  // namespace q71x::sim
