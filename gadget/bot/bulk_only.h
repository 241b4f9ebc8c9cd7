// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The wrappers of the USB mass-storage Bulk-Only Transport: the 31-byte command block wrapper the
// host sends before each command and the 13-byte status wrapper the device answers with. All
// fields are little-endian on the wire.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace q71x::gadget {

inline constexpr std::size_t kCbwLength = 31;
inline constexpr std::size_t kCswLength = 13;
inline constexpr std::uint32_t kCbwSignature = 0x43425355;  // "USBC"
inline constexpr std::uint32_t kCswSignature = 0x53425355;  // "USBS"
inline constexpr std::uint8_t kCbwFlagDataIn = 0x80;

// Class requests on the control endpoint.
inline constexpr std::uint8_t kRequestTypeClassInterfaceOut = 0x21;
inline constexpr std::uint8_t kRequestTypeClassInterfaceIn = 0xA1;
inline constexpr std::uint8_t kRequestMassStorageReset = 0xFF;
inline constexpr std::uint8_t kRequestGetMaxLun = 0xFE;

struct CommandBlockWrapper {
  std::uint32_t Tag = 0;
  std::uint32_t DataTransferLength = 0;
  bool DataIn = false;
  std::uint8_t Lun = 0;
  std::uint8_t CdbLength = 0;
  std::array<std::uint8_t, 16> Cdb{};
};

enum class CswStatus : std::uint8_t { Passed = 0, Failed = 1, PhaseError = 2 };

// A wrapper is valid when it is exactly 31 bytes, carries the signature, and names a command
// block of 1 to 16 bytes; anything else is not a command at all and leaves the device waiting
// for a reset.
std::optional<CommandBlockWrapper> ParseCommandBlockWrapper(std::span<const std::uint8_t> bytes);

std::array<std::uint8_t, kCswLength> BuildCommandStatusWrapper(std::uint32_t tag,
                                                               std::uint32_t residue,
                                                               CswStatus status);

}  // namespace q71x::gadget
