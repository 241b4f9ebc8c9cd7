// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/run_claim.h"

#include <algorithm>

#include "src/update/update_texts.h"

namespace q71x {
namespace {

// Texts only the parallel-flash and disk procedures use; they keep them inside their own files.
constexpr std::string_view kProgramAndCompareSuccess = "Programming & Compare Success!!";
constexpr std::string_view kPartErased = "Erase All success!!";
constexpr std::string_view kEraseDiskSuccess = "Erase all data in HDD success!!";

constexpr std::string_view kProgrammed[] = {kProgrammingSuccessText};
constexpr std::string_view kErased[] = {kEraseAllSuccessText};
constexpr std::string_view kBackedUp[] = {kBackupSuccessText};
constexpr std::string_view kParallelProgrammed[] = {kProgramAndCompareSuccess};
constexpr std::string_view kParallelErased[] = {kPartErased};
constexpr std::string_view kDiskErased[] = {kEraseDiskSuccess};

}  // namespace

std::span<const std::string_view> SuccessTextsFor(UpdateProcedure procedure,
                                                  EngineeringAction action) {
  if (procedure == UpdateProcedure::None) {
    return {};
  }
  switch (action) {
    case EngineeringAction::Update:
      return procedure == UpdateProcedure::UpdateParallelFlash
                 ? std::span<const std::string_view>(kParallelProgrammed)
                 : std::span<const std::string_view>(kProgrammed);
    case EngineeringAction::EraseOnly:
      if (procedure == UpdateProcedure::UpdateParallelFlash) {
        return kParallelErased;
      }
      return procedure == UpdateProcedure::UpdateDiskFirmware
                 ? std::span<const std::string_view>(kDiskErased)
                 : std::span<const std::string_view>(kErased);
    case EngineeringAction::BackupOnly:
      return kBackedUp;
  }
  return {};
}

bool PowerCycleBoxClaimsSuccess(UpdateProcedure procedure, EngineeringAction action) {
  if (procedure == UpdateProcedure::None || procedure == UpdateProcedure::UpdateDf2Flash) {
    return false;  // DF2: the box follows every programming run that opened the file
  }
  return !(procedure == UpdateProcedure::UpdateParallelFlash &&
           action == EngineeringAction::EraseOnly);
}

bool IsPowerCycleBox(const std::string& text) {
  return text == kPowerCycleText || text == kPowerCycleAfterUpdateText;
}

bool RunClaimsSuccess(UpdateProcedure procedure, EngineeringAction action,
                      const std::string& finalStatus, const std::vector<std::string>& boxes) {
  const std::span<const std::string_view> success = SuccessTextsFor(procedure, action);
  const bool successText = std::any_of(success.begin(), success.end(),
                                       [&](std::string_view text) { return text == finalStatus; });
  const bool boxShown = std::any_of(boxes.begin(), boxes.end(), IsPowerCycleBox);
  return successText || (PowerCycleBoxClaimsSuccess(procedure, action) && boxShown);
}

}  // namespace q71x
