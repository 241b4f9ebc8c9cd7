// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Image files for the tests, written into a private temporary folder that is removed afterwards.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "src/image/sample_image.h"
#include "tests/support/temp_dir.h"

namespace q71x::testing {

class ImageFiles {
 public:
  ImageFiles() = default;
  ImageFiles(const ImageFiles&) = delete;
  ImageFiles& operator=(const ImageFiles&) = delete;

  std::string Write(std::span<const std::uint8_t> bytes) {
    const std::string path = NextPath();
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::string Sample(const SampleImageOptions& options) { return Write(BuildSampleImage(options)); }
  std::string Missing() const { return folder_.File("no-such-image.bin"); }
  std::string Folder() const { return folder_.path().string(); }

 private:
  std::string NextPath() { return folder_.File("image" + std::to_string(count_++) + ".bin"); }

  TempDir folder_;
  int count_ = 0;
};

inline void Patch(std::vector<std::uint8_t>& bytes, std::size_t offset, std::string_view data) {
  for (std::size_t i = 0; i < data.size() && offset + i < bytes.size(); ++i) {
    bytes[offset + i] = static_cast<std::uint8_t>(data[i]);
  }
}

inline SampleImageOptions SampleFor(int type, int revision, std::size_t size = 32768) {
  SampleImageOptions options;
  options.ChipType = ToChipType(type);
  options.ChipRevision = revision;
  options.Size = size;
  return options;
}

inline constexpr std::string_view kSignature{"\x55\xAA\xAA\x55", 4};

}  // namespace q71x::testing
