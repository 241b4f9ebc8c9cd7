// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Holds back what the procedures print on standard output ("NVRAM O.K." and its kin) for the
// life of a scope: thousands of campaign runs, or a benchmark's figures, would be buried under it.

namespace q71x::sim {

class QuietStdout {
 public:
  QuietStdout();
  ~QuietStdout();
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace q71x::sim
