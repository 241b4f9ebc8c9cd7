#include "bench/quiet_stdout.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace q71x::bench {

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

}  // namespace q71x::bench
