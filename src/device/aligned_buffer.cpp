// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/aligned_buffer.h"

#include <cstdlib>
#include <limits>
#include <utility>

namespace q71x {

void* AllocPadded(std::size_t size, std::size_t alignment) {
  if (size > std::numeric_limits<std::size_t>::max() - alignment) {
    return nullptr;
  }
  return std::calloc(1, size + alignment);
}

std::uintptr_t AlignUp(std::uintptr_t address, std::uintptr_t alignment) {
  return (address + alignment - 1) & ~(alignment - 1);
}

void FreeBuffer(void* block) {
  std::free(block);
}

AlignedBuffer::AlignedBuffer(std::size_t size, std::size_t alignment) : size_(size) {
  if (size == 0) {
    return;
  }
  block_ = AllocPadded(size, alignment);
  if (block_ == nullptr) {
    ok_ = false;
    size_ = 0;
    return;
  }
  data_ =
      reinterpret_cast<std::uint8_t*>(AlignUp(reinterpret_cast<std::uintptr_t>(block_), alignment));
}

AlignedBuffer::~AlignedBuffer() {
  Release();
}

AlignedBuffer::AlignedBuffer(AlignedBuffer&& other) noexcept
    : block_(std::exchange(other.block_, nullptr)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      ok_(std::exchange(other.ok_, true)) {}

AlignedBuffer& AlignedBuffer::operator=(AlignedBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    block_ = std::exchange(other.block_, nullptr);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    ok_ = std::exchange(other.ok_, true);
  }
  return *this;
}

void AlignedBuffer::Release() {
  FreeBuffer(block_);
  block_ = nullptr;
  data_ = nullptr;
  size_ = 0;
}

}  // namespace q71x
