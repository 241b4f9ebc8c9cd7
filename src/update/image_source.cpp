#include "src/update/image_source.h"

#include <cstring>

#include "src/update/update_texts.h"

namespace q71x {

std::string_view OpenImageFile(const std::string& path, ImageSource& image) {
  if (path.size() >= kMaxPathChars) {
    return kFirmwareNameTooLongText;
  }
  image.stream.open(path, std::ios::in | std::ios::binary);
  if (!image.stream.is_open()) {
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
