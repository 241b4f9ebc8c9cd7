#include "src/device/platform/linux/sg_io.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace q71x::linux_platform {
namespace {

constexpr unsigned char kSenseLength = 32;

}  // namespace

SgIoctl RealSgIoctl() {
  return [](int fd, sg_io_hdr_t* header) { return ::ioctl(fd, SG_IO, header); };
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
    return SgOutcome{false, static_cast<std::uint32_t>(error)};
  }
  const int resid = header.resid < 0 ? 0 : header.resid;
  record.DataTransferLength =
      header.dxfer_len > static_cast<unsigned>(resid) ? header.dxfer_len - resid : 0;
  record.ScsiStatus = header.status;
  if ((header.info & SG_INFO_OK_MASK) != SG_INFO_OK) {
    return SgOutcome{false, EIO};
  }
  return SgOutcome{true, 0};
}

}  // namespace q71x::linux_platform
