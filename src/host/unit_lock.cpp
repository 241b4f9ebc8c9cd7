// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/host/unit_lock.h"

#include <chrono>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "src/host/utf8_path.h"

namespace q71x {
namespace {

// Another program's look at a lock holds it for a moment only; a taker that meets such a look
// tries again instead of reporting an owner.
constexpr int kTakeTries = 5;
constexpr auto kTakePause = std::chrono::milliseconds(10);

// Keys are unit ids and device paths: readable file names where the text allows, and a digest
// so that two keys that read alike after the clean-up still get files of their own.
std::string FileNameOf(const std::string& key) {
  std::string name;
  for (const char c : key) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.';
    name += plain ? c : '_';
  }
  if (name.size() > 120) {
    name.resize(120);
  }
  std::uint64_t digest = 1469598103934665603ull;
  for (const unsigned char c : key) {
    digest = (digest ^ c) * 1099511628211ull;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  name += '-';
  for (int shift = 60; shift >= 0; shift -= 4) {
    name += kHex[(digest >> shift) & 0xF];
  }
  return name + ".lock";
}

long ParsePid(std::string_view text) {
  long pid = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      break;
    }
    pid = pid * 10 + (c - '0');
    if (pid > 0x7FFFFFFF) {
      return 0;
    }
  }
  return pid;
}

std::filesystem::path& LockFolderSetting() {
  static std::filesystem::path folder;
  return folder;
}

#ifdef _WIN32

// The lock covers one byte far past the text, so that others can still read the holder's id.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

HANDLE OpenLockFile(const std::filesystem::path& file) {
  return ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool LockRange(HANDLE file, DWORD flags) {
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  return ::LockFileEx(file, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

void UnlockRange(HANDLE file) {
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  ::UnlockFileEx(file, 0, 1, 0, &at);
}

long ReadPid(HANDLE file) {
  char text[24] = {};
  DWORD read = 0;
  OVERLAPPED at{};
  if (!::ReadFile(file, text, sizeof text - 1, &read, &at)) {
    return 0;
  }
  return ParsePid(std::string_view(text, read));
}

void WritePid(HANDLE file) {
  const std::string text = std::to_string(::GetCurrentProcessId()) + "\n";
  DWORD written = 0;
  OVERLAPPED at{};
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, &at);
  ::SetFilePointer(file, static_cast<LONG>(text.size()), nullptr, FILE_BEGIN);
  ::SetEndOfFile(file);
}

void CloseLockFile(std::intptr_t handle) {
  HANDLE file = reinterpret_cast<HANDLE>(handle);
  UnlockRange(file);
  ::CloseHandle(file);
}

bool PrepareFolder(const std::filesystem::path& folder, std::string& problem) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    problem = "cannot create " + PathToUtf8(folder) + ": " + error.message();
    return false;
  }
  return true;
}

#else

int OpenLockFile(const std::filesystem::path& file) {
  return ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
}

long ReadPid(int fd) {
  char text[24] = {};
  const ssize_t read = ::pread(fd, text, sizeof text - 1, 0);
  return read > 0 ? ParsePid(std::string_view(text, static_cast<std::size_t>(read))) : 0;
}

void WritePid(int fd) {
  const std::string text = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(fd, text.data(), text.size(), 0);
  }
}

void CloseLockFile(std::intptr_t handle) {
  ::close(static_cast<int>(handle));
}

// A folder others could write to, or swap for a link, would let them take our locks away.
bool OwnPrivateFolder(const std::filesystem::path& folder, std::string& problem) {
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) {
    problem = "cannot use " + PathToUtf8(folder);
    return false;
  }
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
    problem = PathToUtf8(folder) + " is not a private folder of this user";
    return false;
  }
  return true;
}

bool MakePrivateFolder(const std::filesystem::path& folder, std::string& problem) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    problem = "cannot create " + PathToUtf8(folder);
    return false;
  }
  return OwnPrivateFolder(folder, problem);
}

bool PrepareFolder(const std::filesystem::path& folder, std::string& problem) {
  std::error_code error;
  if (std::filesystem::is_directory(std::filesystem::symlink_status(folder, error))) {
    return true;
  }
  std::filesystem::create_directories(folder.parent_path(), error);
  return MakePrivateFolder(folder, problem);
}

