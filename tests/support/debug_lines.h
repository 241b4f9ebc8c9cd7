// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The debugger output a procedure writes itself, without the lines the transport adds for each
// command that failed (the bridge refuses commands while its flash is busy, for one).

#include <algorithm>
#include <string>
#include <vector>

namespace q71x::testing {

inline std::vector<std::string> ProcedureDebugLines(const std::vector<std::string>& lines) {
  std::vector<std::string> own;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(own),
               [](const std::string& line) { return line.rfind("Command ", 0) != 0; });
  return own;
}

}  // namespace q71x::testing
