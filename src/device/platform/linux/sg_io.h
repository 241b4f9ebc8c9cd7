// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Carries one pass-through record out through the SCSI generic driver's SG_IO request.

#include <cstdint>
#include <functional>

#include <scsi/sg.h>

#include "src/device/platform/platform.h"

namespace q71x::linux_platform {

// The ioctl, injectable so tests can check the header the backend builds.
using SgIoctl = std::function<int(int fd, sg_io_hdr_t* header)>;
SgIoctl RealSgIoctl();
// SG_GET_RESERVED_SIZE, injectable the same way: the driver's reserved buffer, which it never
// makes larger than the queue carries.
using SgReservedSizeIoctl = std::function<int(int fd, int* bytes)>;
SgReservedSizeIoctl RealSgReservedSizeIoctl();

struct SgOutcome {
  bool Ok = false;
  std::uint32_t ErrorCode = 0;  // errno of a failed ioctl, EIO for a failed command, else 0
};

// Fills the SG_IO header from the record (direction, lengths, milliseconds), issues it and
// writes the moved length (requested minus residue), the status and the outcome (the result
// category and the sense bytes the driver returned) back into the record.
SgOutcome ExecuteSgIo(int fd, PassThroughRecord& record, const SgIoctl& ioctl);

}  // namespace q71x::linux_platform
