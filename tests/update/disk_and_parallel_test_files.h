// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Helpers for the procedure tests: a private directory per test for image and backup files, a
// way to run a procedure with that directory as the current one (the default backup names are
// relative to it), and a work buffer that cannot be had.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "src/update/work_buffer.h"
#include "tests/support/file_bytes.h"

namespace q71x::testing {

class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("q71x-pardisk-" + std::to_string(std::random_device{}()) + "-" +
             std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const std::string path = File(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
  }

 private:
  std::filesystem::path path_;
};

class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::filesystem::path& dir)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedCurrentDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
  }
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

 private:
  std::filesystem::path previous_;
};

// For its lifetime the n-th work-buffer request (1 = the next) fails; 0 fails none.
class FailNthWorkBuffer {
 public:
  explicit FailNthWorkBuffer(int nth) {
    previous_ = SetWorkBufferFaultHook(
        [nth, seen = 0](std::size_t) mutable { return nth > 0 && ++seen == nth; });
  }
  ~FailNthWorkBuffer() { SetWorkBufferFaultHook(std::move(previous_)); }
  FailNthWorkBuffer(const FailNthWorkBuffer&) = delete;
  FailNthWorkBuffer& operator=(const FailNthWorkBuffer&) = delete;

 private:
  WorkBufferFaultHook previous_;
};

// Bytes that differ from their neighbours and from 0x00 and 0xFF, so a shifted or truncated copy
// shows.
inline std::vector<std::uint8_t> PatternBytes(std::size_t length, std::uint8_t seed = 1) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 7 + seed + i / 251) % 253 + 1);
  }
  return bytes;
}

}  // namespace q71x::testing
