#include "src/update/durable_file.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace q71x {
namespace {

std::string SystemReason(int error) {
  return std::generic_category().message(error);
}

#ifdef _WIN32
int OpenForWriting(const std::filesystem::path& file) {
  return ::_wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int WriteSome(int fd, const std::uint8_t* data, std::size_t length) {
  return ::_write(fd, data, static_cast<unsigned>(length));
}
int FlushToDisk(int fd) {
  return ::_commit(fd);
}
int CloseFile(int fd) {
  return ::_close(fd);
}
// MoveFileEx replaces the target in one step; write-through returns once the rename is on disk.
std::string ReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return "cannot rename into place (error " + std::to_string(GetLastError()) + ")";
  }
  return {};
}
#else
int OpenForWriting(const std::filesystem::path& file) {
  return ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
}
int WriteSome(int fd, const std::uint8_t* data, std::size_t length) {
  return static_cast<int>(::write(fd, data, length));
}
int FlushToDisk(int fd) {
  return ::fsync(fd);
}
int CloseFile(int fd) {
  return ::close(fd);
}
// rename() replaces the target atomically; the folder is flushed so that the new name is on disk.
std::string ReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    return "cannot rename into place: " + SystemReason(errno);
  }
  const int folder = ::open(to.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    return "cannot open the folder to flush it: " + SystemReason(errno);
  }
  const int flushed = ::fsync(folder);
  const int error = errno;
  ::close(folder);
  return flushed == 0 ? std::string() : "cannot flush the folder: " + SystemReason(error);
}
#endif

std::string WriteAndFlush(const std::filesystem::path& file,
                          const std::vector<std::uint8_t>& bytes) {
  const int fd = OpenForWriting(file);
  if (fd < 0) {
    return "cannot create " + file.string() + ": " + SystemReason(errno);
  }
  std::size_t written = 0;
  while (written < bytes.size()) {
    const int n = WriteSome(fd, bytes.data() + written, bytes.size() - written);
    if (n <= 0) {
      const int error = errno;
      CloseFile(fd);
      return "cannot write " + file.string() + ": " + SystemReason(error);
    }
    written += static_cast<std::size_t>(n);
  }
  if (FlushToDisk(fd) != 0) {
    const int error = errno;
    CloseFile(fd);
    return "cannot flush " + file.string() + ": " + SystemReason(error);
  }
  if (CloseFile(fd) != 0) {
    return "cannot close " + file.string() + ": " + SystemReason(errno);
  }
  return {};
}

}  // namespace

std::string WriteFileDurably(const std::filesystem::path& file,
                             const std::vector<std::uint8_t>& bytes) {
  std::filesystem::path temporary = file;
  temporary += ".tmp";
  if (std::string error = WriteAndFlush(temporary, bytes); !error.empty()) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return error;
  }
  if (std::string error = ReplaceFile(temporary, file); !error.empty()) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return error;
  }
  return {};
}

}  // namespace q71x
