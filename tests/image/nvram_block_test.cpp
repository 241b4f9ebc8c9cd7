// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/image/nvram_block.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/image/image_files.h"
#include "tests/support/recording_dialogs.h"

namespace q71x {
namespace {

using namespace std::literals;
using testing::ImageFiles;
using testing::SampleFor;

SampleImageOptions Nvram(int type, int revision) {
  SampleImageOptions options = SampleFor(type, revision);
  options.NvramBlock = true;
  return options;
}

TEST(DetectNvramBlock, HeaderAt4096WithTheChipsCode) {
  ImageFiles files;
  const std::string nvram844 = files.Sample(Nvram(9, 1));
  EXPECT_EQ(1, DetectNvramBlock(nvram844, ChipType::Qvk844Series));
  EXPECT_EQ(1, DetectNvramBlock(nvram844, ChipType::Qvk848Series));  // 8 and 9 share their code
  EXPECT_EQ(0, DetectNvramBlock(nvram844, ChipType::Qvk842Series));
  EXPECT_EQ(0, DetectNvramBlock(nvram844, ChipType::Unknown));
  EXPECT_EQ(0, DetectNvramBlock(nvram844, static_cast<ChipType>(42)));
  // The test is not limited to the NVRAM-block types.
  EXPECT_EQ(1, DetectNvramBlock(files.Sample(Nvram(4, 2)), ChipType::Qv40713Series));
}

TEST(DetectNvramBlock, HeaderAtZeroMeansNoBlock) {
  ImageFiles files;
  std::vector<std::uint8_t> bytes = BuildSampleImage(Nvram(9, 1));
  testing::Patch(bytes, 0,
                 "\x55\xAA\xAA\x55"
                 "8440"sv);
  EXPECT_EQ(0, DetectNvramBlock(files.Write(bytes), ChipType::Qvk844Series));
  EXPECT_EQ(0, DetectNvramBlock(files.Sample(SampleFor(9, 1)), ChipType::Qvk844Series));
}

TEST(DetectNvramBlock, NeedsTheFullSignatureAndCodeAt4096) {
  ImageFiles files;
  std::vector<std::uint8_t> bytes = BuildSampleImage(Nvram(10, 1));
  testing::Patch(bytes, 4096 + 3, "\0"sv);
  EXPECT_EQ(0, DetectNvramBlock(files.Write(bytes), ChipType::Qvn962Series));
  bytes = BuildSampleImage(Nvram(10, 1));
  testing::Patch(bytes, 4096 + 6, "3"sv);  // 963
  EXPECT_EQ(0, DetectNvramBlock(files.Write(bytes), ChipType::Qvn962Series));
}

TEST(DetectNvramBlock, UnreadableFileHasNoBlockAndShowsNothing) {
  ImageFiles files;
  testing::RecordingDialogs dialogs;
  EXPECT_EQ(0, DetectNvramBlock(files.Missing(), ChipType::Qvk844Series));
  EXPECT_TRUE(dialogs.Boxes().empty());
}

}  // namespace
}  // namespace q71x
