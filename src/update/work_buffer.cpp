// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/work_buffer.h"

#include <limits>
#include <utility>

namespace q71x {
namespace {

WorkBufferFaultHook& FaultHook() {
  static WorkBufferFaultHook hook;
  return hook;
}

}  // namespace

AlignedBuffer AllocateWorkBuffer(std::size_t size, std::size_t alignment) {
  if (FaultHook() && FaultHook()(size)) {
    // No block can be padded for alignment beyond the largest size, so this is the very refusal
    // a real shortage gives, without needing one.
    return AlignedBuffer(std::numeric_limits<std::size_t>::max(), alignment);
  }
  return AlignedBuffer(size, alignment);
}

WorkBufferFaultHook SetWorkBufferFaultHook(WorkBufferFaultHook hook) {
  return std::exchange(FaultHook(), std::move(hook));
}

}  // namespace q71x
