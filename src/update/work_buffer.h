// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Work buffers of the update procedures: zero-filled, aligned like the transport's data areas,
// owned by the caller's scope so that every return path frees them. A test may install a fault
// hook that refuses chosen allocations, to walk the procedures' out-of-memory paths; the tool
// itself never installs one.

#include <cstddef>
#include <functional>

#include "src/device/aligned_buffer.h"

namespace q71x {

// A buffer of `size` bytes; !ok() when it cannot be had (or the fault hook refused it).
AlignedBuffer AllocateWorkBuffer(std::size_t size, std::size_t alignment = kBufferAlignment);

// Called with the size of every work-buffer request; returning true makes that request fail.
using WorkBufferFaultHook = std::function<bool(std::size_t size)>;
// Installs a hook (empty: none) and returns the one it replaced.
WorkBufferFaultHook SetWorkBufferFaultHook(WorkBufferFaultHook hook);

}  // namespace q71x
