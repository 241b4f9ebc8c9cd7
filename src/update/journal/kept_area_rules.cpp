// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/journal/kept_area_rules.h"

#include <cstdio>

#include "src/update/df/df_family.h"
#include "src/update/serial/nvram_flash_update.h"
#include "src/update/serial/serial_flash_update.h"
#include "src/update/update_procedure.h"

namespace q71x {
namespace {

struct KeptAreaRule {
  UpdateProcedure Procedure;
  std::uint32_t AreaAddress;
  std::uint32_t Length;
  std::uint32_t EraseAddress;
};

// Taken from the procedures' own constants, so that a procedure that moves its area moves the
// rule with it. The serial-flash copy is erased through 0xF000 on AMIC boot-sector parts.
constexpr KeptAreaRule kKeptAreaRules[] = {
    {UpdateProcedure::UpdateSerialFlash, kConfigCopyAddress, kConfigCopyBytes, kConfigCopyAddress},
    {UpdateProcedure::UpdateSerialFlash, kConfigCopyAddress, kConfigCopyBytes,
     kAmicUpperSectorAddress},
    {UpdateProcedure::UpdateFlashWithNvram, 0, kNvramAreaBytes, 0},
    {UpdateProcedure::UpdateDfFlash, 0, kDfNvramSize, 0},
    {UpdateProcedure::UpdateDf2Flash, kDf2NvramAddress, kDf2NvramSize, kDf2NvramAddress},
};

std::string Described(std::uint32_t address, std::uint32_t length, std::uint32_t eraseAddress) {
  char text[96];
  std::snprintf(text, sizeof text, "%u bytes at 0x%X (erase unit at 0x%X)",
                static_cast<unsigned>(length), static_cast<unsigned>(address),
                static_cast<unsigned>(eraseAddress));
  return text;
}

}  // namespace

std::string KeptAreaProblem(std::string_view procedure, std::uint32_t areaAddress,
                            std::uint32_t length, std::uint32_t eraseAddress) {
  std::string kept;
  for (const KeptAreaRule& rule : kKeptAreaRules) {
    if (UpdateProcedureName(rule.Procedure) != procedure) {
      continue;
    }
    if (rule.AreaAddress == areaAddress && rule.Length == length &&
        rule.EraseAddress == eraseAddress) {
      return {};
    }
    kept +=
        (kept.empty() ? "" : " or ") + Described(rule.AreaAddress, rule.Length, rule.EraseAddress);
  }
  if (kept.empty()) {
    return "names a procedure that keeps no configuration area";
  }
  return "keeps " + Described(areaAddress, length, eraseAddress) + ", where its procedure keeps " +
         kept;
}

}  // namespace q71x
