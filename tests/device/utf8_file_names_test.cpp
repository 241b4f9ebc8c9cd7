// SPDX-License-Identifier: GPL-2.0-or-later
// Files the tool writes under names in Greek and CJK letters, which no single Windows ANSI code
// page holds: a trace, a backup, and the refusal of a folder standing at such a name, whose
// reason must name it rather than fail to. Under wine this shows that the names reach the
// system as UTF-16.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "src/device/platform/trace/trace_file.h"
#include "src/host/safe_file_write.h"
#include "src/host/utf8_path.h"
#include "src/update/backup_file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

namespace q71x {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;

TEST(Utf8FileNames, TraceAndBackupAreWrittenWholeAndAFolderAtTheNameIsRefusedByName) {
  TempDir dir;
  const fs::path folder = dir.path() / PathFromUtf8("Αρχεία 文件");
  fs::create_directory(folder);

  const fs::path tracePath = folder / PathFromUtf8("ίχνος_追踪.trace");
  {
    trace::TraceFile trace(tracePath);
    ASSERT_EQ(SafeWriteStatus::Written, trace.Open());
    trace.Stream() << "Q71X-TRACE 1\n";
    ASSERT_EQ(SafeWriteStatus::Written, trace.Finish());
  }
  const std::vector<std::uint8_t> text = ReadFileBytes(tracePath);
  EXPECT_EQ("Q71X-TRACE 1\n", std::string(text.begin(), text.end()));

  // The window and the command line hand the backup's name over as UTF-8.
  const std::string backupName = PathToUtf8(folder / PathFromUtf8("αντίγραφο_备份.bin"));
  const std::vector<std::uint8_t> flash = {0x71, 0x00, 0xa5, 0x5a, 0xff};
  ASSERT_EQ(SafeWriteStatus::Written, WriteBackupFile(backupName, flash.data(), flash.size()));
  EXPECT_EQ(flash, ReadFileBytes(PathFromUtf8(backupName)));

  const fs::path taken = folder / PathFromUtf8("φάκελος_目录");
  fs::create_directory(taken);
  std::string reason;
  EXPECT_EQ(SafeWriteStatus::RefusedSpecial,
            WriteFileSafely(taken, flash.data(), flash.size(), FileAccess::Default, reason));
  EXPECT_NE(std::string::npos, reason.find(PathToUtf8(taken))) << reason;
  EXPECT_TRUE(fs::is_directory(taken));
  // Nothing but the three names in the folder: no temporary file left behind.
  EXPECT_EQ(3, std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

}  // namespace
}  // namespace q71x
