// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/guest/guest_steps.h"

#include <fcntl.h>
#include <poll.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "gadget/guest/gadget_client.h"
#include "gadget/guest/hotplug_debounce.h"
#include "src/catalog/chip_tables.h"
#include "src/device/identification.h"
#include "src/device/platform/linux/sysfs_scan.h"
#include "src/host/user_dialogs.h"
#include "src/image/firmware_match.h"
#include "src/image/sample_image.h"
#include "src/tool/bridge_list.h"
#include "src/tool/chip_probe.h"
#include "src/tool/flash_determination.h"
#include "src/update/serial/serial_flash_update.h"
#include "src/update/update_texts.h"
#include "tests/support/recording_window.h"

namespace q71x::guest {
namespace {

constexpr std::uint32_t kInquiryLength = 40;
constexpr std::size_t kDisplayNameOffset = 8;
constexpr std::size_t kDisplayNameLength = 24;
constexpr std::size_t kSampleImageBytes = 32768;
constexpr std::size_t kConfigAreaOffset = 0x8000;
constexpr std::size_t kConfigAreaBytes = 512;
// After a refresh the watch goes on this long: a second refresh in it would mean the burst was
// not folded into one.
constexpr std::uint64_t kSettleMs = 4000;
constexpr std::uint64_t kUnplugWatchMs = 30000;
constexpr std::uint64_t kPlugWatchMs = 60000;

std::string TrimmedText(const std::uint8_t* bytes, std::size_t length) {
  std::string text(reinterpret_cast<const char*>(bytes), length);
  text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
  while (!text.empty() && text.back() == ' ') {
    text.pop_back();
  }
  return text;
}

std::string InquiryName(const std::string& path) {
  std::array<std::uint8_t, kInquiryLength> reply{};
  if (Inquiry(path, reply.data(), kInquiryLength) != 1) {
    return "(no INQUIRY answer)";
  }
  return TrimmedText(reply.data() + kDisplayNameOffset, kDisplayNameLength);
}

std::string Describe(const ListedDevice& device) {
  return device.Entry.DevicePath + " \"" + device.DisplayName + "\"" +
         (device.Entry.IsCdromClass ? " CD-ROM class" : " disk class") + ", volumes \"" +
         device.Entry.DriveLetters + "\"";
}

int CountClass(const std::vector<ListedDevice>& listed, bool cdrom) {
  return static_cast<int>(std::count_if(listed.begin(), listed.end(), [&](const ListedDevice& d) {
    return (d.Entry.IsCdromClass != 0) == cdrom;
  }));
}

const ListedDevice* FirstOfClass(const std::vector<ListedDevice>& listed, bool cdrom) {
  const auto it = std::find_if(listed.begin(), listed.end(), [&](const ListedDevice& d) {
    return (d.Entry.IsCdromClass != 0) == cdrom;
  });
  return it == listed.end() ? nullptr : &*it;
}

// Message boxes shown while an object of this lives, kept in order.
class BoxRecorder {
 public:
  BoxRecorder()
      : previous_(SetMessageBoxHandler(
            [this](const MessageBoxRequest& request) { texts_.push_back(request.Text); })) {}
  ~BoxRecorder() { SetMessageBoxHandler(previous_); }
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;
  const std::vector<std::string>& Texts() const { return texts_; }

