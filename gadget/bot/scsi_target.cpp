// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/bot/scsi_target.h"

#include <algorithm>

#include "sim/exchange.h"

namespace q71x::gadget {
namespace {

constexpr std::uint8_t kOpTestUnitReady = 0x00;
constexpr std::uint8_t kOpRequestSense = 0x03;
constexpr std::uint8_t kOpInquiry = 0x12;
constexpr std::uint8_t kOpModeSense6 = 0x1A;
constexpr std::uint8_t kOpStartStopUnit = 0x1B;
constexpr std::uint8_t kOpPreventAllowRemoval = 0x1E;
constexpr std::uint8_t kOpReadCapacity10 = 0x25;
constexpr std::uint8_t kOpRead10 = 0x28;
constexpr std::uint8_t kOpWrite10 = 0x2A;
constexpr std::uint8_t kOpSynchronizeCache10 = 0x35;
constexpr std::uint8_t kOpModeSense10 = 0x5A;
constexpr std::uint8_t kOpRead16 = 0x88;
constexpr std::uint8_t kOpWrite16 = 0x8A;
constexpr std::uint8_t kOpSynchronizeCache16 = 0x91;
constexpr std::uint8_t kOpServiceActionIn16 = 0x9E;

constexpr std::uint8_t kAllModePages = 0x3F;
constexpr std::uint8_t kInquiryEvpd = 0x01;

// The enclosure's own time-out for a forwarded command. The host's real time-out is what limits
// a command here; this only has to outlast the longest modeled flash operation.
constexpr std::uint32_t kForwardTimeoutSeconds = 100;

bool IsMediumAccess(std::uint8_t opcode) {
  return opcode == kOpReadCapacity10 || opcode == kOpRead10 || opcode == kOpWrite10 ||
         opcode == kOpRead16 || opcode == kOpWrite16;
}

std::uint32_t CopyReply(std::span<const std::uint8_t> reply, std::size_t allocationLength,
                        std::span<std::uint8_t> data) {
  const std::size_t count = std::min({reply.size(), allocationLength, data.size()});
  std::copy_n(reply.begin(), count, data.begin());
  return static_cast<std::uint32_t>(count);
}

}  // namespace

ScsiTarget::ScsiTarget(sim::SimulatedSystem& system, std::string enclosurePath,
                       RealClockUs realClock)
    : system_(system),
      path_(std::move(enclosurePath)),
      realClock_(std::move(realClock)),
      lastRealUs_(realClock_()) {}

ScsiOutcome ScsiTarget::Pass(std::uint32_t transferred) {
  sense_ = kNoSense;
  return ScsiOutcome{true, transferred};
}

ScsiOutcome ScsiTarget::Fail(const SenseData& sense) {
  sense_ = sense;
  return ScsiOutcome{false, 0};
}

bool ScsiTarget::HasMedium() {
  const sim::Enclosure* enclosure = system_.FindPlugged(path_);
  return enclosure != nullptr && enclosure->Bridge.Disk.has_value();
}

ScsiOutcome ScsiTarget::Execute(const std::array<std::uint8_t, 16>& cdb, std::uint8_t cdbLength,
                                bool dataIn, std::span<std::uint8_t> data) {
  const std::uint8_t opcode = cdb[0];
  switch (opcode) {
    case kOpRequestSense:
      return RequestSense(cdb, dataIn, data);
    case kOpTestUnitReady:
    case kOpSynchronizeCache10:
    case kOpSynchronizeCache16:
      return HasMedium() ? Pass(0) : Fail(kMediumNotPresent);
    case kOpStartStopUnit:
    case kOpPreventAllowRemoval:
      return Pass(0);
    case kOpModeSense6:
    case kOpModeSense10:
      return ModeSense(cdb, opcode == kOpModeSense10, dataIn, data);
    case kOpServiceActionIn16:
      // READ CAPACITY(16) and its kin: the bridges answer the 10-byte form only, which the
      // kernel falls back to.
      return Fail(kInvalidOpcode);
    case kOpInquiry:
      if ((cdb[1] & kInquiryEvpd) != 0) {
        return Fail(kInvalidFieldInCdb);  // no vital product data pages
      }
      return Forward(cdb, cdbLength, dataIn, data);
    default:
      if (IsMediumAccess(opcode) && !HasMedium()) {
        return Fail(kMediumNotPresent);
      }
      return Forward(cdb, cdbLength, dataIn, data);
  }
}

ScsiOutcome ScsiTarget::Forward(const std::array<std::uint8_t, 16>& cdb, std::uint8_t cdbLength,
                                bool dataIn, std::span<std::uint8_t> data) {
  const std::uint64_t nowUs = realClock_();
  system_.Clock().AdvanceUs(nowUs > lastRealUs_ ? nowUs - lastRealUs_ : 0);

  sim::Request request;
  request.Cdb = cdb;
  request.CdbLength = cdbLength;
  request.DataIn = dataIn;
  request.WireLength = static_cast<std::uint32_t>(data.size());
  request.TimeoutSeconds = kForwardTimeoutSeconds;
  request.Data = data;
  const sim::Reply reply = system_.Execute(path_, request);
  // The log would keep every data phase of a long-running gadget; nothing here reads it back.
  system_.Log().Clear();
  lastRealUs_ = realClock_();

  if (reply.Ok && reply.ErrorCode == 0) {
    return Pass(std::min<std::uint32_t>(reply.Transferred, request.WireLength));
  }
  if (reply.ErrorCode == sim::kErrorSemTimeout) {
    return Fail(kCommandAborted);
  }
  if (reply.ErrorCode == sim::kErrorDeviceNotConnected) {
    return Fail(kMediumNotPresent);
  }
  return Fail(kInvalidFieldInCdb);
}

ScsiOutcome ScsiTarget::RequestSense(const std::array<std::uint8_t, 16>& cdb, bool dataIn,
                                     std::span<std::uint8_t> data) {
  if (!dataIn && !data.empty()) {
    return Fail(kInvalidFieldInCdb);
  }
  // Sense data describes the command before; asking for it clears it.
  const auto bytes = FixedFormatSense(sense_);
  return Pass(CopyReply(bytes, cdb[4], data));
}

ScsiOutcome ScsiTarget::ModeSense(const std::array<std::uint8_t, 16>& cdb, bool tenByte,
                                  bool dataIn, std::span<std::uint8_t> data) {
  if (!dataIn && !data.empty()) {
    return Fail(kInvalidFieldInCdb);
  }
  // Only the header: no block descriptors, no pages, not write-protected. The kernel asks for
  // "all pages" to learn the write-protect bit and assumes write-through caching without page 8.
  if ((cdb[2] & 0x3F) != kAllModePages) {
    return Fail(kInvalidFieldInCdb);
  }
  if (tenByte) {
    const std::uint8_t header[8] = {0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    const std::size_t allocation = (static_cast<std::size_t>(cdb[7]) << 8) | cdb[8];
    return Pass(CopyReply(header, allocation, data));
  }
  const std::uint8_t header[4] = {0x03, 0x00, 0x00, 0x00};
  return Pass(CopyReply(header, cdb[4], data));
}

}  // namespace q71x::gadget