#endif

}  // namespace

AdvisoryLock::~AdvisoryLock() {
  Release();
}

AdvisoryLock::AdvisoryLock(AdvisoryLock&& other) noexcept
    : handle_(std::exchange(other.handle_, kNone)) {}

AdvisoryLock& AdvisoryLock::operator=(AdvisoryLock&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = std::exchange(other.handle_, kNone);
  }
  return *this;
}

void AdvisoryLock::Release() {
  if (handle_ != kNone) {
    CloseLockFile(handle_);
    handle_ = kNone;
  }
}

LockAttempt TryLock(const std::filesystem::path& folder, const std::string& key) {
  LockAttempt attempt;
  if (!PrepareFolder(folder, attempt.Problem)) {
    return attempt;
  }
  const std::filesystem::path file = folder / FileNameOf(key);
#ifdef _WIN32
  HANDLE handle = OpenLockFile(file);
  if (handle == INVALID_HANDLE_VALUE) {
    attempt.Problem = "cannot open " + PathToUtf8(file);
    return attempt;
  }
  for (int i = 0; i < kTakeTries; ++i) {
    if (LockRange(handle, LOCKFILE_EXCLUSIVE_LOCK)) {
      WritePid(handle);
      attempt.Lock.handle_ = reinterpret_cast<std::intptr_t>(handle);
      return attempt;
    }
    std::this_thread::sleep_for(kTakePause);
  }
  attempt.HolderPid = ReadPid(handle);
  ::CloseHandle(handle);
#else
  const int fd = OpenLockFile(file);
  if (fd < 0) {
    attempt.Problem = "cannot open " + PathToUtf8(file);
    return attempt;
  }
  for (int i = 0; i < kTakeTries; ++i) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      WritePid(fd);
      attempt.Lock.handle_ = fd;
      return attempt;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      attempt.Problem = "cannot lock " + PathToUtf8(file);
      ::close(fd);
      return attempt;
    }
    std::this_thread::sleep_for(kTakePause);
  }
  attempt.HolderPid = ReadPid(fd);
  ::close(fd);
#endif
  return attempt;
}

LockAttempt WaitForLock(const std::filesystem::path& folder, const std::string& key,
                        std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  for (;;) {
    LockAttempt attempt = TryLock(folder, key);
    if (attempt.Taken() || !attempt.Problem.empty() || std::chrono::steady_clock::now() >= until) {
      return attempt;
    }
  }
}

std::optional<long> LockHolder(const std::filesystem::path& folder, const std::string& key) {
  const std::filesystem::path file = folder / FileNameOf(key);
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(file, error))) {
    return std::nullopt;
  }
#ifdef _WIN32
  HANDLE handle = OpenLockFile(file);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  std::optional<long> holder;
  if (LockRange(handle, 0)) {
    UnlockRange(handle);
  } else {
    holder = ReadPid(handle);
  }
  ::CloseHandle(handle);
#else
  const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    return std::nullopt;
  }
  // A shared look conflicts with an owner's exclusive lock only.
  std::optional<long> holder;
  if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
    ::flock(fd, LOCK_UN);
  } else if (errno == EWOULDBLOCK) {
    holder = ReadPid(fd);
  }
  ::close(fd);
#endif
  return holder;
}

std::filesystem::path DefaultLockFolder() {
#ifdef _WIN32
  const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA");
  if (local == nullptr || *local == 0) {
    return {};
  }
  return std::filesystem::path(local) / "q71xfwtool" / "locks";
#else
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
      runtime != nullptr && runtime[0] == '/') {
    return std::filesystem::path(runtime) / "q71xfwtool" / "locks";
  }
  // A shared /tmp: the user's own folder is made private before anything goes in it, and
  // refused when someone else made it first.
  const std::filesystem::path base =
      std::filesystem::path("/tmp") / ("q71xfwtool-" + std::to_string(::getuid()));
  std::string problem;
  if (!MakePrivateFolder(base, problem)) {
    return {};
  }
  return base / "locks";
#endif
}

const std::filesystem::path& UnitLockFolder() {
  return LockFolderSetting();
}

void SetUnitLockFolder(std::filesystem::path folder) {
  LockFolderSetting() = std::move(folder);
}

}  // namespace q71x
