// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Zero-filled heap blocks whose usable start is aligned by over-allocation, as the pass-through
// facility wants its data areas. Allocation failure is reported (null / !ok()), never thrown.

#include <cstddef>
#include <cstdint>

namespace q71x {

inline constexpr std::size_t kBufferAlignment = 8192;

// A zero-filled block of size + alignment bytes, or null when it cannot be had.
void* AllocPadded(std::size_t size, std::size_t alignment);
// (address + alignment - 1) AND NOT (alignment - 1); alignment is a power of two.
std::uintptr_t AlignUp(std::uintptr_t address, std::uintptr_t alignment);
// Releases a block from AllocPadded; ignores null.
void FreeBuffer(void* block);

// Owns one padded block and exposes its aligned area of exactly `size` bytes.
class AlignedBuffer {
 public:
  AlignedBuffer() = default;
  explicit AlignedBuffer(std::size_t size, std::size_t alignment = kBufferAlignment);
  ~AlignedBuffer();
  AlignedBuffer(AlignedBuffer&& other) noexcept;
  AlignedBuffer& operator=(AlignedBuffer&& other) noexcept;
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;

  // False when the allocation failed (a zero size allocates nothing and is ok).
  bool ok() const { return ok_; }
  std::uint8_t* data() { return data_; }
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::uint8_t& operator[](std::size_t i) { return data_[i]; }
  const std::uint8_t& operator[](std::size_t i) const { return data_[i]; }

 private:
  void Release();

  void* block_ = nullptr;
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  bool ok_ = true;
};

}  // namespace q71x
