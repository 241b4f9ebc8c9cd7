// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/image/file_checksum.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "src/catalog/chip_tables.h"
#include "tests/image/image_files.h"
#include "tests/support/recording_dialogs.h"

namespace q71x {
namespace {

using namespace std::literals;
using testing::ImageFiles;
using testing::Patch;
using testing::SampleFor;

const std::uint16_t kType4 = MakeChipIdentity(4, 6);

// Sums by hand, so the tests do not lean on the code under test.
std::uint8_t SumOf(const std::vector<std::uint8_t>& bytes, std::size_t first, std::size_t last) {
  unsigned sum = 0;
  for (std::size_t i = first; i <= last; ++i) {
    sum += bytes[i];
  }
  return static_cast<std::uint8_t>(sum);
}

std::vector<std::uint8_t> Body(std::size_t length) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
  }
  return bytes;
}

// A late 713 image: code 7135, a stated length at bytes 12-13, non-zero bytes everywhere.
std::vector<std::uint8_t> Late713(std::size_t length, std::uint16_t stated) {
  std::vector<std::uint8_t> bytes = Body(length);
  Patch(bytes, 0,
        "\x55\xAA\xAA\x55"
        "7135"sv);
  bytes[12] = static_cast<std::uint8_t>(stated >> 8);
  bytes[13] = static_cast<std::uint8_t>(stated);
  return bytes;
}

class VerifyFileChecksumTest : public ::testing::Test {
 protected:
  int Verify(const std::vector<std::uint8_t>& bytes, std::uint16_t identity = kType4) {
    return VerifyFileChecksum(files.Write(bytes), identity);
  }
  ImageFiles files;
};

TEST_F(VerifyFileChecksumTest, WorkedExampleAt32767) {
  std::vector<std::uint8_t> bytes(32768, 0);
  bytes[0] = 0x01;
  bytes[1] = 0x02;
  bytes[32767] = 0x03;
  EXPECT_EQ(1, Verify(bytes));
  bytes[32767] = 0x04;
  EXPECT_EQ(0, Verify(bytes));
}

TEST_F(VerifyFileChecksumTest, A65536ByteImageKeepsItsSumIn65535) {
  std::vector<std::uint8_t> bytes = Body(65536);
  bytes[65535] = SumOf(bytes, 0, 65534);
  EXPECT_EQ(1, Verify(bytes));

  auto changed = bytes;
  ++changed[65535];
  EXPECT_EQ(0, Verify(changed));
  changed = bytes;
  ++changed[40000];  // covered by the sum
  EXPECT_EQ(0, Verify(changed));
}

TEST_F(VerifyFileChecksumTest, OtherLengthsSumAllButTheLastByteInto32767) {
  // 40000 bytes: byte 32767 is itself inside the sum, so the other bytes must add up to 0.
  std::vector<std::uint8_t> bytes(40000, 0);
  bytes[32767] = 0x42;
  bytes[39999] = 0x55;  // the last byte is never summed
  EXPECT_EQ(1, Verify(bytes));
  bytes[39998] = 0x01;
  EXPECT_EQ(0, Verify(bytes));
  bytes[100] = 0xFF;
  EXPECT_EQ(1, Verify(bytes));

  // 65537 bytes is not the long form: the sum goes to 32767, not 65535.
  std::vector<std::uint8_t> longer(65537, 0);
  longer[65535] = 0x10;
  longer[65534] = 0xF0;
  EXPECT_EQ(1, Verify(longer));
  longer[65535] = 0x11;
  EXPECT_EQ(0, Verify(longer));
}

TEST_F(VerifyFileChecksumTest, ShortOrUnreadableFilesFail) {
  std::vector<std::uint8_t> bytes(32767, 0);  // all zero: any sum would match
  EXPECT_EQ(0, Verify(bytes));
  EXPECT_EQ(0, Verify({}));
  testing::RecordingDialogs dialogs;
  EXPECT_EQ(0, VerifyFileChecksum(files.Missing(), kType4));
  EXPECT_EQ(0, VerifyFileChecksum(files.Folder(), kType4));
  EXPECT_TRUE(dialogs.Boxes().empty());
}

TEST_F(VerifyFileChecksumTest, Late713SumStopsAtTheEndMarker) {
  std::vector<std::uint8_t> bytes = Late713(32768, 0x4000);
  Patch(bytes, 0x2000, "ENDSTR\x55\xAA"sv);
  bytes[32767] = SumOf(bytes, 0, 0x2007);
  EXPECT_EQ(1, Verify(bytes));

  auto outside = bytes;
  ++outside[0x2008];
  ++outside[0x3FFF];
  EXPECT_EQ(1, Verify(outside));
  auto inside = bytes;
  ++inside[0x1234];
  EXPECT_EQ(0, Verify(inside));
}

TEST_F(VerifyFileChecksumTest, Late713SumRunsToTheStatedLengthWithoutMarker) {
  std::vector<std::uint8_t> bytes = Late713(32768, 0x4000);
  bytes[32767] = SumOf(bytes, 0, 0x3FFF);
  EXPECT_EQ(1, Verify(bytes));
  auto outside = bytes;
  ++outside[0x4000];
  EXPECT_EQ(1, Verify(outside));
  auto inside = bytes;
  ++inside[0x3FFF];
  EXPECT_EQ(0, Verify(inside));
  // A marker past the stated length does not count.
  auto lateMarker = bytes;
  Patch(lateMarker, 0x3FFC, "ENDSTR\x55\xAA"sv);
  lateMarker[32767] = SumOf(lateMarker, 0, 0x3FFF);
  EXPECT_EQ(1, Verify(lateMarker));
}

