// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A fresh directory for one test's files, removed with everything in it at the end. Portable
// (no mkdtemp), so the tests also build for Windows.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

namespace q71x::testing {

class TempDir {
 public:
  TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
      path_ = std::filesystem::temp_directory_path() /
              ("q71x-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
      std::error_code ec;
      if (std::filesystem::create_directory(path_, ec)) {
        break;
      }
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace q71x::testing
