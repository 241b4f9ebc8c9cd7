// Files the tool writes: never into a FIFO at the name, and traces private to their owner. (The
// backups' own tests cover the rest: a failed write, a link or a folder at the name.)

#ifdef __linux__
#include "src/host/safe_file_write.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "src/device/platform/trace/trace_file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

namespace q71x {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;

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

}  // namespace
}  // namespace q71x
#endif  // __linux__
