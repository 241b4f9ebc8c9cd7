// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/run_volume.h"

namespace q71x::cli {
namespace {

// Passes over the firmware, in halves: what each procedure reads and writes of it, besides the
// few bytes of its status and identification commands. A backup reads the firmware twice (the
// second read proves the first); an update writes it and reads back what it verifies, and some
// families keep or stage an area on the way; an erase reads back what it must find blank.
int HalfPasses(EngineeringAction action, UpdateProcedure procedure) {
  const bool disk = procedure == UpdateProcedure::UpdateDiskFirmware;
  switch (action) {
    case EngineeringAction::BackupOnly:
      return 4;
    case EngineeringAction::EraseOnly:
      return disk ? 4 : 2;
    case EngineeringAction::Update:
      break;
  }
  switch (procedure) {
    case UpdateProcedure::None:
      return 0;
    case UpdateProcedure::UpdateSerialFlash:
      return 3;
    case UpdateProcedure::UpdateFlashWithNvram:
      return 5;
    case UpdateProcedure::UpdateParallelFlash:
      return 6;
    case UpdateProcedure::UpdateDf2Flash:
      return 2;
    case UpdateProcedure::UpdateSerialFlashSpi:
    case UpdateProcedure::UpdateDfFlash:
    case UpdateProcedure::UpdateDiskFirmware:
      return 4;
  }
  return 4;
}

}  // namespace

std::uint64_t ExpectedRunBytes(EngineeringAction action, UpdateProcedure procedure,
                               std::uint32_t firmwareSize) {
  return static_cast<std::uint64_t>(firmwareSize) *
         static_cast<std::uint64_t>(HalfPasses(action, procedure)) / 2;
}

}  // namespace q71x::cli
