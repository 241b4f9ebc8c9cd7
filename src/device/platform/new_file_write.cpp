// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/new_file_write.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "src/device/platform/utf8_path.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace q71x {
namespace {

#ifdef _WIN32
int CreateNew(const std::filesystem::path& path) {
  return ::_wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const char* data, std::size_t size) {
  return ::_write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}
bool FlushAndClose(int fd) {
  const bool flushed = ::_commit(fd) == 0;
  return ::_close(fd) == 0 && flushed;
}
#else
int CreateNew(const std::filesystem::path& path) {
  // With O_EXCL a symbolic link at the name counts as taken; it is never followed.
  return ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
}
long WriteSome(int fd, const char* data, std::size_t size) {
  return static_cast<long>(::write(fd, data, size));
}
bool FlushAndClose(int fd) {
  const bool flushed = ::fsync(fd) == 0;
  return ::close(fd) == 0 && flushed;
}
#endif

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const long written = WriteSome(fd, data, size);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

NewFileStatus WriteNewFile(const std::filesystem::path& path, const void* data, std::size_t size,
                           std::string& reason) {
  const int fd = CreateNew(path);
  if (fd < 0) {
    const int error = errno;
    reason = PathToUtf8(path) + ": " + std::generic_category().message(error);
    return error == EEXIST ? NewFileStatus::Exists : NewFileStatus::Failed;
  }
  const bool written = WriteAll(fd, static_cast<const char*>(data), size);
  const int error = errno;
  if (!FlushAndClose(fd) || !written) {
    reason = "writing " + PathToUtf8(path) +
             " failed: " + std::generic_category().message(written ? errno : error);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return NewFileStatus::Failed;
  }
  return NewFileStatus::Written;
}

}  // namespace q71x
