// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The firmware memory read for a comparison, through the reads each family's backup uses and
// proven the same way: read twice, trusted only when both reads succeed and agree. Only read
// commands go to the flash or the disk; nothing is erased, programmed or unprotected.

#include <cstdint>
#include <string>

#include "src/update/proven_read.h"
#include "src/update/tool_window.h"
#include "src/update/update_procedure.h"

namespace q71x {

struct FirmwareReadout {
  ProvenReadResult Result = ProvenReadResult::ReadFailed;
  std::string Problem;  // why the bytes cannot be trusted; empty when Agreed
};

// Reads `length` bytes of the firmware memory of the device `procedure` updates, from address 0
// (from the first sector of the area on the disk-kept families) into `buffer`. On anything but
// Agreed the buffer must not be used.
FirmwareReadout ReadFirmwareProven(UpdateProcedure procedure, ToolWindow& window,
                                   const std::string& devicePath, std::uint8_t* buffer,
                                   std::uint32_t length);

}  // namespace q71x
