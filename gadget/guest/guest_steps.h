// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The checks the guest test makes, in the order it makes them. Each prints "PASS ..." or
// "FAIL ..." lines through the StepLog, with what it saw; the harness shows them as they come.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gadget/guest/step_log.h"
#include "src/device/discovery.h"
#include "src/device/platform/platform.h"
#include "src/update/tool_window.h"

namespace q71x::guest {

struct GuestConfig {
  std::string WorkDir = "/tmp";
  std::string DiskGadgetSocket;  // the disk-class bridge the update runs on
  int DiskChipType = 0;
  std::string CdromGadgetSocket;  // empty: no CD-ROM-class bridge in this run
  int CdromChipType = 0;
  int PlainDisks = 1;  // ordinary USB disks that must be left out of the list
};

// One row of the device list as the window's refresh builds it.
struct ListedDevice {
  DeviceEntry Entry;
  std::string DisplayName;  // the list text: bus prefix and INQUIRY bytes 8-31
};

struct IdentifiedBridge {
  std::string Path;
  std::uint16_t Identity = 0;
  ChipState State;
  ProgramSettings Settings;
};

// Waits until the kernel shows `expected` USB storage devices with their sg nodes.
bool WaitForUsbStorage(StepLog& log, std::size_t expected, int timeoutSeconds);
// The window's refresh: both enumerations, INQUIRY for the names, the session-open command and
// the volume letters.
std::vector<ListedDevice> RefreshDeviceList();

bool CheckDiscovery(StepLog& log, const GuestConfig& config, std::vector<ListedDevice>& listed);
// Identifies the chip and finds the flash the way the window's chip check does for serial-flash
// bridges; nullopt when the chip is not the expected one.
std::optional<IdentifiedBridge> CheckIdentification(StepLog& log, const std::string& path,
                                                    int expectedChipType);
// Asks the kernel for a device reset, which usb-storage carries out with the Bulk-Only Mass
// Storage Reset class request; the bridge must answer again afterwards.
bool CheckBulkOnlyReset(StepLog& log, const GuestConfig& config, const std::string& path);
bool CheckUpdate(StepLog& log, const GuestConfig& config, const IdentifiedBridge& bridge);
bool CheckHotPlug(StepLog& log, const GuestConfig& config, Platform& platform);

}  // namespace q71x::guest
