// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A disk that fills up while a file is written: for the life of the object, writes past `bytes`
// fail as they would on a full disk (EFBIG under RLIMIT_FSIZE, with the signal ignored). Linux
// only; Active() is false elsewhere and the test should skip.

#include <cstdint>

#ifdef __linux__
#include <sys/resource.h>

#include <csignal>
#endif

namespace q71x::testing {

class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(std::uint64_t bytes) {
#ifdef __linux__
    if (::getrlimit(RLIMIT_FSIZE, &saved_) != 0) {
      return;
    }
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = static_cast<rlim_t>(bytes);
    active_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
#else
    (void)bytes;
#endif
  }
  ~ScopedFileSizeLimit() {
#ifdef __linux__
    if (active_) {
      ::setrlimit(RLIMIT_FSIZE, &saved_);
      std::signal(SIGXFSZ, previousHandler_);
    }
#endif
  }
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  bool Active() const {
    return active_;
  }

 private:
  bool active_ = false;
#ifdef __linux__
  rlimit saved_{};
  void (*previousHandler_)(int) = SIG_DFL;
#endif
};

}  // namespace q71x::testing
