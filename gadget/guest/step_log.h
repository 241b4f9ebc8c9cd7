// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The guest tests' output: one "PASS ..." or "FAIL ..." line per check, notes indented under
// them, counted for the summary the harness reads.

#include <string>

namespace q71x::guest {

class StepLog {
 public:
  void Note(const std::string& text);
  // Prints PASS or FAIL with `what` and counts it; returns `ok`.
  bool Check(bool ok, const std::string& what);
  int Passed() const { return passed_; }
  int Failed() const { return failed_; }

 private:
  int passed_ = 0;
  int failed_ = 0;
};

}  // namespace q71x::guest
