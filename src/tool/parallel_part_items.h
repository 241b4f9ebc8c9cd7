// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The parallel flash parts the operator chooses from in the flash-type box, in the box's order;
// each item's value is the part number the parallel procedures take.

#include <span>

#include "src/tool/window_description.h"

namespace q71x {

std::span<const ComboItem> ParallelFlashPartItems();

}  // namespace q71x
