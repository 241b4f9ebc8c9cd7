// SPDX-License-Identifier: GPL-2.0-or-later
// The generator's images must be what the image checks expect of each chip, or the simulator
// and the walkthrough would hand the operator files the tool refuses.

#include "src/image/sample_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/catalog/chip_tables.h"
#include "src/image/file_checksum.h"
#include "src/image/firmware_match.h"
#include "src/image/nvram_block.h"
#include "tests/image/image_files.h"

namespace q71x {
namespace {

using testing::ImageFiles;
using testing::SampleFor;

// Chips no image can belong to: unknown, the 924, and a 846 past revision 2.
bool AnyImageBelongs(int type, int revision) {
  return type != 0 && type != 13 && !(type == 7 && revision > 2);
}

TEST(SampleImage, EveryChipAcceptsItsOwnSample) {
  ImageFiles files;
  for (int type = 0; type < kChipTypeCount; ++type) {
    for (int revision = 1; revision <= 6; ++revision) {
      SCOPED_TRACE("type " + std::to_string(type) + " rev " + std::to_string(revision));
      const auto identity = MakeChipIdentity(type, revision);
      const int expected = AnyImageBelongs(type, revision) ? 1 : 0;
      EXPECT_EQ(expected, FirmwareMatchesChip(files.Sample(SampleFor(type, revision)), identity));
      if (ChipRow(type).NvramBlock) {
        SampleImageOptions options = SampleFor(type, revision);
        options.NvramBlock = true;
        const std::string path = files.Sample(options);
        EXPECT_EQ(expected, FirmwareMatchesChip(path, identity));
        EXPECT_EQ(1, DetectNvramBlock(path, ToChipType(type)));
      }
    }
  }
}

TEST(SampleImage, ChecksumByteMatchesAtEverySize) {
  ImageFiles files;
  for (const std::size_t size : {32768u, 40000u, 65536u, 65537u, 131072u}) {
    for (const int type : {1, 4, 12, 14, 17}) {
      for (const bool marker : {false, true}) {
        SCOPED_TRACE("size " + std::to_string(size) + " type " + std::to_string(type) +
                     (marker ? " with marker" : ""));
        SampleImageOptions options = SampleFor(type, 5, size);
        options.EndMarker = marker;
        const auto identity = MakeChipIdentity(type, 5);
        EXPECT_EQ(1, VerifyFileChecksum(files.Sample(options), identity));
        options.Checksum = false;
        EXPECT_EQ(0, VerifyFileChecksum(files.Sample(options), identity));
      }
    }
  }
}

TEST(SampleImage, Late713ImagesStateTheirLengthAndCarryTheMarkerInside) {
  SampleImageOptions options = SampleFor(4, 5);
  options.EndMarker = true;
  const std::vector<std::uint8_t> bytes = BuildSampleImage(options);
  ASSERT_TRUE(ImageStatesItsLength(bytes));
  const std::size_t stated = bytes[12] << 8 | bytes[13];
  EXPECT_EQ(32767u, stated);  // up to, not over, the checksum byte
  const std::size_t summed = FindEndMarker(bytes.data(), stated);
  EXPECT_LT(summed, stated);

  options.EndMarkerOffset = 0x2000;
  options.StatedLength = 0x4000;
  const std::vector<std::uint8_t> placed = BuildSampleImage(options);
  EXPECT_EQ(0x40, placed[12]);
  EXPECT_EQ(0x00, placed[13]);
  EXPECT_EQ(0x2008u, FindEndMarker(placed.data(), 0x4000));
}

TEST(SampleImage, LayoutFollowsTheOptions) {
  SampleImageOptions options = SampleFor(10, 2, 12345);
  options.NvramBlock = true;
  const std::vector<std::uint8_t> bytes = BuildSampleImage(options);
  ASSERT_EQ(12345u, bytes.size());
  EXPECT_NE(0x55, bytes[0]);
  EXPECT_EQ(std::string("\x55\xAA\xAA\x55"
                        "9622",
                        8),
            std::string(bytes.begin() + 4096, bytes.begin() + 4104));
  // Too short for its header: cut off, not grown.
  EXPECT_EQ(4100u, BuildSampleImage(SampleFor(10, 2, 4100)).size());
  EXPECT_EQ(16386u, BuildSampleImage(SampleFor(12, 1, 16386)).size());
}

TEST(SampleImage, BodyIsDeterministicAndFollowsTheSeed) {
  SampleImageOptions options = SampleFor(9, 1);
  EXPECT_EQ(BuildSampleImage(options), BuildSampleImage(options));
  SampleImageOptions other = options;
  other.Seed = 2;
  const auto a = BuildSampleImage(options);
  const auto b = BuildSampleImage(other);
  EXPECT_NE(a, b);
  EXPECT_TRUE(std::equal(a.begin(), a.begin() + 10, b.begin()));  // same header
}

TEST(SampleImage, WriteReportsAnUnwritablePath) {
  ImageFiles files;
  EXPECT_EQ(0, WriteSampleImage(files.Folder() + "/no-such-folder/image.bin", SampleFor(1, 1)));
  const std::string path = files.Folder() + "/image.bin";
  ASSERT_EQ(1, WriteSampleImage(path, SampleFor(1, 1)));
  EXPECT_EQ(32768u, std::filesystem::file_size(path));
}

}  // namespace
}  // namespace q71x