TEST_F(VerifyFileChecksumTest, OnlyRevisionCharacters3To9StateALength) {
  struct Case {
    char Revision;
    bool Stated;
  };
  for (const Case c :
       {Case{'2', false}, Case{'3', true}, Case{'9', true}, Case{':', false}, Case{'E', false}}) {
    SCOPED_TRACE(c.Revision);
    std::vector<std::uint8_t> bytes = Late713(32768, 0x1000);
    bytes[7] = static_cast<std::uint8_t>(c.Revision);
    bytes[32767] = c.Stated ? SumOf(bytes, 0, 0x0FFF) : SumOf(bytes, 0, 32766);
    EXPECT_EQ(1, Verify(bytes));
    bytes[32767] = c.Stated ? SumOf(bytes, 0, 32766) : SumOf(bytes, 0, 0x0FFF);
    EXPECT_EQ(0, Verify(bytes));
  }
}

TEST_F(VerifyFileChecksumTest, MarkerAfterAPartialMarkerIsFoundWhereItStands) {
  std::vector<std::uint8_t> bytes = Late713(32768, 0x4000);
  Patch(bytes, 0x2000, "ENDSTRENDSTR\x55\xAA"sv);  // the marker starts at 0x2006
  bytes[32767] = SumOf(bytes, 0, 0x200D);
  EXPECT_EQ(1, Verify(bytes));
}

// A stated length the file does not have means the image was cut short: it fails, whatever
// byte 32767 holds and even when a marker stands inside the file.
TEST_F(VerifyFileChecksumTest, StatedLengthBeyondTheFileFails) {
  std::vector<std::uint8_t> bytes = Late713(32768, 0x8001);
  for (std::size_t last : {std::size_t{32766}, std::size_t{32767}}) {
    bytes[32767] = SumOf(bytes, 0, last);
    EXPECT_EQ(0, Verify(bytes));
  }
  Patch(bytes, 0x2000, "ENDSTR\x55\xAA"sv);
  bytes[32767] = SumOf(bytes, 0, 0x2007);
  EXPECT_EQ(0, Verify(bytes));

  // Up to the file's own length the stated length is honoured.
  auto whole = Late713(40000, 40000);
  whole[32767] = 0;
  whole[39999] = 0;
  whole[39999] = static_cast<std::uint8_t>(-SumOf(whole, 0, 39999));
  EXPECT_EQ(1, Verify(whole));
}

TEST_F(VerifyFileChecksumTest, FileLongerThanItsStatedLengthSumsOnlyThatLength) {
  std::vector<std::uint8_t> bytes = Late713(65536, 0x8000);
  bytes[65535] = SumOf(bytes, 0, 0x7FFF);
  EXPECT_EQ(1, Verify(bytes));
  auto changedTail = bytes;
  for (std::size_t i = 0x8000; i < 65535; i += 1000) {
    ++changedTail[i];
  }
  EXPECT_EQ(1, Verify(changedTail));
  auto changedCode = bytes;
  ++changedCode[0x7FFF];
  EXPECT_EQ(0, Verify(changedCode));
}

TEST_F(VerifyFileChecksumTest, NvramBlockImagesOfTheChipAreNotSummed) {
  SampleImageOptions options = SampleFor(9, 1);
  options.NvramBlock = true;
  options.Checksum = false;
  const std::string path = files.Sample(options);
  EXPECT_EQ(1, VerifyFileChecksum(path, MakeChipIdentity(9, 1)));
  // The same file for a chip whose code it does not carry is summed, and fails.
  EXPECT_EQ(0, VerifyFileChecksum(path, MakeChipIdentity(6, 1)));
  // Even a block image too short for a checksum passes for its chip.
  options.Size = 5000;
  EXPECT_EQ(1, VerifyFileChecksum(files.Sample(options), MakeChipIdentity(9, 1)));
}

struct MarkerCase {
  const char* Name;
  std::string_view Data;
  std::size_t Length;
  std::size_t Expected;
};

TEST(FindEndMarker, FirstWholeMarkerWithinLength) {
  const std::vector<MarkerCase> cases = {
      {"none", "abcdefghijklmnop"sv, 16, 16},
      {"empty", ""sv, 0, 0},
      {"at the start",
       "ENDSTR\x55\xAA"
       "xyz"sv,
       11, 8},
      {"ends exactly at length", "abENDSTR\x55\xAA"sv, 10, 10},
      {"cut by length", "abENDSTR\x55\xAA"sv, 9, 9},
      {"after a partial marker", "ENDSTRENDSTR\x55\xAA"sv, 14, 14},
      {"after a partial marker, then more",
       "xENDSTRENDSTR\x55\xAA"
       "ENDSTR\x55\xAA"sv,
       23, 15},
      {"first of two",
       "ENDSTR\x55\xAA"
       "ENDSTR\x55\xAA"sv,
       16, 8},
      {"wrong tail",
       "ENDSTR\xAA\x55"
       "abcd"sv,
       12, 12},
      {"repeated start letters", "EENDSTR\x55\xAAz"sv, 10, 9},
  };
  for (const MarkerCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.Expected,
              FindEndMarker(reinterpret_cast<const std::uint8_t*>(c.Data.data()), c.Length));
  }
}

}  // namespace
}  // namespace q71x
