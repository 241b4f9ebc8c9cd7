// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/catalog/flash_vendor_table.h"

#include <bit>
#include <set>
#include <utility>

namespace q71x {
namespace {

// The bridge's raw channel moves at most this many bytes per command.
constexpr std::uint32_t kLargestProgramUnit = 8192;
constexpr std::uint32_t kSmallPageBytes = 32;

bool PrefixMatches(const JedecPrefix& prefix, const std::uint8_t id[2]) {
  return prefix.Maker != 0 && prefix.Maker == id[0] && (prefix.Next == 0 || prefix.Next == id[1]);
}

bool IsUnit(std::uint32_t bytes) {
  return bytes != 0 && std::has_single_bit(bytes);
}

class VendorTableCheck {
 public:
  void Row(std::size_t index, const FlashVendorRow& row) {
    const std::string name = "vendor row " + std::to_string(index);
    if (RowNumber(row.Vendor) != index) {
      Problem(name + ": out of row-number order");
    }
    if (row.Name.empty() || !names_.insert(row.Name).second) {
      Problem(name + ": name empty or used by another row");
    }
    if (!IsUnit(row.LargeEraseUnit) || !IsUnit(row.SmallEraseUnit) ||
        row.SmallEraseUnit > row.LargeEraseUnit) {
      Problem(name + ": erase units not powers of two, or the small one above the large one");
    }
    if (!IsUnit(row.ProgramUnit) || row.ProgramUnit > kLargestProgramUnit) {
      Problem(name + ": program unit not a power of two the raw channel carries");
    }
    Jedec(name, row);
    Behaviour(name, row);
  }

  std::vector<std::string> Problems() { return std::move(problems_); }

 private:
  void Problem(std::string text) { problems_.push_back(std::move(text)); }

  // Detection takes the first row whose prefix matches: a prefix that also matches another
  // row's would let the row order decide the vendor.
  void Jedec(const std::string& name, const FlashVendorRow& row) {
    for (const JedecPrefix& prefix : row.Jedec) {
      if (prefix.Maker == 0) {
        continue;
      }
      for (const JedecPrefix& other : prefixes_) {
        if (other.Maker == prefix.Maker &&
            (other.Next == 0 || prefix.Next == 0 || other.Next == prefix.Next)) {
          Problem(name + ": JEDEC prefix overlaps another row's");
        }
      }
      prefixes_.push_back(prefix);
    }
  }

  void Behaviour(const std::string& name, const FlashVendorRow& row) {
    if (row.WordProgrammingById && row.Programming != RawProgramming::SstAutoIncrement) {
      Problem(name + ": word programming without auto-increment programming");
    }
    if (row.SmallPageParts && row.ProgramUnit > kSmallPageBytes) {
      Problem(name + ": parts with 32-byte pages programmed in larger pages");
    }
    if (row.UnprotectBeforeHostProgram && !row.UnprotectFirst) {
      Problem(name + ": unprotected by one procedure but not by the others");
    }
    if (row.MarkBitOnFirstBlock && row.WholeErase != WholeAreaErase::WholeFlashMark) {
      Problem(name + ": the vendor bit goes only on the whole-flash mark");
    }
    if (row.Vendor == FlashVendor::Unknown &&
        (row.UnprotectFirst || row.MarkBitOnFirstBlock || row.EraseInHalves || row.ChipEraseOnly ||
         row.Jedec[0].Maker != 0)) {
      Problem(name + ": the unknown vendor carries a vendor's behaviour");
    }
  }

  std::set<std::string_view> names_;
  std::vector<JedecPrefix> prefixes_;
  std::vector<std::string> problems_;
};

}  // namespace

FlashVendor VendorOfJedecId(const std::uint8_t id[2], std::span<const FlashVendorRow> rows) {
  for (const FlashVendorRow& row : rows) {
    for (const JedecPrefix& prefix : row.Jedec) {
      if (PrefixMatches(prefix, id)) {
        return row.Vendor;
      }
    }
  }
  return FlashVendor::Unknown;
}

std::vector<std::string> CheckFlashVendorTable(std::span<const FlashVendorRow> rows) {
  VendorTableCheck check;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    check.Row(i, rows[i]);
  }
  std::vector<std::string> problems = check.Problems();
  if (rows.size() != static_cast<std::size_t>(kFlashVendorCount)) {
    problems.push_back("the vendor table has " + std::to_string(rows.size()) + " rows, not " +
                       std::to_string(kFlashVendorCount));
  }
  return problems;
}

}  // namespace q71x
