// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Texts the procedure tests expect, spelt out here rather than taken from the product's own
// constants, so that a misspelt text in the product fails the tests.

#include <string>

namespace q71x::testing {

inline const std::string kPowerCycle = "Please Turn-Off the Power and Turn-On Again!";
// The update's own box puts a blank before the "!".
inline const std::string kPowerCycleAfterUpdate = "Please Turn-Off the Power and Turn-On Again !";

}  // namespace q71x::testing
