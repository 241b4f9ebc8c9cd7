#pragma once
// Sends standard output to the null device for the life of the object. The procedures write
// their diagnostic lines there; in a benchmark or the report they would land in the middle of
// the figures.

namespace q71x::bench {

class QuietStdout {
 public:
  QuietStdout();
  ~QuietStdout();
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace q71x::bench
