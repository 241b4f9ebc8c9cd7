// SPDX-License-Identifier: GPL-2.0-or-later
// FF 04 00-05: the parallel NOR flash. The host hands the bridge JEDEC sequences as address and
// data bytes; the bridge plays them on the flash bus as written, so the part decides whether
// they mean anything.
#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <span>

#include "sim/bridge_handlers.h"

namespace q71x::sim {
namespace {

inline constexpr std::uint8_t kParallelBusy = 0x00;
inline constexpr std::uint8_t kParallelStart = 0x01;
inline constexpr std::uint8_t kParallelProgram = 0x02;
inline constexpr std::uint8_t kParallelRead = 0x03;
inline constexpr std::uint8_t kParallelLoadErase = 0x04;
inline constexpr std::uint8_t kParallelSwitchToRom = 0x05;

// Bytes 3-11 of the program command: three addresses low byte first, then three data bytes.
inline constexpr std::size_t kProgramSequenceFirst = 3;
inline constexpr std::size_t kProgramSequenceCycles = 3;
inline constexpr std::size_t kEraseSequenceCycles = 6;

// The bridge's own work per byte it moves on the parallel bus.
inline constexpr std::uint32_t kParallelCycleNs = 200;

std::uint16_t LowFirst16(std::span<const std::uint8_t> bytes, std::size_t first) {
  return static_cast<std::uint16_t>(bytes[first] | (bytes[first + 1] << 8));
}

// Plays `cycles` writes: `cycles` addresses (two bytes each, low first) followed by as many data
// bytes.
void PlaySequence(ParallelNorFlash& flash, std::span<const std::uint8_t> sequence,
                  std::size_t cycles, std::uint64_t nowUs) {
  for (std::size_t i = 0; i < cycles; ++i) {
    flash.WriteCycle(LowFirst16(sequence, 2 * i), sequence[2 * cycles + i], nowUs);
  }
}

void ChargeCycles(CommandContext& context, std::uint64_t cycles) {
  if (context.ChargeTransferTime) {
    context.Clock.AdvanceUs((cycles * kParallelCycleNs + 999) / 1000);
  }
}

bool WaitParallelIdle(ParallelFlashWiring& wiring, CommandContext& context) {
  if (wiring.StuckBusy) {
    return context.WaitUntil(std::numeric_limits<std::uint64_t>::max());
  }
  return context.WaitUntil(wiring.Flash.BusyUntilUs());
}

Reply ReportBusy(ParallelFlashWiring& wiring, const Request& request, CommandContext& context) {
  const bool busy = wiring.StuckBusy || wiring.Flash.IsBusy(context.Clock.NowUs());
  const std::uint8_t status[1] = {static_cast<std::uint8_t>(busy ? 0x01 : 0x00)};
  return SendReplyBytes(status, sizeof status, request);
}

Reply StartErase(ParallelFlashWiring& wiring, CommandContext& context) {
  if (!wiring.RunsFromRom || !wiring.EraseSequence) {
    return RejectedReply();
  }
  PlaySequence(wiring.Flash, *wiring.EraseSequence, kEraseSequenceCycles, context.Clock.NowUs());
  ChargeCycles(context, kEraseSequenceCycles);
  return CompletedReply(0);
}

// Every data byte is programmed at its offset from address 0 behind the sequence from the command
// block; the bridge polls the part between bytes, so the command ends when the last byte is in.
Reply ProgramBytes(ParallelFlashWiring& wiring, const Request& request, CommandContext& context) {
  if (request.DataIn || !wiring.RunsFromRom) {
    return RejectedReply();
  }
  const std::span<const std::uint8_t> sequence =
      std::span<const std::uint8_t>(request.Cdb).subspan(kProgramSequenceFirst);
  for (std::size_t offset = 0; offset < request.Data.size(); ++offset) {
    if (!WaitParallelIdle(wiring, context)) {
      return TimedOutReply();
    }
    const std::uint64_t now = context.Clock.NowUs();
    PlaySequence(wiring.Flash, sequence, kProgramSequenceCycles, now);
    wiring.Flash.WriteCycle(static_cast<std::uint32_t>(offset), request.Data[offset], now);
    ChargeCycles(context, kProgramSequenceCycles + 1);
  }
  if (!WaitParallelIdle(wiring, context)) {
    return TimedOutReply();
  }
  return CompletedReply(static_cast<std::uint32_t>(request.Data.size()));
}

// The read address is 32 bits, low byte first; the command block names no length, so the bridge
// fills what the host offers.
Reply ReadBytes(ParallelFlashWiring& wiring, const Request& request, CommandContext& context) {
  if (!request.DataIn) {
    return RejectedReply();
  }
  const auto& cdb = request.Cdb;
  const std::uint32_t address =
      static_cast<std::uint32_t>(cdb[3] | (cdb[4] << 8) | (cdb[5] << 16)) |
      (static_cast<std::uint32_t>(cdb[6]) << 24);
  const std::uint64_t now = context.Clock.NowUs();
  for (std::size_t i = 0; i < request.Data.size(); ++i) {
    request.Data[i] = wiring.Flash.ReadCycle(address + static_cast<std::uint32_t>(i), now);
  }
  ChargeCycles(context, request.Data.size());
  return CompletedReply(static_cast<std::uint32_t>(request.Data.size()));
}

Reply LoadEraseSequence(ParallelFlashWiring& wiring, const Request& request) {
  if (request.DataIn || request.Data.size() < kParallelEraseSequenceBytes) {
    return RejectedReply();
  }
  std::array<std::uint8_t, kParallelEraseSequenceBytes> sequence{};
  std::copy_n(request.Data.begin(), sequence.size(), sequence.begin());
  wiring.EraseSequence = sequence;
  return CompletedReply(kParallelEraseSequenceBytes);
}

Reply SwitchToRom(ParallelFlashWiring& wiring) {
  if (wiring.AlwaysRunsFromRom) {
    return RejectedReply();
  }
  wiring.RunsFromRom = true;
  return CompletedReply(0);
}

}  // namespace

Reply HandleParallelFlashCommand(BridgeState& bridge, const Request& request,
                                 CommandContext& context) {
  if (!bridge.Parallel) {
    return RejectedReply();
  }
  ParallelFlashWiring& wiring = *bridge.Parallel;
  switch (request.Cdb[2]) {
    case kParallelBusy:
      return ReportBusy(wiring, request, context);
    case kParallelStart:
      return StartErase(wiring, context);
    case kParallelProgram:
      return ProgramBytes(wiring, request, context);
    case kParallelRead:
      return ReadBytes(wiring, request, context);
    case kParallelLoadErase:
      return LoadEraseSequence(wiring, request);
    case kParallelSwitchToRom:
      return SwitchToRom(wiring);
    default:
      return RejectedReply();
  }
}

}  // namespace q71x::sim
