// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A FIFO at a file name, for readers that must refuse it instead of waiting for a writer that
// never comes. Linux only; Made() is false elsewhere and the test should skip.

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#ifdef __linux__
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace q71x::testing {

class TestFifo {
 public:
  explicit TestFifo(std::filesystem::path path) : path_(std::move(path)) {
#ifdef __linux__
    made_ = ::mkfifo(path_.c_str(), 0600) == 0;
#endif
  }
  bool Made() const {
    return made_;
  }
  const std::filesystem::path& Path() const {
    return path_;
  }

  // Runs `use` on a thread of its own; true when it returned within `limit`. A call still
  // waiting on the FIFO then is released, so the test fails instead of hanging: a reader by a
  // writer that opens and closes it at once, a writer by a reader that drains it until the call
  // returns (closing it earlier would kill the process with SIGPIPE).
  bool ReturnsWithin(std::chrono::milliseconds limit, const std::function<void()>& use) const {
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread runner([&] {
      use();
      done.set_value();
    });
    const bool inTime = finished.wait_for(limit) == std::future_status::ready;
#ifdef __linux__
    int drain = -1;
    while (finished.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
      if (const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) {
        ::close(fd);
      }
      if (drain < 0) {
        drain = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
      }
      char bytes[4096];
      while (drain >= 0 && ::read(drain, bytes, sizeof bytes) > 0) {
      }
    }
    if (drain >= 0) {
      ::close(drain);
    }
#endif
    runner.join();
    return inTime;
  }

 private:
  std::filesystem::path path_;
  bool made_ = false;
};

}  // namespace q71x::testing
