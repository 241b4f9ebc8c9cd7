// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Both DF write commands send whole granules: the caller's bytes are copied into a zero-filled
// buffer padded to the next granule, so the padding on the wire is always 0x00.

#include <cstdint>

#include "src/device/aligned_buffer.h"

namespace q71x {

// `length` bytes of `source` in a buffer of PaddedTransferLength(length, granule) bytes. An empty
// buffer (size 0, nothing allocated) for a zero length; !ok() when it cannot be allocated.
AlignedBuffer StagePaddedWrite(const std::uint8_t* source, std::uint32_t length,
                               std::uint32_t granule);

}  // namespace q71x
