// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One pass-through exchange as the simulated hardware sees it: the command block, the direction,
// the transfer length on the wire, the time-out, the data area; and what comes back. A bridge
// acts on the lengths its command block names, never on the wire length alone: the transport
// sends 2 bytes for a 1-byte transfer.

#include <array>
#include <cstdint>
#include <span>

namespace q71x::sim {

struct Request {
  std::array<std::uint8_t, 16> Cdb{};
  std::uint8_t CdbLength = 12;
  bool DataIn = false;
  std::uint32_t WireLength = 0;
  std::uint32_t TimeoutSeconds = 0;
  // The data area, WireLength bytes; empty when no data phase. Data-in commands write into it,
  // data-out commands read from it.
  std::span<std::uint8_t> Data;
};

// Fixed-format sense data, as a drive returns it with a check condition.
inline constexpr std::size_t kSenseDataLength = 18;

struct Reply {
  bool Ok = true;
  std::uint32_t ErrorCode = 0;
  std::uint32_t Transferred = 0;
  std::uint8_t ScsiStatus = 0;
  std::array<std::uint8_t, kSenseDataLength> Sense{};
  std::uint8_t SenseLength = 0;  // 0: no sense data came back
};

// Error codes as the Windows storage stack reports them, so code above the platform sees what it
// would see with real hardware.
inline constexpr std::uint32_t kErrorInvalidFunction = 1;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorSemTimeout = 121;
inline constexpr std::uint32_t kErrorIoDevice = 1117;
inline constexpr std::uint32_t kErrorDeviceNotConnected = 1167;

inline constexpr std::uint8_t kScsiStatusGood = 0x00;
inline constexpr std::uint8_t kScsiStatusCheckCondition = 0x02;

// A command the bridge does not accept: the request fails as a stalled command does on the bus.
inline Reply RejectedReply() {
  return Reply{false, kErrorIoDevice, 0, kScsiStatusCheckCondition};
}
inline Reply CompletedReply(std::uint32_t transferred) {
  return Reply{true, 0, transferred, kScsiStatusGood};
}
// A command the device itself refused with a reason: the request completes (no error code), and
// the status byte and the sense tell the host why nothing was done. Fixed format, current error.
inline Reply CheckConditionReply(std::uint8_t senseKey, std::uint8_t asc, std::uint8_t ascq) {
  Reply reply{true, 0, 0, kScsiStatusCheckCondition};
  reply.Sense[0] = 0x70;
  reply.Sense[2] = senseKey;
  reply.Sense[7] = kSenseDataLength - 8;  // additional sense length
  reply.Sense[12] = asc;
  reply.Sense[13] = ascq;
  reply.SenseLength = kSenseDataLength;
  return reply;
}
inline constexpr std::uint8_t kSenseKeyIllegalRequest = 0x05;
inline constexpr std::uint8_t kAscLbaOutOfRange = 0x21;

inline Reply TimedOutReply() {
  return Reply{false, kErrorSemTimeout, 0, kScsiStatusGood};
}

// Multi-byte command-block parameters are high byte first unless a family says otherwise.
inline std::uint32_t ReadBigEndian(const std::array<std::uint8_t, 16>& cdb, std::size_t first,
                                   std::size_t count) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    value = (value << 8) | cdb[first + i];
  }
  return value;
}

}  // namespace q71x::sim
