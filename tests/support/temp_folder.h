// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A folder of the test's own with sample images made to order.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>

#include "src/image/sample_image.h"

namespace q71x::testing {

// A folder of its own under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("q71x-test-" + std::to_string(seed()) + "-" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // A sample image for the chip; `fileCode` replaces its code for images that must not match.
  std::string Image(const std::string& name, int chipType, int revision,
                    std::optional<std::string> fileCode = std::nullopt, bool checksum = true) {
    SampleImageOptions options;
    options.ChipType = ToChipType(chipType);
    options.ChipRevision = revision;
    options.FileCode = std::move(fileCode);
    options.Checksum = checksum;
    const std::string path = File(name);
    EXPECT_EQ(WriteSampleImage(path, options), 1);
    return path;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace q71x::testing
