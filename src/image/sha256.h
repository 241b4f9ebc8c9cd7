// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// SHA-256 (FIPS 180-4) of a firmware image or of a record the tool keeps on disk: it names an
// image beyond doubt and shows a record that was changed or cut.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace q71x {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
 public:
  Sha256();
  void Update(const std::uint8_t* data, std::size_t length);
  void Update(std::span<const std::uint8_t> bytes) { Update(bytes.data(), bytes.size()); }
  // The digest of everything given so far; the object is spent afterwards.
  Sha256Digest Finish();
  // The same as 64 lower-case hex digits.
  std::string FinishHex();

 private:
  void Compress(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> block_{};
  std::size_t blockFill_ = 0;
  std::uint64_t totalBytes_ = 0;
};

Sha256Digest Sha256Of(const std::uint8_t* data, std::size_t length);
inline Sha256Digest Sha256Of(const std::string& text) {
  return Sha256Of(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}
// Lower-case hex, 64 digits.
std::string Sha256Hex(const Sha256Digest& digest);
inline std::string Sha256Hex(std::span<const std::uint8_t> bytes) {
  return Sha256Hex(Sha256Of(bytes.data(), bytes.size()));
}

}  // namespace q71x
