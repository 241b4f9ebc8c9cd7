// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/parallel_part_items.h"

#include <array>

namespace q71x {

std::span<const ComboItem> ParallelFlashPartItems() {
  static constexpr std::array<ComboItem, 3> kParts = {{
      {"ATMELAT 49BV512", 0},
      {"PMC OM39LV512", 1},
      {"SST SST39LF512", 2},
  }};
  return kParts;
}

}  // namespace q71x
