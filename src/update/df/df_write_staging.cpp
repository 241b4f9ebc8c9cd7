// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/df/df_write_staging.h"

#include <algorithm>
#include <cstring>

#include "src/update/df/df_family.h"
#include "src/update/work_buffer.h"

namespace q71x {

AlignedBuffer StagePaddedWrite(const std::uint8_t* source, std::uint32_t length,
                               std::uint32_t granule) {
  const std::uint32_t padded = PaddedTransferLength(length, granule);
  if (padded == 0) {
    return AlignedBuffer();
  }
  AlignedBuffer staged = AllocateWorkBuffer(padded);
  if (staged.ok()) {
    std::memcpy(staged.data(), source, std::min(length, padded));
  }
  return staged;
}

}  // namespace q71x
