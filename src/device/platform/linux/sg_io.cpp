// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/linux/sg_io.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace q71x::linux_platform {
namespace {

constexpr unsigned char kSenseLength = kSenseBufferBytes;
// Host and driver codes of the SCSI midlayer that name a time-out; the low nibble of the driver
// status is the code, the high nibble suggestions.
constexpr unsigned kHostTimeOut = 0x03;
constexpr unsigned kDriverTimeout = 0x06;
constexpr unsigned kDriverSense = 0x08;
constexpr unsigned kDriverCodeMask = 0x0F;

// The midlayer's view of a completed request: a time-out named by the host adapter or the
// driver, any other host or driver code a transport error, then the device's own status.
PassThroughOutcome OutcomeOfHeader(const sg_io_hdr_t& header, const unsigned char* sense) {
  PassThroughOutcome outcome;
  outcome.ScsiStatus = header.status;
  const unsigned driverCode = header.driver_status & kDriverCodeMask;
  if (header.host_status == kHostTimeOut || driverCode == kDriverTimeout) {
    outcome.Result = PassThroughResult::Timeout;
  } else if (header.host_status != 0 || (driverCode != 0 && driverCode != kDriverSense)) {
    outcome.Result = PassThroughResult::TransportError;
  } else if (header.status == kScsiStatusCheckCondition ||
             (driverCode == kDriverSense && header.sb_len_wr > 0)) {
    outcome.Result = PassThroughResult::CheckCondition;
    SetSense(outcome, sense, header.sb_len_wr);
  } else if (header.status != kScsiStatusGood) {
    outcome.Result = PassThroughResult::TransportError;
  }
  return outcome;
}

}  // namespace

SgIoctl RealSgIoctl() {
  return [](int fd, sg_io_hdr_t* header) { return ::ioctl(fd, SG_IO, header); };
}

SgReservedSizeIoctl RealSgReservedSizeIoctl() {
  return [](int fd, int* bytes) { return ::ioctl(fd, SG_GET_RESERVED_SIZE, bytes); };
}

SgOutcome ExecuteSgIo(int fd, PassThroughRecord& record, const SgIoctl& ioctl) {
  unsigned char sense[kSenseLength] = {};
  sg_io_hdr_t header;
  std::memset(&header, 0, sizeof header);
  header.interface_id = 'S';
  if (record.DataTransferLength == 0 || record.DataBuffer == nullptr) {
    header.dxfer_direction = SG_DXFER_NONE;
  } else {
    header.dxfer_direction = record.DataIn != 0 ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
    header.dxfer_len = record.DataTransferLength;
    header.dxferp = record.DataBuffer;
  }
  header.cmd_len = record.CdbLength;
  header.cmdp = record.Cdb;
  header.mx_sb_len = kSenseLength;
  header.sbp = sense;
  header.timeout = record.TimeOutValue * 1000u;

  errno = 0;
  const int rc = ioctl(fd, &header);
  if (rc != 0) {
    const int error = errno != 0 ? errno : EIO;
    record.DataTransferLength = 0;
    record.Outcome = PassThroughOutcome{};
    record.Outcome.Result =
        error == ETIMEDOUT ? PassThroughResult::Timeout : PassThroughResult::OsError;
    record.Outcome.ErrorCode = static_cast<std::uint32_t>(error);
    return SgOutcome{false, static_cast<std::uint32_t>(error)};
  }
  const int resid = header.resid < 0 ? 0 : header.resid;
  record.DataTransferLength =
      header.dxfer_len > static_cast<unsigned>(resid) ? header.dxfer_len - resid : 0;
  record.ScsiStatus = header.status;
  record.Outcome = OutcomeOfHeader(header, sense);
  if ((header.info & SG_INFO_OK_MASK) != SG_INFO_OK) {
    record.Outcome.ErrorCode = EIO;
    if (record.Outcome.Result == PassThroughResult::Good) {
      record.Outcome.Result = PassThroughResult::TransportError;
    }
    return SgOutcome{false, EIO};
  }
  return SgOutcome{true, 0};
}

}  // namespace q71x::linux_platform
