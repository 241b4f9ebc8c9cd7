// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/image_source.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/update/df_sim_rig.h"

namespace q71x::testing {
namespace {

TEST(ImageSource, AFileThatShrankAfterOpeningIsNotTakenForWhole) {
  TempDir dir;
  const std::string name = dir.File("image.bin");
  WriteFileBytes(name, std::vector<std::uint8_t>(8192, 0x44));
  ImageSource image;
  ASSERT_TRUE(OpenImageFile(name, ChipGroup::SerialFlash, image).empty());
  std::vector<std::uint8_t> buffer(8192, 0);

  ASSERT_TRUE(ReadImageTail(image, 4096, buffer.data()));
  EXPECT_EQ(0x44, buffer[4095]);

  std::error_code error;
  std::filesystem::resize_file(name, 6000, error);
  if (error) {
    GTEST_SKIP() << "this system keeps an open file from shrinking";
  }
  EXPECT_FALSE(ReadImageTail(image, 0, buffer.data()));
}

}  // namespace
}  // namespace q71x::testing
