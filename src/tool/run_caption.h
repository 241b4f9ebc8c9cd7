// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The window's title while a procedure runs: the caption with the share of the run done, so the
// operator sees how far it is without any status text changing. Both windows show this.

#include <string>

namespace q71x {

// The share a view is given once the procedure has returned: the plain caption again.
inline constexpr int kNoRunPercent = -1;

std::string RunCaption(int percent);

}  // namespace q71x
