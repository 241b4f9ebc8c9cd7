// SPDX-License-Identifier: GPL-2.0-or-later
// Names the chip check is handed that hold no image: a FIFO or device is refused without being
// opened (the window would wait on it), and a file larger than the chip's firmware memory is no
// firmware of that chip.

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "src/catalog/chip_tables.h"
#include "src/image/file_checksum.h"
#include "src/image/firmware_match.h"
#include "src/image/nvram_block.h"
#include "tests/image/image_files.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/test_fifo.h"

namespace q71x {
namespace {

using testing::ImageFiles;
using testing::SampleFor;

TEST(ImageFileNames, AFifoIsRefusedByEveryReaderWithoutWaitingForAWriter) {
  ImageFiles files;
  const testing::TestFifo fifo(files.Folder() + "/pipe.bin");
  if (!fifo.Made()) {
    GTEST_SKIP() << "no FIFOs on this system";
  }
  const std::string path = fifo.Path().string();
  testing::RecordingDialogs dialogs;
  // Type 3 takes every file it can read, so only the refusal can make the match 0.
  int matches = -1;
  int checksum = -1;
  int nvram = -1;

  EXPECT_TRUE(fifo.ReturnsWithin(std::chrono::seconds(3), [&] {
    matches = FirmwareMatchesChip(path, MakeChipIdentity(3, 1));
    checksum = VerifyFileChecksum(path, MakeChipIdentity(3, 1));
    nvram = DetectNvramBlock(path, ChipType::Qvk842Series);
  }));

  EXPECT_EQ(0, matches);
  EXPECT_EQ(0, checksum);
  EXPECT_EQ(0, nvram);
  ASSERT_EQ(1u, dialogs.Boxes().size());
  EXPECT_EQ("Open Firmware File Error!!", dialogs.Boxes()[0].Text);
}

TEST(ImageFileNames, AFileLargerThanTheChipsFirmwareMemoryIsNoImageOfIt) {
  ImageFiles files;
  testing::RecordingDialogs dialogs;
  // The parallel-flash bridges hold 64 KB.
  std::vector<std::uint8_t> bytes = BuildSampleImage(SampleFor(2, 1, 0x10000));
  ASSERT_EQ(1, FirmwareMatchesChip(files.Write(bytes), MakeChipIdentity(2, 1)));
  bytes.push_back(0);
  EXPECT_EQ(0, FirmwareMatchesChip(files.Write(bytes), MakeChipIdentity(2, 1)));
  // The same bytes fit a serial flash.
  EXPECT_EQ(1, FirmwareMatchesChip(files.Write(bytes), MakeChipIdentity(3, 1)));
  // Readable, only too large: the chip check's mismatch warning speaks, not an open error.
  EXPECT_TRUE(dialogs.Boxes().empty());
}

}  // namespace
}  // namespace q71x
