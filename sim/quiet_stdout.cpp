// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/quiet_stdout.h"

#include <cstdio>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace q71x::sim {

#if defined(__unix__) || defined(__APPLE__)
QuietStdout::QuietStdout() {
  std::fflush(stdout);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) {
    return;
  }
  saved_ = dup(STDOUT_FILENO);
  if (saved_ >= 0) {
    dup2(null, STDOUT_FILENO);
  }
  close(null);
}

QuietStdout::~QuietStdout() {
  if (saved_ < 0) {
    return;
  }
  std::fflush(stdout);
  dup2(saved_, STDOUT_FILENO);
  close(saved_);
}
#else
// Elsewhere the lines simply stay in the output.
QuietStdout::QuietStdout() = default;
QuietStdout::~QuietStdout() = default;
#endif

}  // namespace q71x::sim
