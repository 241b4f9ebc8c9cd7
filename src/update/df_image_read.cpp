#include "src/update/df_image_read.h"

namespace q71x {

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

}  // namespace q71x
