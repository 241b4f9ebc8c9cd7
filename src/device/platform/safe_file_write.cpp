#include "src/device/platform/safe_file_write.h"

#include "src/device/platform/utf8_path.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <random>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace q71x {
namespace fs = std::filesystem;
namespace {

#ifdef _WIN32
int CreateExclusive(const fs::path& path, FileAccess) {
  // Windows files take their access from the folder's list; the user's own folders are private.
  return ::_wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const char* data, std::size_t size) {
  return ::_write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}
bool FlushToDisk(int fd) {
  return ::_commit(fd) == 0;
}
bool CloseFile(int fd) {
  return ::_close(fd) == 0;
}
std::string RenameOver(const fs::path& from, const fs::path& to) {
  if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return {};
  }
  return std::system_category().message(static_cast<int>(::GetLastError()));
}
#else
int CreateExclusive(const fs::path& path, FileAccess access) {
  const mode_t mode = access == FileAccess::OwnerOnly ? 0600 : 0666;
  return ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, mode);
}
long WriteSome(int fd, const char* data, std::size_t size) {
  return static_cast<long>(::write(fd, data, size));
}
bool FlushToDisk(int fd) {
  return ::fsync(fd) == 0;
}
bool CloseFile(int fd) {
  return ::close(fd) == 0;
}
std::string RenameOver(const fs::path& from, const fs::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    return std::generic_category().message(errno);
  }
  // The new name is only as durable as the folder entry that holds it.
  const fs::path folder = to.parent_path().empty() ? fs::path(".") : to.parent_path();
  if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return {};
}
#endif

std::string ErrnoText() {
  return std::generic_category().message(errno);
}

// Six letters that make the temporary name unlikely to be taken; a taken one is simply retried.
std::string RandomSuffix() {
  static std::atomic<unsigned> counter{0};
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::minstd_rand generator(static_cast<unsigned>(
      std::chrono::steady_clock::now().time_since_epoch().count() + 7919 * counter++));
  std::string suffix(6, 'a');
  for (char& c : suffix) {
    c = kLetters[generator() % (sizeof(kLetters) - 1)];
  }
  return suffix;
}

}  // namespace

SafeFileWriter::SafeFileWriter(fs::path target, FileAccess access)
    : target_(std::move(target)), access_(access) {}

SafeFileWriter::~SafeFileWriter() {
  if (!committed_) {
    Discard();
  }
}

void SafeFileWriter::Discard() {
  if (fd_ >= 0) {
    CloseFile(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
    temporary_.clear();
  }
}

SafeWriteStatus SafeFileWriter::Fail(SafeWriteStatus status, const std::string& what) {
  reason_ = what;
  failed_ = true;
  Discard();
  return status;
}

SafeWriteStatus SafeFileWriter::Open() {
  std::error_code error;
  const fs::file_status found = fs::symlink_status(target_, error);
  if (found.type() == fs::file_type::symlink) {
    return Fail(SafeWriteStatus::RefusedLink,
                PathToUtf8(target_) + " is a symbolic link; it is not followed");
  }
  if (found.type() != fs::file_type::not_found && found.type() != fs::file_type::regular &&
      found.type() != fs::file_type::none) {
    return Fail(SafeWriteStatus::RefusedSpecial,
                PathToUtf8(target_) + " is not a plain file (a folder, FIFO, device or socket)");
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = target_;
    candidate += ".partial-" + RandomSuffix();
    fd_ = CreateExclusive(candidate, access_);
    if (fd_ >= 0) {
      temporary_ = candidate;
      return SafeWriteStatus::Written;
    }
    if (errno != EEXIST) {
      break;
    }
  }
  return Fail(SafeWriteStatus::NotCreated,
              "cannot create a file beside " + PathToUtf8(target_) + ": " + ErrnoText());
}

bool SafeFileWriter::Write(const void* data, std::size_t size) {
  if (failed_ || fd_ < 0) {
    return false;
  }
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    const long written = WriteSome(fd_, next, size);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      reason_ = "writing " + PathToUtf8(temporary_) + " failed: " + ErrnoText();
      failed_ = true;
      return false;
    }
    next += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

SafeWriteStatus SafeFileWriter::Commit() {
  if (failed_ || fd_ < 0) {
    const std::string why = reason_.empty() ? "the file was never opened" : reason_;
    return Fail(SafeWriteStatus::Incomplete, why);
  }
  if (!FlushToDisk(fd_)) {
    return Fail(SafeWriteStatus::Incomplete,
                "flushing " + PathToUtf8(temporary_) + " failed: " + ErrnoText());
  }
  const int fd = std::exchange(fd_, -1);
  if (!CloseFile(fd)) {
    return Fail(SafeWriteStatus::Incomplete,
                "closing " + PathToUtf8(temporary_) + " failed: " + ErrnoText());
  }
  if (const std::string why = RenameOver(temporary_, target_); !why.empty()) {
    return Fail(SafeWriteStatus::Incomplete,
                "putting " + PathToUtf8(temporary_) + " in place failed: " + why);
  }
  committed_ = true;
  temporary_.clear();
  return SafeWriteStatus::Written;
}

SafeWriteStatus WriteFileSafely(const fs::path& target, const void* data, std::size_t size,
                                FileAccess access, std::string& reason) {
  SafeFileWriter writer(target, access);
  SafeWriteStatus status = writer.Open();
  if (status == SafeWriteStatus::Written) {
    writer.Write(data, size);
    status = writer.Commit();
  }
  reason = writer.Reason();
  return status;
}

}  // namespace q71x
