// SPDX-License-Identifier: GPL-2.0-or-later
#include <algorithm>

#include "sim/bridge.h"
#include "sim/serial_flash.h"

namespace q71x::sim {
namespace {

constexpr std::uint8_t kSstVendorByte = 2;

}  // namespace

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
    if (bridge.Personality.UnprotectsFlashAtBoot) {
      static constexpr std::uint8_t kWriteEnable[] = {0x06};
      static constexpr std::uint8_t kEnableWriteStatus[] = {0x50};
      static constexpr std::uint8_t kWriteStatusZero[] = {0x01, 0x00};
      // Boot happens before the host's first command; the status write's busy time has long
      // passed by then.
      bridge.Flash->Transact(kWriteEnable, 0);
      bridge.Flash->Transact(kEnableWriteStatus, 0);
      bridge.Flash->Transact(kWriteStatusZero, 0);
    }
    // A ROM that knows its flash as SST (the vendor it reports to FF 04 23) programs it by
    // auto-address-increment, since SST parts have no multi-byte page program: word mode where
    // the part answers the JEDEC id BF 25, byte mode otherwise. The host's SetFlashOpcodes
    // still overrides this.
    if (bridge.Personality.FlashVendorByte == kSstVendorByte) {
      static constexpr std::uint8_t kJedecId[] = {0x9F, 0x00, 0x00, 0x00};
      const std::vector<std::uint8_t> id = bridge.Flash->Transact(kJedecId, 0);
      const bool wordMode = id.size() >= 3 && id[1] == 0xBF && id[2] == 0x25;
      bridge.FlashAccess.ProgramOpcode = wordMode ? 0xAD : 0xAF;
    }
  }
  if (bridge.Parallel) {
    PowerOnParallelFlash(*bridge.Parallel);
  }
}

}  // namespace q71x::sim
