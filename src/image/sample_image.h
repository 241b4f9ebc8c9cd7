// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Sample firmware images of our own making for any chip type and revision: for the tests, for
// the simulator executable and for trying the tool. The body is deterministic pseudo-random
// bytes; only what the image checks read (header, chip code, stated length, end marker,
// checksum byte) is laid out on purpose.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "src/catalog/chip_type_table.h"

namespace q71x {

struct SampleImageOptions {
  q71x::ChipType ChipType = q71x::ChipType::Qv40714Series;
  int ChipRevision = 1;
  std::size_t Size = 32768;
  // Put a 4 KB configuration area first; the header then stands at 4096 (types 12 and 14 keep
  // theirs at 16384 either way).
  bool NvramBlock = false;
  // true: a checksum byte that passes the checksum test; false: one that fails it for sure.
  // Images shorter than 32768 bytes have no checksum byte and always fail.
  bool Checksum = true;
  bool EndMarker = false;
  // Where the end marker starts; by default halfway into the checksummed part.
  std::optional<std::size_t> EndMarkerOffset;
  // Bytes 12-13. By default written only for images whose code states its length (late 713
  // images), as the length up to the checksum byte or the end of a shorter file.
  std::optional<std::uint16_t> StatedLength;
  // Up to four characters that replace the chip's own code, for images that must not match.
  std::optional<std::string> FileCode;
  std::uint32_t Seed = 1;
};

// The image, exactly Size bytes; header pieces that do not fit in Size are cut off.
std::vector<std::uint8_t> BuildSampleImage(const SampleImageOptions& options);

// Writes BuildSampleImage's bytes to path (through the safe writer: a link, FIFO or folder at the
// name is refused); 1 on success, 0 when the file cannot be written.
int WriteSampleImage(const std::string& path, const SampleImageOptions& options);

// The header offset the image of these options carries (0, 4096 or 16384).
std::size_t SampleHeaderOffset(const SampleImageOptions& options);

}  // namespace q71x
