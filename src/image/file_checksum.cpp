// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/image/file_checksum.h"

#include <algorithm>
#include <fstream>
#include <numeric>

#include "src/catalog/chip_tables.h"
#include "src/image/image_file.h"
#include "src/image/image_layout.h"
#include "src/image/nvram_block.h"

namespace q71x {

bool ImageStatesItsLength(std::span<const std::uint8_t> image) {
  if (image.size() < kStatedLengthOffset + 2) {
    return false;
  }
  const std::uint8_t revision = image[kFileCodeOffset + 3];
  return image[kFileCodeOffset] == '7' && image[kFileCodeOffset + 1] == '1' &&
         image[kFileCodeOffset + 2] == '3' && revision >= '3' && revision <= '9';
}

std::size_t FindEndMarker(const std::uint8_t* data, std::size_t length) {
  const std::uint8_t* end = data + length;
  const std::uint8_t* found = std::search(data, end, kEndMarker.begin(), kEndMarker.end());
  return found == end ? length : static_cast<std::size_t>(found - data) + kEndMarker.size();
}

std::size_t ChecksumPosition(std::size_t fileLength) {
  return fileLength == kLongChecksumFileLength ? kLongChecksumPosition : kChecksumPosition;
}

std::optional<std::size_t> ChecksummedLength(std::span<const std::uint8_t> image) {
  if (image.empty()) {
    return std::nullopt;
  }
  if (!ImageStatesItsLength(image)) {
    return image.size() - 1;
  }
  const std::size_t stated =
      static_cast<std::size_t>(image[kStatedLengthOffset]) << 8 | image[kStatedLengthOffset + 1];
  // A stated length past the end of the file means the image was cut short: its code is not all
  // there, so no sum over what is left can vouch for it.
  if (stated > image.size()) {
    return std::nullopt;
  }
  return FindEndMarker(image.data(), stated);
}

std::uint8_t ByteSum(std::span<const std::uint8_t> bytes) {
  return std::accumulate(
      bytes.begin(), bytes.end(), std::uint8_t{0},
      [](std::uint8_t sum, std::uint8_t b) { return static_cast<std::uint8_t>(sum + b); });
}

int VerifyFileChecksum(const std::string& path, std::uint16_t chipIdentity) {
  if (DetectNvramBlock(path, IdentityChipType(chipIdentity)) == 1) {
    return 1;
  }
  std::ifstream file;
  if (OpenImageStream(path, LargestImageFor(ChipGroupOf(IdentityChipType(chipIdentity))), file) !=
      ImageFileCheck::Usable) {
    return 0;
  }
  const auto image = ReadWholeImage(file);
  file.close();
  if (!image || image->size() < kChecksumMinimumFileLength) {
    return 0;
  }
  const auto summed = ChecksummedLength(*image);
  if (!summed) {
    return 0;
  }
  const std::uint8_t sum = ByteSum(std::span(*image).first(*summed));
  return (*image)[ChecksumPosition(image->size())] == sum ? 1 : 0;
}

}  // namespace q71x
