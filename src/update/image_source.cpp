// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/image_source.h"

#include <algorithm>
#include <cstring>

#include "src/image/image_file.h"
#include "src/update/update_texts.h"

namespace q71x {

std::string_view OpenImageFile(const std::string& path, ChipGroup family, ImageSource& image) {
  if (path.size() >= kMaxPathChars) {
    return kFirmwareNameTooLongText;
  }
  switch (OpenImageStream(path, LargestImageFor(family), image.stream)) {
    case ImageFileCheck::Usable:
      break;
    case ImageFileCheck::TooLarge:
      return kImageTooLargeText;
    case ImageFileCheck::Unreadable:
    case ImageFileCheck::NotPlainFile:
      return kOpenFileErrorText;
  }
  image.stream.seekg(0, std::ios::end);
  const std::streamoff end = image.stream.tellg();
  image.stream.seekg(0, std::ios::beg);
  if (end < 0 || !image.stream) {
    return kOpenFileErrorText;
  }
  image.length = static_cast<std::uint64_t>(end);
  if (image.length == 0) {
    return kEmptyImageFileText;
  }
  // Checked again on the open file: it may have grown since its size was looked at.
  if (image.length > LargestImageFor(family)) {
    return kImageTooLargeText;
  }
  return {};
}

bool ReadImageTail(ImageSource& image, std::uint64_t offset, std::uint8_t* destination) {
  if (offset > image.length) {
    return false;
  }
  const std::uint64_t count = image.length - offset;
  image.stream.clear();
  image.stream.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
  image.stream.read(reinterpret_cast<char*>(destination), static_cast<std::streamsize>(count));
  return static_cast<std::uint64_t>(image.stream.gcount()) == count;
}

bool ReadWholeImage(ImageSource& image, std::uint8_t* buffer, std::uint64_t bufferSize) {
  if (bufferSize < image.length) {
    return false;
  }
  std::memset(buffer, 0x00, static_cast<std::size_t>(bufferSize));
  return ReadImageTail(image, 0, buffer);
}

bool ImageBlocks::Next(std::uint8_t* block, std::uint32_t size) {
  if (next_ >= length_) {
    return false;
  }
  const std::uint64_t available = std::min<std::uint64_t>(size, length_ - next_);
  std::memcpy(block, image_ + next_, static_cast<std::size_t>(available));
  std::memset(block + available, 0x00, static_cast<std::size_t>(size - available));
  next_ += size;
  return true;
}

}  // namespace q71x
