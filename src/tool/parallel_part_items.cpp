// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/parallel_part_items.h"

#include <array>

#include "src/catalog/parallel_part_table.h"

namespace q71x {

std::span<const ComboItem> ParallelFlashPartItems() {
  // The catalogue's rows in its order; a part's value is its item number.
  static constexpr auto kParts = [] {
    std::array<ComboItem, kParallelPartCount> items{};
    for (std::size_t i = 0; i < items.size(); ++i) {
      items[i] = {kParallelParts[i].Caption,
                  static_cast<std::uint32_t>(ParallelPartItem(kParallelParts[i].Part))};
    }
    return items;
  }();
  return kParts;
}

}  // namespace q71x
