// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The bridge controller behind one enclosure: its identification personality, its controller
// memory, the serial flash wired to it and the settings the host gave it. Command families are
// decoded in files of their own (bridge_identity.cpp, bridge_ff04.cpp, ...) and reached through
// ExecuteBridgeCommand in bridge_dispatch.cpp.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "sim/attached_disk.h"
#include "sim/df_bridge_options.h"
#include "sim/exchange.h"
#include "sim/parallel_flash_wiring.h"
#include "sim/personality.h"
#include "sim/virtual_clock.h"

namespace q71x::sim {

class SerialFlash;

inline constexpr std::size_t kControllerMemorySize = 65536;

// How the bridge drives its serial flash for the FF 04 block commands. Power-on values are the
// ROM defaults; SetFlashOpcodes, SetFlashPageSize and SetFlashOpcodesEx change them.
struct FlashAccessSettings {
  std::uint8_t ChipEraseOpcode = 0xC7;
  std::uint8_t SectorEraseOpcode = 0xD8;
  std::uint8_t ProgramOpcode = 0x02;
  std::uint8_t Vendor = 0;
  std::uint8_t ExtraOpcode = 0;  // fifth byte of SetFlashOpcodesEx, kept but not acted on
  std::uint32_t PageSize = 256;
};

// The raw flash channel: FF 04 20 with a data phase announced keeps the flash selected until
// FF 04 21 or FF 04 22 completes the transaction.
struct RawChannelState {
  bool Pending = false;
  std::vector<std::uint8_t> CommandBytes;
};

struct BridgeState {
  BridgeState();
  explicit BridgeState(BridgePersonality personality);
  ~BridgeState();
  BridgeState(BridgeState&&) noexcept;
  BridgeState& operator=(BridgeState&&) noexcept;

  BridgePersonality Personality;
  std::vector<std::uint8_t> ControllerMemory;  // kControllerMemorySize bytes
  std::unique_ptr<SerialFlash> Flash;          // null: nothing on the flash bus
  FlashAccessSettings FlashAccess;
  RawChannelState RawChannel;
  bool SessionOpen = false;
  // How this bridge reads DF flash-write modes and its toggle byte (bridge_df_flash.cpp,
  // bridge_df_memory.cpp).
  DfBridgeOptions Df;
  // Empty: no parallel flash on the board (bridge_parallel_flash.cpp).
  std::optional<ParallelFlashWiring> Parallel;
  // Empty: no drive attached (bridge_disk.cpp).
  std::optional<AttachedDisk> Disk;
};

// What a command handler may use besides the bridge: the clock, and the deadline its request's
// time-out sets. Work inside the bridge (flash waits, page programs) advances the clock.
struct CommandContext {
  VirtualClock& Clock;
  std::uint64_t DeadlineUs;
  // Whether moving bytes over the bridge's own flash bus costs time (off with the bus timing).
  bool ChargeTransferTime = true;

  // Moves the clock to `us`; false (clock at the deadline) when `us` lies beyond the time-out.
  bool WaitUntil(std::uint64_t us) {
    if (us > DeadlineUs) {
      Clock.AdvanceTo(DeadlineUs);
      return false;
    }
    Clock.AdvanceTo(us);
    return true;
  }
};

// The bridge boots from its ROM: settings, channel and memory return to power-on values; the
// flash keeps its contents but forgets write-enable, busy and mode state.
void PowerOnBridge(BridgeState& bridge);

// Carries out one command. Never throws; a command no family decodes is rejected.
Reply ExecuteBridgeCommand(BridgeState& bridge, const Request& request, CommandContext& context);

}  // namespace q71x::sim
