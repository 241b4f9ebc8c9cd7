#include <algorithm>

#include "sim/bridge.h"
#include "sim/serial_flash.h"

namespace q71x::sim {

BridgeState::BridgeState() : ControllerMemory(kControllerMemorySize, 0) {}
BridgeState::BridgeState(BridgePersonality personality)
    : Personality(std::move(personality)), ControllerMemory(kControllerMemorySize, 0) {}
BridgeState::~BridgeState() = default;
BridgeState::BridgeState(BridgeState&&) noexcept = default;
BridgeState& BridgeState::operator=(BridgeState&&) noexcept = default;

void PowerOnBridge(BridgeState& bridge) {
  bridge.FlashAccess = FlashAccessSettings{};
  bridge.RawChannel = RawChannelState{};
  bridge.SessionOpen = false;
  bridge.ControllerMemory.assign(kControllerMemorySize, 0);
  for (const MemoryPatch& patch : bridge.Personality.PowerOnMemory) {
    const std::size_t room = kControllerMemorySize - patch.Address;
    std::copy_n(patch.Bytes.begin(), std::min(room, patch.Bytes.size()),
                bridge.ControllerMemory.begin() + patch.Address);
  }
  if (bridge.Flash) {
    bridge.Flash->PowerOn();
  }
  if (bridge.Parallel) {
    PowerOnParallelFlash(*bridge.Parallel);
  }
}

}  // namespace q71x::sim