 private:
  std::vector<std::string> texts_;
  MessageBoxHandler previous_;
};

struct WatchResult {
  int Events = 0;
  int Refreshes = 0;
  std::vector<ListedDevice> LastList;
};

// Feeds the backend's device-change events into the debounce and refreshes when it runs out,
// until the first refresh is kSettleMs behind with nothing pending, or `limitMs` has passed.
WatchResult WatchHotPlug(Platform& platform, std::uint64_t limitMs) {
  WatchResult result;
  HotplugDebounce debounce;
  platform.SetDeviceChangeListener([&](DeviceChange change) {
    ++result.Events;
    debounce.OnChange(change, platform.MonotonicMs());
  });
  const std::uint64_t start = platform.MonotonicMs();
  std::uint64_t lastActivity = start;
  for (;;) {
    const std::uint64_t now = platform.MonotonicMs();
    if (now - start > limitMs ||
        (result.Refreshes > 0 && !debounce.DeadlineMs() && now - lastActivity >= kSettleMs)) {
      break;
    }
    pollfd watched{platform.DeviceChangeFd(), POLLIN, 0};
    if (::poll(&watched, 1, 50) > 0 && (watched.revents & POLLIN) != 0) {
      const int before = result.Events;
      platform.ProcessDeviceChangeEvents();
      if (result.Events != before) {
        lastActivity = platform.MonotonicMs();
      }
    }
    if (debounce.TakeExpired(platform.MonotonicMs())) {
      ++result.Refreshes;
      result.LastList = RefreshDeviceList();
      lastActivity = platform.MonotonicMs();
    }
  }
  platform.SetDeviceChangeListener(nullptr);
  return result;
}

}  // namespace

bool WaitForUsbStorage(StepLog& log, std::size_t expected, int timeoutSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  std::size_t seen = 0;
  for (;;) {
    const auto candidates = linux_platform::ScanScsiCandidates("/");
    seen = static_cast<std::size_t>(
        std::count_if(candidates.begin(), candidates.end(), [](const auto& candidate) {
          return ::access(("/dev/" + candidate.SgName).c_str(), R_OK | W_OK) == 0;
        }));
    if (seen >= expected || std::chrono::steady_clock::now() > deadline) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return log.Check(seen == expected, "the kernel shows " + std::to_string(seen) + " of " +
                                         std::to_string(expected) +
                                         " expected USB storage devices with sg nodes");
}

std::vector<ListedDevice> RefreshDeviceList() {
  // The window's own refresh: discovery, names, sessions and volumes in its order.
  std::vector<ListedDevice> listed;
  for (ListedBridge& bridge : ListBridges()) {
    listed.push_back({std::move(bridge.Entry), std::move(bridge.ItemText)});
  }
  return listed;
}

bool CheckDiscovery(StepLog& log, const GuestConfig& config, std::vector<ListedDevice>& listed) {
  std::vector<std::string> usbDisks;
  ActivePlatform().EnumerateInterfaces(InterfaceClass::Disk, usbDisks);
  listed = RefreshDeviceList();
  for (const ListedDevice& device : listed) {
    log.Note("listed: " + Describe(device));
  }
  bool ok = true;
  for (const std::string& path : usbDisks) {
    const bool isListed = std::any_of(listed.begin(), listed.end(), [&](const ListedDevice& d) {
      return d.Entry.DevicePath == path;
    });
    if (!isListed) {
      log.Note("left out: " + path + " \"" + InquiryName(path) + "\" (no answer to the probe)");
    }
  }
  ok &= log.Check(static_cast<int>(usbDisks.size()) == 1 + config.PlainDisks,
                  "discovery: the backend enumerates " + std::to_string(usbDisks.size()) +
                      " USB disks through sysfs (the bridge and " +
                      std::to_string(config.PlainDisks) + " plain mass-storage disk)");
  ok &= log.Check(CountClass(listed, false) == 1,
                  "discovery: exactly the bridge is listed among the USB disks, the plain "
                  "mass-storage disk is left out");
  if (!config.CdromGadgetSocket.empty()) {
    const ListedDevice* cdrom = FirstOfClass(listed, true);
    ok &= log.Check(CountClass(listed, true) == 1 && cdrom == &listed.back(),
                    "discovery: the CD-ROM-class bridge is listed after the disk class, "
                    "with IsCdromClass 1");
  }
  return ok;
}

std::optional<IdentifiedBridge> CheckIdentification(StepLog& log, const std::string& path,
                                                    int expectedChipType) {
  IdentifiedBridge bridge;
  bridge.Path = path;
  IdentifyInto(path, bridge.State, bridge.Settings);
  bridge.Identity = MakeChipIdentity(bridge.State.ChipType, bridge.State.ChipRevision);
  const int chipType = RowNumber(bridge.State.ChipType);
  const bool ok = log.Check(
      chipType == expectedChipType,
      "identification of " + path + ": \"" + std::string(ChipTypeName(bridge.State.ChipType)) +
          "\" revision " + std::to_string(bridge.State.ChipRevision) + " (chip type " +
          std::to_string(chipType) + ", expected " + std::to_string(expectedChipType) + ")");
  if (!ok) {
    return std::nullopt;
  }
  // The flash is found by the window's own chip check, bridge settings included.
  ProbeChipMemory(path, bridge.State, bridge.Settings);
  log.Note("flash: vendor \"" + std::string(VendorRow(bridge.State.FlashVendor).Name) +
           "\", AMIC part " + std::to_string(bridge.State.AmicFlashPart) + ", ATMEL part " +
           std::to_string(bridge.State.AtmelFlashPart));
  return bridge;
}

bool CheckBulkOnlyReset(StepLog& log, const GuestConfig& config, const std::string& path) {
  const GadgetClient gadget(config.DiskGadgetSocket);
  const std::string before = gadget.Resets();
  const std::string node = linux_platform::DeviceNodeOfPath(path);
  const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  int reset = SG_SCSI_RESET_DEVICE;
  const int rc = fd < 0 ? -1 : ::ioctl(fd, SG_SCSI_RESET, &reset);
  const std::string error = rc == 0 ? "done" : std::strerror(errno);
  if (fd >= 0) {
    ::close(fd);
  }
  const std::string after = gadget.Resets();
  const bool ok = log.Check(rc == 0 && before == "ok 0" && after == "ok 1",
                            "transport: a device reset of " + node + " (" + error +
                                ") reaches the gadget as one mass-storage reset (count \"" +
                                before + "\" before, \"" + after + "\" after)");
  return CheckIdentification(log, path, config.DiskChipType).has_value() && ok;
}

bool CheckUpdate(StepLog& log, const GuestConfig& config, const IdentifiedBridge& bridge) {
  const std::string imagePath = config.WorkDir + "/sample-firmware.bin";
  SampleImageOptions options;
  options.ChipType = bridge.State.ChipType;
  options.ChipRevision = bridge.State.ChipRevision;
  options.Size = kSampleImageBytes;
  const std::vector<std::uint8_t> image = BuildSampleImage(options);
  if (!log.Check(WriteSampleImage(imagePath, options) == 1 &&
                     FirmwareMatchesChip(imagePath, bridge.Identity) == 1,
                 "update: a " + std::to_string(image.size()) +
                     "-byte sample image is written and matches the chip")) {
    return false;
  }
  GadgetClient gadget(config.DiskGadgetSocket);
  std::string detail;
  const auto before = gadget.ReadFlash(config.WorkDir, detail);
  if (!log.Check(before && before->size() >= kConfigAreaOffset + kConfigAreaBytes,
                 "update: the gadget hands out its flash before the update (" + detail + ")")) {
    return false;
  }

  testing::RecordingWindow window;
  window.state = bridge.State;
  window.settings = bridge.Settings;
  window.firmwareFile = imagePath;
  BoxRecorder boxes;
  const auto started = std::chrono::steady_clock::now();
  const int result = UpdateSerialFlash(window, bridge.Path);
  const auto seconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - started)
                           .count() /
                       1000.0;
  char took[32];
  std::snprintf(took, sizeof took, "%.1f", seconds);
  log.Note("status texts: " + std::to_string(window.statusHistory.size()) + ", last \"" +
           window.StatusText() + "\", " + took + " s");
  for (const std::string& text : boxes.Texts()) {
    log.Note("message box: \"" + text + "\"");
  }
  bool ok = log.Check(result == 1 && window.StatusText() == kProgrammingSuccessText,
                      "update: UpdateSerialFlash through " + bridge.Path + " ends with \"" +
                          std::string(kProgrammingSuccessText) + "\"");
  ok &=
      log.Check(boxes.Texts() == std::vector<std::string>{std::string(kPowerCycleAfterUpdateText)},
                "update: the one message box asks for the power cycle");

  const auto after = gadget.ReadFlash(config.WorkDir, detail);
  ok &= log.Check(after && after->size() >= image.size() &&
                      std::equal(image.begin(), image.end(), after->begin()),
                  "update: the gadget's flash holds the image byte for byte afterwards");
  ok &= log.Check(after && after->size() >= kConfigAreaOffset + kConfigAreaBytes &&
                      std::equal(before->begin() + kConfigAreaOffset,
                                 before->begin() + kConfigAreaOffset + kConfigAreaBytes,
                                 after->begin() + kConfigAreaOffset),
                  "update: the 512-byte configuration area at 0x8000 is kept");
  return ok;
}

bool CheckHotPlug(StepLog& log, const GuestConfig& config, Platform& platform) {
  if (!log.Check(platform.DeviceChangeFd() >= 0,
                 "hot-plug: the backend's device monitor is open (on the kernel uevent source: "
                 "the guest has no udevd)")) {
    return false;
  }
  platform.SetDeviceChangeListener(nullptr);
  platform.ProcessDeviceChangeEvents();  // whatever the boot left queued
  GadgetClient gadget(config.DiskGadgetSocket);

  const std::string unplugged = gadget.Unplug();
  const WatchResult out = WatchHotPlug(platform, kUnplugWatchMs);
  log.Note("unbind: gadget said \"" + unplugged + "\", " + std::to_string(out.Events) +
           " device-change events, " + std::to_string(out.Refreshes) + " refresh(es)");
  for (const ListedDevice& device : out.LastList) {
    log.Note("listed after unbind: " + Describe(device));
  }
  bool ok = log.Check(unplugged == "ok" && out.Events > 0 && out.Refreshes == 1 &&
                          CountClass(out.LastList, false) == 0,
                      "hot-plug: unbinding the gadget gives one debounced refresh, and the "
                      "bridge is gone from the list");

  const std::string plugged = gadget.Plug();
  const WatchResult in = WatchHotPlug(platform, kPlugWatchMs);
  log.Note("rebind: gadget said \"" + plugged + "\", " + std::to_string(in.Events) +
           " device-change events, " + std::to_string(in.Refreshes) + " refresh(es)");
  for (const ListedDevice& device : in.LastList) {
    log.Note("listed after rebind: " + Describe(device));
  }
  const ListedDevice* bridge = FirstOfClass(in.LastList, false);
  ok &= log.Check(plugged == "ok" && in.Events > 0 && in.Refreshes == 1 && bridge != nullptr &&
                      CountClass(in.LastList, false) == 1,
                  "hot-plug: rebinding the gadget gives one debounced refresh, and the bridge "
                  "is listed again");
  if (bridge != nullptr) {
    ok &= CheckIdentification(log, bridge->Entry.DevicePath, config.DiskChipType).has_value();
  }
  return ok;
}

}  // namespace q71x::guest
