// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What a bridge answers to the identification commands, as raw reply bytes. A personality is
// plain data: the command handlers copy these bytes out, so a test can build any bridge, real or
// odd, by editing bytes. An absent reply means the bridge rejects that command.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace q71x::sim {

// Bytes placed in controller memory when the bridge powers on (mode flag, revision byte,
// disk-firmware signature and whatever else a personality needs).
struct MemoryPatch {
  std::uint16_t Address = 0;
  std::vector<std::uint8_t> Bytes;
};

struct BridgePersonality {
  std::string Label;
  // False for an ordinary USB disk: INQUIRY is answered, every vendor command is rejected.
  bool AnswersVendorCommands = true;
  // INQUIRY reply (at least 40 bytes): 8-31 vendor and product text, 36-39 the chip code.
  std::vector<std::uint8_t> InquiryReply;
  // Reply to E0 F4 E7 (12 or 16 bytes) and the transferred length the bridge reports for it;
  // without a length the bridge reports what it copied.
  std::optional<std::vector<std::uint8_t>> FwInfoReply;
  std::optional<std::uint32_t> FwInfoTransferred;
  // Reply to FF 04 30 (chip-info code in bytes 0-4, revision byte in 5).
  std::optional<std::vector<std::uint8_t>> ChipInfoReply;
  // Reply to DF 10 .. FF: the chip-id bits live in bits 5-6 of byte 0.
  std::optional<std::array<std::uint8_t, 2>> ChipIdReply;
  // Reply to FF 04 A0 (18 bytes: byte 8 configuration level, 16 disk firmware, 17 area shift).
  std::optional<std::vector<std::uint8_t>> ConfigBlock;
  // Byte 0 of the reply to FF 04 23: the flash vendor as the bridge's ROM knows it.
  std::optional<std::uint8_t> FlashVendorByte;
  // Controller memory at power-on.
  std::vector<MemoryPatch> PowerOnMemory;
  // Whether the raw flash channel FF 04 20/21/22 and the legacy id FF 04 15 are served.
  bool AnswersRawFlashChannel = true;
  // Whether the bridge's ROM clears the flash's block-protect bits when it boots (WREN, EWSR,
  // WRITE STATUS 00). Parts that power on protected, such as the SST ones, can only be erased
  // through the block commands on a bridge that does this.
  bool UnprotectsFlashAtBoot = false;
};

}  // namespace q71x::sim
