// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/catalog/parallel_part_table.h"

#include <set>
#include <utility>

namespace q71x {
namespace {

// The bridge sends 16 address lines; 64 KB is all it reaches.
constexpr std::uint32_t kAddressSpace = 65536;

}  // namespace

std::vector<std::string> CheckParallelPartTable(std::span<const ParallelPartRow> rows) {
  std::vector<std::string> problems;
  std::set<std::string_view> captions;
  std::set<std::pair<std::uint8_t, std::uint8_t>> ids;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ParallelPartRow& row = rows[i];
    const std::string name = "part row " + std::to_string(i);
    if (ParallelPartItem(row.Part) != static_cast<int>(i)) {
      problems.push_back(name + ": out of list order");
    }
    if (row.Caption.empty() || !captions.insert(row.Caption).second) {
      problems.push_back(name + ": caption empty or shown by another item");
    }
    if (row.MakerId == 0 || !ids.insert({row.MakerId, row.DeviceId}).second) {
      problems.push_back(name + ": no maker id, or the ids of another part");
    }
    // Each sequence step goes to one of the two addresses; equal or missing ones would make
    // every sequence a string of writes to one cell.
    if (row.FirstUnlock == 0 || row.SecondUnlock == 0 || row.FirstUnlock == row.SecondUnlock) {
      problems.push_back(name + ": unlock addresses missing or equal");
    }
    if (row.SizeBytes == 0 || row.SizeBytes > kAddressSpace) {
      problems.push_back(name + ": size beyond what the bridge addresses");
    }
  }
  if (rows.size() != static_cast<std::size_t>(kParallelPartCount)) {
    problems.push_back("the part table has " + std::to_string(rows.size()) + " rows, not " +
                       std::to_string(kParallelPartCount));
  }
  return problems;
}

}  // namespace q71x
