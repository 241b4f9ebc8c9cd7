// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/df/df_write_staging.h"

#include <algorithm>
#include <cstring>

#include "src/device/flash_waits.h"
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

int WriteStagedBlocks(const std::string& devicePath, std::uint32_t address,
                      const std::uint8_t* source, std::uint32_t length, std::uint32_t granule,
                      const BlockLength& blockLength, const BlockSend& send,
                      const BlockTaken& taken) {
  const AlignedBuffer transfer = StagePaddedWrite(source, length, granule);
  if (!transfer.ok() || transfer.size() == 0) {
    return 0;
  }
  const auto staged = static_cast<std::uint32_t>(transfer.size());
  std::uint32_t done = 0;
  while (done < staged) {
    const std::uint32_t blockAddress = address + done;
    const std::uint32_t chunk = blockLength(blockAddress, staged - done);
    if (chunk == 0) {
      return 0;
    }
    WaitFlashReady(devicePath);
    if (send(blockAddress, transfer.data() + done, chunk) == 0) {
      return 0;
    }
    done += chunk;
    taken(done, transfer.size());
  }
  return 1;
}

}  // namespace q71x
