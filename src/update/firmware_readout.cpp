// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/firmware_readout.h"

#include "src/device/parallel_flash_commands.h"
#include "src/update/df/df_transfer.h"
#include "src/update/disk/disk_area_location.h"
#include "src/update/disk/disk_firmware_layout.h"
#include "src/update/proven_ranges.h"

namespace q71x {
namespace {

FirmwareReadout Proven(const RangeRead& read, std::uint8_t* buffer, std::uint32_t length) {
  FirmwareReadout readout;
  readout.Result = ReadTwiceAndCompare(read, buffer, length);
  switch (readout.Result) {
    case ProvenReadResult::Agreed:
      break;
    case ProvenReadResult::ReadFailed:
      readout.Problem = "a read failed";
      break;
    case ProvenReadResult::Differed:
      readout.Problem = "two reads returned different bytes";
      break;
    case ProvenReadResult::NoMemory:
      readout.Problem = "no memory for the second read";
      break;
  }
  return readout;
}

FirmwareReadout Refused(std::string why) {
  FirmwareReadout readout;
  readout.Result = ProvenReadResult::ReadFailed;
  readout.Problem = std::move(why);
  return readout;
}

// The area is located as the backup locates it: every answer its position rests on proven.
FirmwareReadout ReadDiskArea(ToolWindow& window, const std::string& devicePath,
                             std::uint8_t* buffer, std::uint32_t length) {
  DiskAreaFacts facts;
  if (const std::string_view refusal = LocateDiskArea(devicePath, window.State().ChipType, facts);
      !refusal.empty()) {
    return Refused(std::string(refusal));
  }
  std::uint64_t start = 0;
  if (const std::string_view refusal = PlaceFwArea(facts, length, start); !refusal.empty()) {
    return Refused(std::string(refusal));
  }
  return Proven(FwAreaRange(devicePath, facts, start), buffer, length);
}

}  // namespace

FirmwareReadout ReadFirmwareProven(UpdateProcedure procedure, ToolWindow& window,
                                   const std::string& devicePath, std::uint8_t* buffer,
                                   std::uint32_t length) {
  switch (procedure) {
    case UpdateProcedure::UpdateSerialFlash:
    case UpdateProcedure::UpdateFlashWithNvram:
    case UpdateProcedure::UpdateSerialFlashSpi:
      return Proven(FlashBlockRange(devicePath, 0), buffer, length);
    case UpdateProcedure::UpdateDfFlash:
    case UpdateProcedure::UpdateDf2Flash:
      return Proven(DfFlashRange(window, devicePath, 0), buffer, length);
    case UpdateProcedure::UpdateParallelFlash:
      // The bridge is switched to its flash first, as for the backup: a command without data.
      if (!window.A1ChipTicked() && ParallelFlashEnable(devicePath) == 0) {
        return Refused("the bridge did not switch to its flash");
      }
      return Proven(ParallelFlashRange(devicePath), buffer, length);
    case UpdateProcedure::UpdateDiskFirmware:
      return ReadDiskArea(window, devicePath, buffer, length);
    case UpdateProcedure::None:
      break;
  }
  return Refused("this device has no firmware memory to read");
}

}  // namespace q71x
