// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/pass_through_outcome.h"

#include <algorithm>
#include <cstdio>

namespace q71x {
namespace {

// Response codes of the two sense formats.
constexpr std::uint8_t kFixedCurrent = 0x70;
constexpr std::uint8_t kFixedDeferred = 0x71;
constexpr std::uint8_t kDescriptorCurrent = 0x72;
constexpr std::uint8_t kDescriptorDeferred = 0x73;

// Windows error codes that say the command did not come back in time, or that the bus or the
// device lost it; every other code is the system's own refusal of the request.
constexpr std::uint32_t kErrorCrc = 23;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorSemTimeout = 121;
constexpr std::uint32_t kErrorIoDevice = 1117;
constexpr std::uint32_t kErrorDeviceNotConnected = 1167;
constexpr std::uint32_t kErrorTimeout = 1460;

constexpr const char* kSenseKeyNames[16] = {
    "NO SENSE",       "RECOVERED ERROR", "NOT READY",      "MEDIUM ERROR",
    "HARDWARE ERROR", "ILLEGAL REQUEST", "UNIT ATTENTION", "DATA PROTECT",
    "BLANK CHECK",    "VENDOR SPECIFIC", "COPY ABORTED",   "ABORTED COMMAND",
    "RESERVED",       "VOLUME OVERFLOW", "MISCOMPARE",     "COMPLETED"};

bool IsDescriptorFormat(const PassThroughOutcome& outcome) {
  const std::uint8_t code = outcome.Sense[0] & 0x7F;
  return code == kDescriptorCurrent || code == kDescriptorDeferred;
}

bool IsFixedFormat(const PassThroughOutcome& outcome) {
  const std::uint8_t code = outcome.Sense[0] & 0x7F;
  return code == kFixedCurrent || code == kFixedDeferred;
}

// The byte at `fixed` in fixed format or at `descriptor` in descriptor format; 0 when the sense
// is of neither format or does not reach that far.
std::uint8_t SenseField(const PassThroughOutcome& outcome, std::size_t fixed,
                        std::size_t descriptor) {
  if (outcome.SenseLength == 0) {
    return 0;
  }
  std::size_t at = 0;
  if (IsFixedFormat(outcome)) {
    at = fixed;
  } else if (IsDescriptorFormat(outcome)) {
    at = descriptor;
  } else {
    return 0;
  }
  return at < outcome.SenseLength ? outcome.Sense[at] : 0;
}

std::string Hex2(unsigned value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", value & 0xFF);
  return text;
}

}  // namespace

std::uint8_t PassThroughOutcome::SenseKey() const {
  return SenseField(*this, 2, 1) & 0x0F;
}

std::uint8_t PassThroughOutcome::Asc() const {
  return SenseField(*this, 12, 2);
}

std::uint8_t PassThroughOutcome::Ascq() const {
  return SenseField(*this, 13, 3);
}

bool IsLbaOutOfRange(const PassThroughOutcome& outcome) {
  return outcome.Result == PassThroughResult::CheckCondition &&
         outcome.SenseKey() == kSenseKeyIllegalRequest && outcome.Asc() == kAscLbaOutOfRange;
}

void SetSense(PassThroughOutcome& outcome, const std::uint8_t* sense, std::size_t length) {
  const std::size_t kept = sense == nullptr ? 0 : std::min(length, kSenseBufferBytes);
  outcome.Sense.fill(0);
  std::copy_n(sense, kept, outcome.Sense.begin());
  outcome.SenseLength = static_cast<std::uint8_t>(kept);
}

PassThroughOutcome OutcomeOfWindowsRequest(bool requestOk, std::uint32_t errorCode,
                                           std::uint8_t scsiStatus, const std::uint8_t* sense,
                                           std::size_t senseLength) {
  PassThroughOutcome outcome;
  outcome.ScsiStatus = scsiStatus;
  outcome.ErrorCode = errorCode;
  if (!requestOk) {
    switch (errorCode) {
      case kErrorSemTimeout:
      case kErrorTimeout:
        outcome.Result = PassThroughResult::Timeout;
        break;
      case kErrorCrc:
      case kErrorGenFailure:
      case kErrorIoDevice:
      case kErrorDeviceNotConnected:
        outcome.Result = PassThroughResult::TransportError;
        break;
      default:
        outcome.Result = PassThroughResult::OsError;
        break;
    }
    return outcome;
  }
  if (errorCode != 0) {
    outcome.Result = PassThroughResult::OsError;
  } else if (scsiStatus == kScsiStatusCheckCondition) {
    outcome.Result = PassThroughResult::CheckCondition;
    SetSense(outcome, sense, senseLength);
  } else if (scsiStatus != kScsiStatusGood) {
    outcome.Result = PassThroughResult::TransportError;
  }
  return outcome;
}

const char* PassThroughResultName(PassThroughResult result) {
  switch (result) {
    case PassThroughResult::Good:
      return "good";
    case PassThroughResult::CheckCondition:
      return "check condition";
    case PassThroughResult::Timeout:
      return "time-out";
    case PassThroughResult::TransportError:
      return "transport error";
    case PassThroughResult::OsError:
      return "operating-system error";
  }
  return "unknown";
}

std::string DescribePassThroughFailure(std::uint8_t opcode, const PassThroughOutcome& outcome,
                                       std::uint32_t requested, std::uint32_t transferred) {
  std::string text = "Command " + Hex2(opcode) + ": " + PassThroughResultName(outcome.Result);
  if (outcome.Result == PassThroughResult::CheckCondition) {
    const std::uint8_t key = outcome.SenseKey();
    text += ", sense key " + Hex2(key) + " (" + kSenseKeyNames[key] + "), ASC " +
            Hex2(outcome.Asc()) + " ASCQ " + Hex2(outcome.Ascq()) + ", sense";
    if (outcome.SenseLength == 0) {
      text += " none";
    }
    for (std::size_t i = 0; i < outcome.SenseLength; ++i) {
      text += " " + Hex2(outcome.Sense[i]);
    }
  } else if (outcome.Result != PassThroughResult::Good) {
    text += ", SCSI status " + Hex2(outcome.ScsiStatus) + ", error code " +
            std::to_string(outcome.ErrorCode);
  }
  text +=
      "; " + std::to_string(transferred) + " of " + std::to_string(requested) + " bytes moved\n";
  return text;
}

}  // namespace q71x
