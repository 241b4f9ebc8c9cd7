#pragma once
// SHA-256 of a file's bytes, for the records that prove which firmware a backup holds.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace q71x {

class Sha256 {
 public:
  Sha256();
  void Update(std::span<const std::uint8_t> bytes);
  // The digest as 64 lower-case hex digits; the object is spent afterwards.
  std::string FinishHex();

 private:
  void Block(const std::uint8_t* block);

  std::uint32_t state_[8];
  std::uint8_t pending_[64];
  std::size_t pendingSize_ = 0;
  std::uint64_t totalBytes_ = 0;
};

std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace q71x
