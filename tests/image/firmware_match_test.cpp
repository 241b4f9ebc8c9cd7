// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/image/firmware_match.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "src/catalog/chip_tables.h"
#include "tests/image/image_files.h"
#include "tests/support/recording_dialogs.h"

namespace q71x {
namespace {

using namespace std::literals;
using testing::ImageFiles;
using testing::kSignature;
using testing::SampleFor;

struct PatchAt {
  std::size_t Offset;
  std::string_view Data;
};

struct MatchCase {
  const char* Name;
  int Type;
  int Revision;
  SampleImageOptions Image;
  std::vector<PatchAt> Patches;
  int Expected;
};

SampleImageOptions Coded(int type, std::string code, bool nvram = false) {
  SampleImageOptions options = SampleFor(type, 1);
  options.FileCode = std::move(code);
  options.NvramBlock = nvram;
  return options;
}

SampleImageOptions WithNvram(int type, int revision) {
  SampleImageOptions options = SampleFor(type, revision);
  options.NvramBlock = true;
  return options;
}

constexpr auto kNoSignature = "\0\0\0\0"sv;

// One file that passes and at least one that fails for the right reason, per rule.
const std::vector<MatchCase>& Cases() {
  static const std::vector<MatchCase> cases = {
      {"type 1 rev 1 takes 5A A5 0F F0", 1, 1, SampleFor(1, 1), {}, 1},
      {"type 1 rev 1 refuses a digit code", 1, 1, Coded(1, "7140"), {}, 0},
      {"type 1 rev 3 takes 7142", 1, 3, Coded(1, "7142"), {}, 1},
      {"type 1 rev 3 refuses 7141", 1, 3, Coded(1, "7141"), {}, 0},
      {"type 1 rev 2 refuses the rev-1 bytes", 1, 2, SampleFor(1, 1), {}, 0},

      {"type 2 takes a file without header", 2, 1, SampleFor(2, 1), {}, 1},
      {"type 2 takes any other code", 2, 1, Coded(2, "8420"), {}, 1},
      {"type 2 refuses a code beginning 71", 2, 1, Coded(2, "7120"), {}, 0},
      {"type 19 refuses a code beginning 71", 19, 1, Coded(19, "7169"), {}, 0},
      {"type 19 takes a file without header", 19, 4, SampleFor(19, 4), {}, 1},

      {"type 3 takes anything", 3, 2, Coded(3, "xxxx"), {{0, kNoSignature}}, 1},
      {"type 11 takes a file without header", 11, 1, Coded(11, "1234"), {{0, kNoSignature}}, 1},
      {"type 15 takes anything", 15, 0, Coded(15, "9999"), {}, 1},
      {"type 16 takes anything", 16, 0, Coded(16, ""), {}, 1},
      {"type 17 takes anything", 17, 0, Coded(17, "7"), {}, 1},
      {"type 18 takes anything", 18, 0, Coded(18, "846"), {}, 1},

      {"type 4 rev 2 takes 7131", 4, 2, Coded(4, "7131"), {}, 1},
      {"type 4 rev 2 refuses 7130", 4, 2, Coded(4, "7130"), {}, 0},
      {"type 4 rev 2 refuses 713 alone", 4, 2, Coded(4, "713"), {}, 0},

      {"type 5 rev 3 takes 7090", 5, 3, Coded(5, "7090"), {}, 1},
      {"type 5 rev 3 takes 709 with any character", 5, 3, Coded(5, "709Z"), {}, 1},
      {"type 5 refuses 7190", 5, 3, Coded(5, "7190"), {}, 0},
      {"type 5 refuses 70", 5, 1, Coded(5, "70"), {}, 0},

      {"type 6 rev 2 takes byte 8 = '1'", 6, 2, SampleFor(6, 2), {}, 1},
      {"type 6 rev 2 refuses byte 8 = 00", 6, 2, SampleFor(6, 2), {{8, "\0"sv}}, 0},
      {"type 6 rev 1 takes byte 8 = 00", 6, 1, SampleFor(6, 1), {{8, "\0"sv}}, 1},
      {"type 6 rev 1 takes byte 8 = '0'", 6, 1, SampleFor(6, 1), {}, 1},
      {"type 6 refuses a header with another code", 6, 1, Coded(6, "8440"), {}, 0},
      {"type 6 takes its header behind an NVRAM block", 6, 3, WithNvram(6, 3), {}, 1},
      {"type 6 reads byte 8 behind the NVRAM block", 6, 2, WithNvram(6, 3), {}, 0},
      {"type 6 refuses another code behind an NVRAM block", 6, 1, Coded(6, "8440", true), {}, 0},

      {"type 7 rev 1 takes q846", 7, 1, SampleFor(7, 1), {}, 1},
      {"type 7 rev 2 takes 8461", 7, 2, SampleFor(7, 2), {}, 1},
      {"type 7 rev 1 refuses 8461", 7, 1, SampleFor(7, 2), {}, 0},
      {"type 7 rev 2 refuses a broken signature", 7, 2, SampleFor(7, 2), {{3, "\0"sv}}, 0},
      {"type 7 rev 3 is never valid", 7, 3, SampleFor(7, 2), {}, 0},

      {"type 8 takes 8440", 8, 1, Coded(8, "8440"), {}, 1},
      {"type 8 refuses its inquiry code 848", 8, 1, Coded(8, "8480"), {}, 0},
      {"type 9 takes 8440", 9, 1, Coded(9, "8440"), {}, 1},
      {"type 9 refuses 8420", 9, 1, Coded(9, "8420"), {}, 0},
      {"type 9 takes 844 behind an NVRAM block", 9, 2, WithNvram(9, 2), {}, 1},
      {"type 9 refuses 842 behind an NVRAM block", 9, 2, Coded(9, "8421", true), {}, 0},
      {"type 9 takes 844 at bytes 4-6 without any signature",
       9,
       1,
       Coded(9, "8440"),
       {{0, kNoSignature}},
       1},
      {"type 9 refuses other bytes 4-6 without any signature",
       9,
       1,
       Coded(9, "8420"),
       {{0, kNoSignature}},
       0},

      {"type 10 takes 962", 10, 5, SampleFor(10, 5), {}, 1},
      {"type 10 refuses 958", 10, 1, Coded(10, "9581"), {}, 0},
      {"type 10 takes 962 behind an NVRAM block", 10, 1, WithNvram(10, 1), {}, 1},
      {"type 11 takes 958", 11, 1, SampleFor(11, 1), {}, 1},
      {"type 11 refuses a header with 962", 11, 1, Coded(11, "9620"), {}, 0},
      {"type 11 refuses 962 behind an NVRAM block", 11, 1, Coded(11, "9620", true), {}, 0},

      {"type 12 takes 926 at 16384", 12, 3, SampleFor(12, 3), {}, 1},
      {"type 12 ignores bytes 2-3 of its signature",
       12,
       3,
       SampleFor(12, 3),
       {{16386, "\0\0"sv}},
       1},
      {"type 12 refuses a header at 0 only",
       12,
       1,
       SampleFor(12, 1),
       {{0,
         "\x55\xAA\xAA\x55"
         "9260"sv},
        {16384, "\0\0"sv}},
       0},
      {"type 12 refuses another code at 16384", 12, 1, Coded(12, "7130"), {}, 0},
      {"type 13 is never valid", 13, 1, SampleFor(13, 1), {}, 0},
      {"type 14 takes 713E at 16384", 14, 2, SampleFor(14, 2), {}, 1},
      {"type 14 refuses 7134 at 16384", 14, 2, Coded(14, "7134"), {}, 0},
      {"type 14 refuses 713E at 0 only",
       14,
       1,
       SampleFor(14, 1),
       {{0,
         "\x55\xAA\xAA\x55"
         "713E"sv},
        {16384, "\0\0"sv}},
       0},

      {"type 0 is never valid", 0, 0, SampleFor(1, 1), {}, 0},
      {"a type outside the table is never valid", 20, 1, SampleFor(3, 1), {}, 0},
  };
  return cases;
}

TEST(FirmwareMatchesChip, EachChipTypeRule) {
  ImageFiles files;
  testing::RecordingDialogs dialogs;
  for (const MatchCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    std::vector<std::uint8_t> bytes = BuildSampleImage(c.Image);
    for (const PatchAt& patch : c.Patches) {
      testing::Patch(bytes, patch.Offset, patch.Data);
    }
    const std::string path = files.Write(bytes);
    const auto identity =
        MakeChipIdentity(static_cast<std::uint8_t>(c.Type), static_cast<std::uint8_t>(c.Revision));
    EXPECT_EQ(c.Expected, FirmwareMatchesChip(path, identity));
  }
  EXPECT_TRUE(dialogs.Boxes().empty());
}

TEST(FirmwareMatchesChip, UnopenableFileShowsTheErrorBox) {
  ImageFiles files;
  for (const std::string& path : {files.Missing(), files.Folder()}) {
    SCOPED_TRACE(path);
    testing::RecordingDialogs dialogs;
    // Type 3 accepts every file it can read: only the open failure can make this 0.
    EXPECT_EQ(0, FirmwareMatchesChip(path, MakeChipIdentity(3, 1)));
    ASSERT_EQ(1u, dialogs.Boxes().size());
    EXPECT_EQ("Open Firmware File Error!!", dialogs.Boxes()[0].Text);
    EXPECT_EQ("Error", dialogs.Boxes()[0].Caption);
  }
}

}  // namespace
}  // namespace q71x
