// SPDX-License-Identifier: GPL-2.0-or-later
// The FF 04 family: byte 2 selects the operation. The serial-flash block commands are carried
// out here with the opcodes and page size the host set; the raw channel and the identification
// answers live in files of their own.
#include <algorithm>

#include "sim/bridge_flash_bus.h"
#include "sim/bridge_handlers.h"
#include "sim/serial_flash.h"

namespace q71x::sim {
namespace {

inline constexpr std::uint8_t kFf04ParallelBusy = 0x00;
inline constexpr std::uint8_t kFf04ParallelStart = 0x01;
inline constexpr std::uint8_t kFf04ParallelProgram = 0x02;
inline constexpr std::uint8_t kFf04ParallelRead = 0x03;
inline constexpr std::uint8_t kFf04ParallelLoadErase = 0x04;
inline constexpr std::uint8_t kFf04ParallelSwitchToRom = 0x05;
inline constexpr std::uint8_t kFf04ReadBlock = 0x10;
inline constexpr std::uint8_t kFf04WriteBlock = 0x11;
inline constexpr std::uint8_t kFf04ReadStatus = 0x12;
inline constexpr std::uint8_t kFf04EraseChip = 0x13;
inline constexpr std::uint8_t kFf04EraseSector = 0x14;
inline constexpr std::uint8_t kFf04LegacyId = 0x15;
inline constexpr std::uint8_t kFf04RawCommand = 0x20;
inline constexpr std::uint8_t kFf04RawRead = 0x21;
inline constexpr std::uint8_t kFf04RawWrite = 0x22;
inline constexpr std::uint8_t kFf04FlashVendor = 0x23;
inline constexpr std::uint8_t kFf04SetOpcodes = 0x24;
inline constexpr std::uint8_t kFf04PageSizeOrPrepare = 0x25;
inline constexpr std::uint8_t kFf04SetOpcodesEx = 0x0F;
inline constexpr std::uint8_t kFf04ChipInfo = 0x30;
inline constexpr std::uint8_t kFf04Session = 0x51;
inline constexpr std::uint8_t kFf04ConfigBlock = 0xA0;

inline constexpr std::uint8_t kOpRead = 0x03;
inline constexpr std::uint8_t kOpReadStatus = 0x05;
inline constexpr std::uint8_t kOpWriteDisable = 0x04;
inline constexpr std::uint8_t kOpAaiWord = 0xAD;
inline constexpr std::uint8_t kOpAaiByte = 0xAF;

// Replies of the setting commands carry nothing the host reads.
inline constexpr std::uint8_t kAcknowledge[2] = {0x00, 0x00};

std::uint32_t FlashAddress(const Request& request) {
  return ReadBigEndian(request.Cdb, 3, 3);
}

Reply ReadBlock(BridgeState& bridge, const Request& request, CommandContext& context) {
  if (!request.DataIn) {
    return RejectedReply();
  }
  if (!WaitFlashIdleInBridge(bridge, context)) {
    return TimedOutReply();
  }
  LeaveAutoIncrement(bridge, context);
  const auto command = OpcodeWithAddress(kOpRead, FlashAddress(request));
  const std::vector<std::uint8_t> bytes = ClockFlash(bridge, context, command, request.Data.size());
  return SendReplyBytes(bytes, bytes.size(), request);
}

// Auto-address-increment programming, one byte or one word per cycle, ended by WRITE DISABLE.
bool ProgramAai(BridgeState& bridge, CommandContext& context, std::uint8_t opcode,
                std::uint32_t address, std::span<const std::uint8_t> data) {
  const std::size_t unit = opcode == kOpAaiWord ? 2 : 1;
  for (std::size_t offset = 0; offset < data.size(); offset += unit) {
    std::vector<std::uint8_t> command;
    if (offset == 0) {
      const auto head = OpcodeWithAddress(opcode, address);
      command.assign(head.begin(), head.end());
    } else {
      command.push_back(opcode);
    }
    for (std::size_t i = 0; i < unit; ++i) {
      command.push_back(offset + i < data.size() ? data[offset + i] : 0xFF);
    }
    if (offset == 0) {
      WriteEnabledCycle(bridge, context, command);
    } else {
      ClockFlash(bridge, context, command);
    }
    if (!WaitFlashIdleInBridge(bridge, context)) {
      return false;
    }
  }
  static constexpr std::uint8_t kWriteDisable[] = {kOpWriteDisable};
  ClockFlash(bridge, context, kWriteDisable);
  return true;
}

// Page programs split at page boundaries, each waited for before the next.
bool ProgramPages(BridgeState& bridge, CommandContext& context, std::uint32_t address,
                  std::span<const std::uint8_t> data) {
  const std::uint32_t page = bridge.FlashAccess.PageSize == 0 ? 256 : bridge.FlashAccess.PageSize;
  std::size_t offset = 0;
  while (offset < data.size()) {
    const std::uint32_t at = address + static_cast<std::uint32_t>(offset);
    const std::size_t chunk = std::min<std::size_t>(data.size() - offset, page - at % page);
    const auto head = OpcodeWithAddress(bridge.FlashAccess.ProgramOpcode, at);
    std::vector<std::uint8_t> command(head.begin(), head.end());
    command.insert(command.end(), data.begin() + static_cast<std::ptrdiff_t>(offset),
                   data.begin() + static_cast<std::ptrdiff_t>(offset + chunk));
    WriteEnabledCycle(bridge, context, command);
    if (!WaitFlashIdleInBridge(bridge, context)) {
      return false;
    }
    offset += chunk;
  }
  return true;
}

Reply WriteBlock(BridgeState& bridge, const Request& request, CommandContext& context) {
  if (request.DataIn) {
    return RejectedReply();
  }
  if (!WaitFlashIdleInBridge(bridge, context)) {
    return TimedOutReply();
  }
  LeaveAutoIncrement(bridge, context);
  const bool done = ProgramFlashRange(bridge, context, FlashAddress(request), request.Data);
  return done ? CompletedReply(static_cast<std::uint32_t>(request.Data.size())) : TimedOutReply();
}

Reply ReadStatus(BridgeState& bridge, const Request& request, CommandContext& context) {
  static constexpr std::uint8_t kReadStatus[] = {kOpReadStatus};
  const std::vector<std::uint8_t> status = ClockFlash(bridge, context, kReadStatus, 1);
  return SendReplyBytes(status, 1, request);
}

// Erases are started and left running: the flash reports busy until its erase time has passed.
Reply Erase(BridgeState& bridge, const Request& request, CommandContext& context, bool wholeChip) {
  if (request.DataIn) {
    return RejectedReply();
  }
  if (!WaitFlashIdleInBridge(bridge, context)) {
    return TimedOutReply();
  }
  LeaveAutoIncrement(bridge, context);
  if (wholeChip) {
    const std::uint8_t command[] = {bridge.FlashAccess.ChipEraseOpcode};
    WriteEnabledCycle(bridge, context, command);
  } else {
    const auto command =
        OpcodeWithAddress(bridge.FlashAccess.SectorEraseOpcode, FlashAddress(request));
    WriteEnabledCycle(bridge, context, command);
  }
  return CompletedReply(0);
}

Reply SetOpcodes(BridgeState& bridge, const Request& request) {
  const auto& cdb = request.Cdb;
  if (cdb[3] != 0x02 || cdb[8] != 0x01) {
    return RejectedReply();
  }
  bridge.FlashAccess.ChipEraseOpcode = cdb[4];
  bridge.FlashAccess.SectorEraseOpcode = cdb[5];
  bridge.FlashAccess.ProgramOpcode = cdb[6];
  bridge.FlashAccess.Vendor = cdb[7];
  return SendReplyBytes(kAcknowledge, sizeof(kAcknowledge), request);
}

// FF 04 25 02 NN sets the page size (NN x 4 bytes); FF 04 25 alone prepares a flash write,
// which this bridge acknowledges without further effect.
Reply SetPageSizeOrPrepare(BridgeState& bridge, const Request& request) {
  const auto& cdb = request.Cdb;
  if (cdb[3] == 0x00) {
    return request.Data.empty() ? CompletedReply(0) : RejectedReply();
  }
  if (cdb[3] != 0x02 || cdb[4] == 0) {
    return RejectedReply();
  }
  bridge.FlashAccess.PageSize = cdb[4] * 4u;
  return SendReplyBytes(kAcknowledge, sizeof(kAcknowledge), request);
}

Reply SetOpcodesEx(BridgeState& bridge, const Request& request) {
  const auto& cdb = request.Cdb;
  if (request.DataIn || cdb[7] == 0) {
    return RejectedReply();
  }
  bridge.FlashAccess.ChipEraseOpcode = cdb[3];
  bridge.FlashAccess.SectorEraseOpcode = cdb[4];
  bridge.FlashAccess.ProgramOpcode = cdb[5];
  bridge.FlashAccess.ExtraOpcode = cdb[6];
  bridge.FlashAccess.PageSize = cdb[7] * 4u;
  return CompletedReply(0);
}

}  // namespace

std::array<std::uint8_t, 4> OpcodeWithAddress(std::uint8_t opcode, std::uint32_t address) {
  return {opcode, static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
          static_cast<std::uint8_t>(address)};
}

bool ProgramFlashRange(BridgeState& bridge, CommandContext& context, std::uint32_t address,
                       std::span<const std::uint8_t> data) {
  const std::uint8_t opcode = bridge.FlashAccess.ProgramOpcode;
  return opcode == kOpAaiByte || opcode == kOpAaiWord
             ? ProgramAai(bridge, context, opcode, address, data)
             : ProgramPages(bridge, context, address, data);
}

Reply HandleFf04Command(BridgeState& bridge, const Request& request, CommandContext& context) {
  switch (request.Cdb[2]) {
    case kFf04ReadBlock:
      return ReadBlock(bridge, request, context);
    case kFf04WriteBlock:
      return WriteBlock(bridge, request, context);
    case kFf04ReadStatus:
      return ReadStatus(bridge, request, context);
    case kFf04EraseChip:
      return Erase(bridge, request, context, true);
    case kFf04EraseSector:
      return Erase(bridge, request, context, false);
    case kFf04LegacyId:
      return HandleLegacyFlashId(bridge, request, context);
    case kFf04RawCommand:
      return HandleRawCommand(bridge, request, context);
    case kFf04RawRead:
      return HandleRawRead(bridge, request, context);
    case kFf04RawWrite:
      return HandleRawWrite(bridge, request, context);
    case kFf04FlashVendor:
      return HandleFlashVendor(bridge, request);
    case kFf04SetOpcodes:
      return SetOpcodes(bridge, request);
    case kFf04PageSizeOrPrepare:
      return SetPageSizeOrPrepare(bridge, request);
    case kFf04SetOpcodesEx:
      return SetOpcodesEx(bridge, request);
    case kFf04ChipInfo:
      return HandleChipInfo(bridge, request);
    case kFf04ConfigBlock:
      return HandleConfigBlock(bridge, request);
    case kFf04Session:
      return HandleSession(bridge, request);
    case kFf04ParallelBusy:
    case kFf04ParallelStart:
    case kFf04ParallelProgram:
    case kFf04ParallelRead:
    case kFf04ParallelLoadErase:
    case kFf04ParallelSwitchToRom:
      return HandleParallelFlashCommand(bridge, request, context);
    default:
      return RejectedReply();
  }
}

}  // namespace q71x::sim
