// SPDX-License-Identifier: GPL-2.0-or-later
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

#include "src/catalog/chip_tables.h"
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

// Why a named file is or is not taken as an image.
enum class ImageFileCheck {
  Usable,        // open for reading
  Unreadable,    // missing or not readable
  NotPlainFile,  // a folder, FIFO, device or socket: not opened, so nothing waits on it
  TooLarge,      // larger than any firmware the chip's memory can hold: not opened
};

// The largest image a chip group's firmware memory can hold: the 24-bit address range of a
// serial flash, the 64 KB parallel flash, and for firmware kept on the attached disk the largest
// firmware size the tool backs up (1 MB). A chip the tool does not support gets the largest.
std::uint64_t LargestImageFor(ChipGroup group);

// Opens the file for reading as plain bytes when it is a regular file of at most `largest` bytes.
// A refusal is explained on the debugger channel.
ImageFileCheck OpenImageStream(const std::string& path, std::uint64_t largest, std::ifstream& file);

// Reads the header at offset; a fresh record every time, so nothing of an earlier read survives.
ImageHeader ReadImageHeader(std::ifstream& file, std::uint64_t offset);

// The whole file, or nothing when its bytes cannot be read or held in memory.
std::optional<std::vector<std::uint8_t>> ReadWholeImage(std::ifstream& file);

// Compares a file code with an expected text over at most count characters, stopping early where
// both end, as the chip-code comparisons have always done (so "713E" over 4 ignores what follows).
bool FileCodeEquals(std::string_view code, std::string_view expected, std::size_t count);

}  // namespace q71x
