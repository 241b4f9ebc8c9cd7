#pragma once
// Reading an image file the way all three readers need it: opened as plain bytes, headers taken
// 10 bytes at a time at fixed offsets, and never a byte the file does not have.

#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "src/image/image_layout.h"

namespace q71x {

// Ten header bytes as read from one offset. A file too short for the whole read delivers fewer:
// Available says how many, and the bytes past it are not the file's and match nothing.
struct ImageHeader {
  std::array<std::uint8_t, kHeaderLength> Bytes{};
  std::size_t Available = 0;

  // Bytes 0-3 are 55 AA AA 55.
  bool HasSignature() const;
  // Bytes 0-1 are 55 AA: all the types with a late header ask for.
  bool HasShortSignature() const;
  // Bytes 4-7 as text: ends at a zero byte or where the file ended.
  std::string_view FileCode() const;
  // The first count bytes as text, or nothing when the file did not deliver them all.
  std::optional<std::string_view> Prefix(std::size_t count) const;
  // One byte, or nothing when the file did not deliver it.
  std::optional<std::uint8_t> At(std::size_t index) const;
};

// Opens the file for reading as plain bytes; false when it cannot be read as a file (missing,
// unreadable, or a directory).
bool OpenImageFile(const std::string& path, std::ifstream& file);

// Reads the header at offset; a fresh record every time, so nothing of an earlier read survives.
ImageHeader ReadImageHeader(std::ifstream& file, std::uint64_t offset);

// The whole file, or nothing when its bytes cannot be read or held in memory.
std::optional<std::vector<std::uint8_t>> ReadWholeImage(std::ifstream& file);

// Compares a file code with an expected text over at most count characters, stopping early where
// both end, as the chip-code comparisons have always done (so "713E" over 4 ignores what follows).
bool FileCodeEquals(std::string_view code, std::string_view expected, std::size_t count);

}  // namespace q71x
