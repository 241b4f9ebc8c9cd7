// SPDX-License-Identifier: GPL-2.0-or-later
// Files the tool writes: never into a FIFO at the name, private to their owner where they hold
// a device's data, an existing file kept where asked, the root rule judging the folder's owner,
// and the folders the programs keep made private. (The backups' own tests cover a failed write,
// a link or a folder at the name; planted_names_test every writer of the programs.)

#ifdef __linux__
#include "src/host/safe_file_write.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "src/device/platform/trace/trace_file.h"
#include "src/update/backup_file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

namespace q71x {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(0, ::stat(path.c_str(), &info));
  return info.st_mode & 0777u;
}

std::size_t EntriesIn(const fs::path& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// Opening a FIFO for writing waits for a reader: the name must be refused before any open.
TEST(SafeFileWriter, AFifoAtTheNameIsRefusedWithoutOpeningIt) {
  TempDir dir;
  const fs::path fifo = dir.path() / "pipe";
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  std::string reason;
  const std::uint8_t byte = 0;
  EXPECT_EQ(SafeWriteStatus::RefusedSpecial,
            WriteFileSafely(fifo, &byte, 1, FileAccess::Default, reason));
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(1u, EntriesIn(dir.path()));
}

// A trace can hold someone's disk identity and sectors: nobody but its owner may read it, whatever
// the umask would allow.
TEST(TraceFile, IsReadableByItsOwnerOnlyAndAppearsWhenFinished) {
  TempDir dir;
  const fs::path path = dir.path() / "session.trace";
  const mode_t savedMask = ::umask(022);
  trace::TraceFile trace(path);
  const SafeWriteStatus opened = trace.Open();
  ::umask(savedMask);
  ASSERT_EQ(SafeWriteStatus::Written, opened);
  trace.Stream() << "Q71X-TRACE 1\n";
  EXPECT_FALSE(fs::exists(path));

  ASSERT_EQ(SafeWriteStatus::Written, trace.Finish());
  struct stat info {};
  ASSERT_EQ(0, ::stat(path.c_str(), &info));
  EXPECT_EQ(0600u, info.st_mode & 0777u);
  const std::vector<std::uint8_t> text = ReadFileBytes(path);
  EXPECT_EQ("Q71X-TRACE 1\n", std::string(text.begin(), text.end()));
}

// A backup of a disk-kept firmware holds disk sectors: its owner's alone, whatever the umask.
TEST(SafeFileWriter, BackupsAreTheirOwnersAloneAndFoldersTheProgramsKeepToo) {
  TempDir dir;
  const mode_t savedMask = ::umask(022);
  const std::uint8_t sector[4] = {1, 2, 3, 4};
  const SafeWriteStatus written =
      WriteBackupFile((dir.path() / "disk.bak").string(), sector, sizeof sector);
  const fs::path kept = dir.path() / "data" / "tool" / "backups";
  const std::string made = MakeOwnFolder(kept);
  const fs::path widened = dir.path() / "wide";
  fs::create_directory(widened);
  const std::string tightened = MakeOwnFolder(widened, FolderAccess::OwnerOnly);
  ::umask(savedMask);

  ASSERT_EQ(SafeWriteStatus::Written, written);
  EXPECT_EQ(0600u, ModeOf(dir.path() / "disk.bak"));
  ASSERT_EQ("", made);
  EXPECT_EQ(0700u, ModeOf(kept));
  EXPECT_EQ(0700u, ModeOf(kept.parent_path()));
  ASSERT_EQ("", tightened);
  EXPECT_EQ(0700u, ModeOf(widened));
}

TEST(SafeFileWriter, KeepLeavesAFileOfTheNameAndWritesWhereThereIsNone) {
  TempDir dir;
  const fs::path taken = dir.path() / "taken.bin";
  WriteFileBytes(taken, {9, 9});
  const std::uint8_t bytes[3] = {1, 2, 3};
  std::string reason;
  EXPECT_EQ(SafeWriteStatus::AlreadyThere,
            WriteFileSafely(taken, bytes, 3, FileAccess::Default, reason, ExistingFile::Keep));
  EXPECT_EQ(std::vector<std::uint8_t>({9, 9}), ReadFileBytes(taken));
  EXPECT_EQ(SafeWriteStatus::Written,
            WriteFileSafely(dir.path() / "free.bin", bytes, 3, FileAccess::Default, reason,
                            ExistingFile::Keep));
  EXPECT_EQ(std::vector<std::uint8_t>({1, 2, 3}), ReadFileBytes(dir.path() / "free.bin"));
  EXPECT_EQ(2u, EntriesIn(dir.path()));
}

// The root rule is about whose folder it is: root is refused another user's folder with a reason
// that says so, and that user (played here) writes there as ever.
TEST(SafeFileWriter, RootIsRefusedAnotherUsersFolderAndItsOwnerIsNot) {
  TempDir dir;
  const fs::path folder = dir.path() / "theirs";
  fs::create_directory(folder);
  unsigned owner = static_cast<unsigned>(::geteuid());
  if (owner == 0) {
    owner = 4242;
    ASSERT_EQ(0, ::chown(folder.c_str(), owner, owner));
  }
  const std::uint8_t byte = 7;
  std::string reason;
  SetEffectiveUserForTesting(0);
  const SafeWriteStatus asRoot =
      WriteFileSafely(folder / "f", &byte, 1, FileAccess::OwnerOnly, reason);
  const std::string made = MakeOwnFolder(folder / "sub");
  SetEffectiveUserForTesting(owner);
  std::string ownersReason;
  const SafeWriteStatus asOwner =
      WriteFileSafely(folder / "f", &byte, 1, FileAccess::OwnerOnly, ownersReason);
  SetEffectiveUserForTesting(std::nullopt);

  EXPECT_EQ(SafeWriteStatus::RefusedFolder, asRoot);
  EXPECT_NE(std::string::npos, reason.find("runs as root")) << reason;
  EXPECT_NE(std::string::npos, made.find("runs as root")) << made;
  EXPECT_FALSE(fs::exists(folder / "sub"));
  EXPECT_EQ(SafeWriteStatus::Written, asOwner) << ownersReason;
  EXPECT_EQ(1u, EntriesIn(folder));
}

}  // namespace
}  // namespace q71x
#endif  // __linux__
