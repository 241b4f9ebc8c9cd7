// SPDX-License-Identifier: GPL-2.0-or-later
#include "bench/peak_memory.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace q71x::bench {
namespace {

struct ChildReport {
  long BaselineKib = 0;
  long PeakKib = 0;
  int HighWaterReset = 0;
  int Marked = 0;
  int Succeeded = 0;
  long WorkKib = 0;
};

long MaxRssKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;  // kilobytes on Linux
}

// Writing 5 to clear_refs sets the high-water mark to the current resident size.
bool ResetHighWaterMark() {
  const int fd = open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  const bool written = write(fd, "5", 1) == 1;
  close(fd);
  return written;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, bytes, size);
    if (n <= 0) {
      return false;
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, void* data, std::size_t size) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = read(fd, bytes, size);
    if (n <= 0) {
      return false;
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

[[noreturn]] void RunChild(int fd, const MeasuredWork& work) {
  ChildReport report;
  const WorkOutcome outcome = work([&report] {
    // Freed set-up memory goes back to the system first; otherwise the run would reuse pages
    // already resident and its own use would not show.
    malloc_trim(0);
    report.HighWaterReset = ResetHighWaterMark() ? 1 : 0;
    report.BaselineKib = MaxRssKib();
    report.Marked = 1;
  });
  report.PeakKib = MaxRssKib();
  report.Succeeded = outcome.Succeeded ? 1 : 0;
  report.WorkKib = outcome.Kib;
  const bool sent = WriteAll(fd, &report, sizeof report);
  close(fd);
  // No exit handlers or stdio flushes of the parent's copies.
  _exit(sent ? 0 : 1);
}

}  // namespace

PeakMemory MeasurePeakMemory(const MeasuredWork& work) {
  PeakMemory result;
  int pipeFds[2] = {-1, -1};
  if (pipe(pipeFds) != 0) {
    result.Problem = "pipe failed";
    return result;
  }
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    result.Problem = "fork failed";
    return result;
  }
  if (child == 0) {
    close(pipeFds[0]);
    RunChild(pipeFds[1], work);
  }
  close(pipeFds[1]);
  ChildReport report;
  const bool received = ReadAll(pipeFds[0], &report, sizeof report);
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    result.Problem = "the measuring child failed";
    return result;
  }
  if (report.Marked == 0) {
    result.Problem = "the run start was never marked";
    return result;
  }
  result.BaselineKib = report.BaselineKib;
  result.PeakKib = report.PeakKib;
  result.HighWaterReset = report.HighWaterReset != 0;
  result.WorkSucceeded = report.Succeeded != 0;
  result.WorkKib = report.WorkKib;
  return result;
}

}  // namespace q71x::bench
