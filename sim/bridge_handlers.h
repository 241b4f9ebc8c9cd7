// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The command handlers of each family, for the dispatcher. Each family lives in its own file;
// a new family (the DF flash and memory writes, the parallel flash, the attached disk) adds its
// handler here and one case in bridge_dispatch.cpp or in its family's switch.

#include <cstdint>
#include <span>

#include "sim/bridge.h"
#include "sim/exchange.h"

namespace q71x::sim {

inline constexpr std::uint8_t kOpInquiry = 0x12;
inline constexpr std::uint8_t kOpFwInfo = 0xE0;
inline constexpr std::uint8_t kOpVendorFf = 0xFF;
inline constexpr std::uint8_t kFf04Family = 0x04;
inline constexpr std::uint8_t kOpVendorDf = 0xDF;

// Copies up to `commandLength` bytes of `reply` into a data-in request's area (never more than
// the area holds) and reports how many moved. Data-out requests are rejected: the bridge would
// stall the pipe.
Reply SendReplyBytes(std::span<const std::uint8_t> reply, std::size_t commandLength,
                     const Request& request);

// bridge_identity.cpp: INQUIRY, firmware information (E0 F4 E7), FF 04 30 chip info, FF 04 A0
// configuration block, FF 04 23 flash vendor, FF 04 51 session, DF .. FF chip id, DF .. FD
// controller-memory read.
Reply HandleInquiry(BridgeState& bridge, const Request& request);
Reply HandleFwInfo(BridgeState& bridge, const Request& request);
Reply HandleChipInfo(BridgeState& bridge, const Request& request);
Reply HandleConfigBlock(BridgeState& bridge, const Request& request);
Reply HandleFlashVendor(BridgeState& bridge, const Request& request);
Reply HandleSession(BridgeState& bridge, const Request& request);
Reply HandleChipIdDf(BridgeState& bridge, const Request& request);
Reply HandleReadChipMemory(BridgeState& bridge, const Request& request);

// bridge_ff04.cpp: the FF 04 family switch and the serial-flash block commands.
Reply HandleFf04Command(BridgeState& bridge, const Request& request, CommandContext& context);

// bridge_raw_channel.cpp: FF 04 20/21/22 and the legacy id FF 04 15.
Reply HandleRawCommand(BridgeState& bridge, const Request& request, CommandContext& context);
Reply HandleRawRead(BridgeState& bridge, const Request& request, CommandContext& context);
Reply HandleRawWrite(BridgeState& bridge, const Request& request, CommandContext& context);
Reply HandleLegacyFlashId(BridgeState& bridge, const Request& request, CommandContext& context);
// A transaction left open ends when any other command arrives: the flash is deselected and acts
// on what it was sent.
void ReleaseRawChannel(BridgeState& bridge, CommandContext& context);

// bridge_df.cpp: the DF family switch on byte 11.
Reply HandleDfCommand(BridgeState& bridge, const Request& request, CommandContext& context);

// bridge_df_flash.cpp: DF .. FA read flash and DF .. FB write flash with its erase marks.
Reply HandleReadFlashDf(BridgeState& bridge, const Request& request, CommandContext& context);
Reply HandleWriteFlashDf(BridgeState& bridge, const Request& request, CommandContext& context);
// bridge_df_memory.cpp: DF .. FE write controller memory.
Reply HandleWriteChipMemory(BridgeState& bridge, const Request& request);

// bridge_parallel_flash.cpp: FF 04 00-05, the parallel NOR flash.
Reply HandleParallelFlashCommand(BridgeState& bridge, const Request& request,
                                 CommandContext& context);

// bridge_disk.cpp: READ CAPACITY(10), READ/WRITE(10) and (16), and DF .. EC IDENTIFY DEVICE.
bool IsDiskCommand(std::uint8_t opcode);
Reply HandleDiskCommand(BridgeState& bridge, const Request& request, CommandContext& context);
Reply HandleIdentifyDevice(BridgeState& bridge, const Request& request);

}  // namespace q71x::sim
