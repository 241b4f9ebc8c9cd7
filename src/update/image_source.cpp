#include "src/update/image_source.h"

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

std::uint32_t ReadImageChunk(ImageSource& image, std::uint8_t* buffer, std::uint32_t size) {
  std::memset(buffer, 0x00, size);
  image.stream.read(reinterpret_cast<char*>(buffer), size);
  return static_cast<std::uint32_t>(image.stream.gcount());
}

bool ImageHasMore(const ImageSource& image) {
  return !image.stream.eof() && !image.stream.bad();
}

}  // namespace q71x
