#include "src/tool/bridge_list.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

#include "src/device/identification.h"
#include "src/tool/tool_texts.h"

namespace q71x {
namespace {

constexpr std::uint32_t kInquiryLength = 40;
constexpr std::size_t kDisplayNameOffset = 8;
constexpr std::size_t kDisplayNameLength = 24;  // vendor (8) and product (16) identification

using DisplayName = std::array<char, kDisplayNameLength>;

std::string DisplayNameText(const DisplayName& name) {
  const auto end = std::find(name.begin(), name.end(), '\0');
  return std::string(name.begin(), end);
}

void ToLowerInPlace(std::string& text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
}

}  // namespace

std::vector<ListedBridge> ListBridges() {
  DevicePathSlots pathSlots;
  const int diskCount = EnumerateDiskInterfaces(pathSlots, 1);
  const int cdromCount = EnumerateCdromInterfaces(pathSlots, diskCount, 1);
  const int count = std::min(diskCount + cdromCount, kMaxDevices);

  std::vector<ListedBridge> listed;
  listed.reserve(static_cast<std::size_t>(count));
  DisplayName name{};
  for (int i = 0; i < count; ++i) {
    std::string& slot = pathSlots[static_cast<std::size_t>(i)];
    ToLowerInPlace(slot);
    std::array<std::uint8_t, kInquiryLength> reply{};
    if (Inquiry(slot, reply.data(), kInquiryLength) == 1) {
      std::copy_n(reply.begin() + kDisplayNameOffset, kDisplayNameLength, name.begin());
    }
    ListedBridge bridge;
    bridge.Entry.DevicePath = slot;
    bridge.Entry.IsCdromClass = i >= diskCount ? 1 : 0;
    BridgeSessionOpen(bridge.Entry.DevicePath);
    FindVolumeLetters(slot, bridge.Entry.DriveLetters);
    bridge.Is1394 = slot.find("sbp2") != std::string::npos;
    bridge.ItemText =
        std::string(bridge.Is1394 ? k1394ItemPrefix : kUsbItemPrefix) + DisplayNameText(name);
    listed.push_back(std::move(bridge));
  }
  // CD-ROM-class bridges are sent a second session open, as they always have been.
  for (int i = diskCount; i < count; ++i) {
    BridgeSessionOpen(listed[static_cast<std::size_t>(i)].Entry.DevicePath);
  }
  return listed;
}

}  // namespace q71x
