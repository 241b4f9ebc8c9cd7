// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Both DF write commands send whole granules: the caller's bytes are copied into a zero-filled
// buffer padded to the next granule, so the padding on the wire is always 0x00. Both then send
// the staging block by block, waiting for the flash before each; how long a block is, which
// command carries it and what the window is told after it are the family's own.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "src/device/aligned_buffer.h"

namespace q71x {

// `length` bytes of `source` in a buffer of PaddedTransferLength(length, granule) bytes. An empty
// buffer (size 0, nothing allocated) for a zero length; !ok() when it cannot be allocated.
AlignedBuffer StagePaddedWrite(const std::uint8_t* source, std::uint32_t length,
                               std::uint32_t granule);

// How many bytes go in the block at `blockAddress`, with `remaining` staged bytes left.
using BlockLength =
    std::function<std::uint32_t(std::uint32_t blockAddress, std::uint32_t remaining)>;
// Sends one block; 1 when the bridge took it.
using BlockSend =
    std::function<int(std::uint32_t blockAddress, const std::uint8_t* data, std::uint32_t length)>;
// Told after each block taken: the bytes sent so far of `staged`.
using BlockTaken = std::function<void(std::uint32_t sent, std::size_t staged)>;

// Stages `length` bytes of `source` padded to `granule` and sends them from `address` on, block by
// block. 1 when every block was taken; 0 when nothing could be staged, a block would be empty, or
// at the first block the bridge did not take.
int WriteStagedBlocks(const std::string& devicePath, std::uint32_t address,
                      const std::uint8_t* source, std::uint32_t length, std::uint32_t granule,
                      const BlockLength& blockLength, const BlockSend& send,
                      const BlockTaken& taken);

}  // namespace q71x
