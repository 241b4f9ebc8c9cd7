// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/guest/step_log.h"

#include <cstdio>

namespace q71x::guest {

void StepLog::Note(const std::string& text) {
  std::printf("      %s\n", text.c_str());
  std::fflush(stdout);
}

bool StepLog::Check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "PASS" : "FAIL", what.c_str());
  std::fflush(stdout);
  ++(ok ? passed_ : failed_);
  return ok;
}

}  // namespace q71x::guest
