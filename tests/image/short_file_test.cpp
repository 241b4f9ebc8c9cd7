// SPDX-License-Identifier: GPL-2.0-or-later
// Files that end inside a header are judged on the bytes they have: a byte the file cannot
// deliver matches nothing, and nothing is taken over from an earlier header read.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/catalog/chip_tables.h"
#include "src/image/firmware_match.h"
#include "src/image/nvram_block.h"
#include "tests/image/image_files.h"
#include "tests/support/recording_dialogs.h"

namespace q71x {
namespace {

using namespace std::literals;
using testing::ImageFiles;
using testing::SampleFor;

struct ShortCase {
  const char* Name;
  SampleImageOptions Image;
  int Type;
  int Revision;
  // Cut lengths around the header offset and the result each must give.
  std::size_t HeaderOffset;
  std::vector<std::pair<std::size_t, int>> Results;  // (bytes past HeaderOffset, result)
};

SampleImageOptions Nvram(int type, int revision) {
  SampleImageOptions options = SampleFor(type, revision);
  options.NvramBlock = true;
  return options;
}

TEST(ShortFiles, JudgedOnTheBytesTheyHave) {
  const std::vector<ShortCase> cases = {
      {"type 4 needs all four code bytes",
       SampleFor(4, 1),
       4,
       1,
       0,
       {{0, 0}, {3, 0}, {4, 0}, {7, 0}, {8, 1}, {9, 1}, {10, 1}, {11, 1}}},
      {"type 5 needs three code bytes", SampleFor(5, 1), 5, 1, 0, {{6, 0}, {7, 1}}},
      {"type 1 rev 1 needs all four marker bytes", SampleFor(1, 1), 1, 1, 0, {{7, 0}, {8, 1}}},
      {"type 7 needs all eight signature bytes", SampleFor(7, 1), 7, 1, 0, {{7, 0}, {8, 1}}},
      {"type 6 needs its revision byte", SampleFor(6, 1), 6, 1, 0, {{8, 0}, {9, 1}, {10, 1}}},
      {"type 6 needs the revision byte behind an NVRAM block",
       Nvram(6, 1),
       6,
       1,
       4096,
       {{3, 0}, {8, 0}, {9, 1}}},
      {"type 9 needs three code bytes behind an NVRAM block",
       Nvram(9, 1),
       9,
       1,
       4096,
       {{0, 0}, {3, 0}, {4, 0}, {6, 0}, {7, 1}, {10, 1}}},
      {"type 12 needs 55 AA and its code at 16384",
       SampleFor(12, 1),
       12,
       1,
       16384,
       {{0, 0}, {1, 0}, {2, 0}, {6, 0}, {7, 1}, {11, 1}}},
      {"type 14 needs 713E at 16384",
       SampleFor(14, 1),
       14,
       1,
       16384,
       {{2, 0}, {7, 0}, {8, 1}, {10, 1}}},
      {"type 3 takes even an empty file", SampleFor(3, 1), 3, 1, 0, {{0, 1}, {1, 1}, {9, 1}}},
  };
  ImageFiles files;
  testing::RecordingDialogs dialogs;
  for (const ShortCase& c : cases) {
    const std::vector<std::uint8_t> full = BuildSampleImage(c.Image);
    for (const auto& [past, expected] : c.Results) {
      const std::size_t length = c.HeaderOffset + past;
      SCOPED_TRACE(std::string(c.Name) + ", length " + std::to_string(length));
      const std::string path = files.Write(std::span(full).first(length));
      EXPECT_EQ(expected, FirmwareMatchesChip(path, MakeChipIdentity(c.Type, c.Revision)));
    }
  }
  EXPECT_TRUE(dialogs.Boxes().empty());
}

TEST(ShortFiles, NothingIsBorrowedFromTheHeaderAtZero) {
  ImageFiles files;
  // Offset 0 has no signature but carries 842 and a zero revision byte. A stale buffer would lend
  // those to the missing or partial read at 4096.
  std::vector<std::uint8_t> bytes(4096 + 4, 0xEE);
  testing::Patch(bytes, 0,
                 "\0\0\0\0"
                 "8420\0\0"sv);
  testing::Patch(bytes, 4096, testing::kSignature);

  const auto typeSix = MakeChipIdentity(6, 1);
  EXPECT_EQ(0, FirmwareMatchesChip(files.Write(bytes), typeSix));
  EXPECT_EQ(0, DetectNvramBlock(files.Write(bytes), ChipType::Qvk842Series));
  // Without any read at 4096 at all, the revision byte of the last read is still missing.
  EXPECT_EQ(0, FirmwareMatchesChip(files.Write(std::span(bytes).first(100)), typeSix));
  // The same file long enough for the whole read at 4096 is judged on what stands there.
  bytes.resize(4096 + 10, 0);
  testing::Patch(bytes, 4096 + 4, "8420"sv);
  EXPECT_EQ(1, FirmwareMatchesChip(files.Write(bytes), typeSix));
  EXPECT_EQ(1, DetectNvramBlock(files.Write(bytes), ChipType::Qvk842Series));
}

}  // namespace
}  // namespace q71x
