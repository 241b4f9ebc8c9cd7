// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Why one pass-through request ended as it did. The procedures only need 1 or 0, but a bug
// report needs the reason, and a few callers must tell a drive's definite refusal (a check
// condition with a known sense) from a command that was lost on the way.

#include <array>
#include <cstdint>
#include <string>

namespace q71x {

enum class PassThroughResult : std::uint8_t {
  Good,            // the device completed the command with GOOD status
  CheckCondition,  // the device refused it; the sense bytes say why
  Timeout,         // no answer within the command's time-out
  TransportError,  // the adapter, the bus or the bridge lost the command, or another status
  OsError,         // the operating system refused the request; the error code says why
};

inline constexpr std::size_t kSenseBufferBytes = 32;
inline constexpr std::uint8_t kScsiStatusGood = 0x00;
inline constexpr std::uint8_t kScsiStatusCheckCondition = 0x02;
inline constexpr std::uint8_t kSenseKeyIllegalRequest = 0x05;
inline constexpr std::uint8_t kAscLbaOutOfRange = 0x21;

struct PassThroughOutcome {
  PassThroughResult Result = PassThroughResult::Good;
  std::uint8_t ScsiStatus = kScsiStatusGood;
  std::uint8_t SenseLength = 0;  // valid bytes in Sense
  std::array<std::uint8_t, kSenseBufferBytes> Sense{};
  std::uint32_t ErrorCode = 0;  // the platform's error code, for OsError and TransportError

  // Sense key, additional sense code and qualifier, from fixed or descriptor format sense;
  // 0 when the sense is missing or too short to hold the field.
  std::uint8_t SenseKey() const;
  std::uint8_t Asc() const;
  std::uint8_t Ascq() const;
};

// The device said the block address lies past its end: sense key ILLEGAL REQUEST with LOGICAL
// BLOCK ADDRESS OUT OF RANGE. Nothing else is taken for it, not even a check condition whose
// sense is missing.
bool IsLbaOutOfRange(const PassThroughOutcome& outcome);

// Copies up to kSenseBufferBytes sense bytes into the outcome.
void SetSense(PassThroughOutcome& outcome, const std::uint8_t* sense, std::size_t length);

// The outcome of a request as the Windows storage stack reports it (the simulator reports the
// same way): the request's own success, the thread's error code afterwards, the SCSI status
// byte and the sense bytes the port driver returned. A check condition completes the request
// without an error code, so the status byte decides it.
PassThroughOutcome OutcomeOfWindowsRequest(bool requestOk, std::uint32_t errorCode,
                                           std::uint8_t scsiStatus, const std::uint8_t* sense,
                                           std::size_t senseLength);

// One line for the debugger output: the command's opcode, the result category, the sense key
// with its name, ASC/ASCQ and the sense bytes for a check condition, the error code otherwise,
// and how many of the requested bytes moved.
std::string DescribePassThroughFailure(std::uint8_t opcode, const PassThroughOutcome& outcome,
                                       std::uint32_t requested, std::uint32_t transferred);

const char* PassThroughResultName(PassThroughResult result);

}  // namespace q71x
