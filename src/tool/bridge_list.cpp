// SPDX-License-Identifier: GPL-2.0-or-later
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

std::string ItemPrefix(const ListedBridge& bridge) {
  return std::string(bridge.Is1394 ? k1394ItemPrefix : kUsbItemPrefix);
}

}  // namespace

std::vector<ListedBridge> ListBridges(const BridgeAccessRule& access) {
  DevicePathSlots pathSlots;
  // The vendor probe that tells bridges from other disks is a command too.
  const int diskCount = EnumerateDiskInterfaces(pathSlots, 1, [&access](std::string path) {
    ToLowerInPlace(path);
    return access && access(path).InUseBy.has_value();
  });
  const int cdromCount = EnumerateCdromInterfaces(pathSlots, diskCount, 1);
  const int count = std::min(diskCount + cdromCount, kMaxDevices);

  std::vector<ListedBridge> listed;
  listed.reserve(static_cast<std::size_t>(count));
  DisplayName name{};
  for (int i = 0; i < count; ++i) {
    std::string& slot = pathSlots[static_cast<std::size_t>(i)];
    ToLowerInPlace(slot);
    ListedBridge bridge;
    bridge.Entry.DevicePath = slot;
    bridge.Entry.IsCdromClass = i >= diskCount ? 1 : 0;
    bridge.Is1394 = slot.find("sbp2") != std::string::npos;
    if (access) {
      bridge.Access = access(slot);
    }
    if (bridge.Access.Contact) {
      std::array<std::uint8_t, kInquiryLength> reply{};
      if (Inquiry(slot, reply.data(), kInquiryLength) == 1) {
        std::copy_n(reply.begin() + kDisplayNameOffset, kDisplayNameLength, name.begin());
      }
      BridgeSessionOpen(bridge.Entry.DevicePath);
      bridge.ItemText = ItemPrefix(bridge) + DisplayNameText(name);
    } else {
      bridge.ItemText =
          ItemPrefix(bridge) + (bridge.Access.InUseBy ? std::string(kInUseItemText) : "");
    }
    FindVolumeLetters(slot, bridge.Entry.DriveLetters);
    listed.push_back(std::move(bridge));
  }
  // CD-ROM-class bridges are sent a second session open, as they always have been.
  for (int i = diskCount; i < count; ++i) {
    if (listed[static_cast<std::size_t>(i)].Access.Contact) {
      BridgeSessionOpen(listed[static_cast<std::size_t>(i)].Entry.DevicePath);
    }
  }
  return listed;
}

std::string ContactBridge(const ListedBridge& bridge) {
  DisplayName name{};
  std::array<std::uint8_t, kInquiryLength> reply{};
  if (Inquiry(bridge.Entry.DevicePath, reply.data(), kInquiryLength) == 1) {
    std::copy_n(reply.begin() + kDisplayNameOffset, kDisplayNameLength, name.begin());
  }
  BridgeSessionOpen(bridge.Entry.DevicePath);
  if (bridge.Entry.IsCdromClass == 1) {
    BridgeSessionOpen(bridge.Entry.DevicePath);
  }
  return ItemPrefix(bridge) + DisplayNameText(name);
}

}  // namespace q71x
