// SPDX-License-Identifier: GPL-2.0-or-later
// q71x-guest-test: runs inside the test VM against the gadgets, through the kernel's usb-storage
// and sg drivers and the tool's own Linux backend, device layer and update procedure.
//
//   q71x-guest-test --disk-socket PATH --disk-chip TYPE [--cdrom-socket PATH --cdrom-chip TYPE]
//                   [--plain-disks N] [--work-dir DIR]
//
// Prints one PASS or FAIL line per check and ends with "N passed, N failed"; the exit status is
// 0 only when nothing failed.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gadget/guest/guest_steps.h"
#include "src/device/platform/linux/linux_platform.h"
#include "src/host/user_dialogs.h"

namespace {

using namespace q71x;
using namespace q71x::guest;

constexpr int kDeviceWaitSeconds = 90;

bool ParseOptions(int argc, char** argv, GuestConfig& config) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    const std::string value = argv[i + 1];
    if (flag == "--disk-socket") {
      config.DiskGadgetSocket = value;
    } else if (flag == "--disk-chip") {
      config.DiskChipType = std::atoi(value.c_str());
    } else if (flag == "--cdrom-socket") {
      config.CdromGadgetSocket = value;
    } else if (flag == "--cdrom-chip") {
      config.CdromChipType = std::atoi(value.c_str());
    } else if (flag == "--plain-disks") {
      config.PlainDisks = std::atoi(value.c_str());
    } else if (flag == "--work-dir") {
      config.WorkDir = value;
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && !config.DiskGadgetSocket.empty() && config.DiskChipType > 0;
}

void RunSteps(StepLog& log, const GuestConfig& config, linux_platform::LinuxPlatform& platform) {
  const std::size_t expected =
      1 + static_cast<std::size_t>(config.PlainDisks) + (config.CdromGadgetSocket.empty() ? 0 : 1);
  if (!WaitForUsbStorage(log, expected, kDeviceWaitSeconds)) {
    return;
  }
  std::vector<ListedDevice> listed;
  CheckDiscovery(log, config, listed);
  const ListedDevice* diskBridge = nullptr;
  for (const ListedDevice& device : listed) {
    if (device.Entry.IsCdromClass == 0 && diskBridge == nullptr) {
      diskBridge = &device;
    } else if (device.Entry.IsCdromClass == 1 && !config.CdromGadgetSocket.empty()) {
      CheckIdentification(log, device.Entry.DevicePath, config.CdromChipType);
    }
  }
  if (diskBridge == nullptr) {
    log.Check(false, "a disk-class bridge to identify and update");
    return;
  }
  const auto bridge = CheckIdentification(log, diskBridge->Entry.DevicePath, config.DiskChipType);
  if (bridge) {
    CheckBulkOnlyReset(log, config, bridge->Path);
    CheckUpdate(log, config, *bridge);
  }
  CheckHotPlug(log, config, platform);
}

}  // namespace

int main(int argc, char** argv) {
  GuestConfig config;
  if (!ParseOptions(argc, argv, config)) {
    std::fputs(
        "usage: q71x-guest-test --disk-socket PATH --disk-chip TYPE [--cdrom-socket PATH "
        "--cdrom-chip TYPE] [--plain-disks N] [--work-dir DIR]\n",
        stderr);
    return 2;
  }
  SetMessageBoxHandler([](const MessageBoxRequest& request) {
    std::printf("      message box \"%s\": \"%s\"\n", request.Caption.c_str(),
                request.Text.c_str());
  });
  linux_platform::LinuxPlatform platform;
  ScopedActivePlatform active(platform);

  StepLog log;
  RunSteps(log, config, platform);
  std::printf("guest: %d passed, %d failed\n", log.Passed(), log.Failed());
  return log.Failed() == 0 && log.Passed() > 0 ? 0 : 1;
}
