// SPDX-License-Identifier: GPL-2.0-or-later
// One owner per bridge, as the core keeps it: which listed bridges the refresh and the chip
// check may talk to, the first contact with one the refresh left alone, and Run's claim.

#include "src/tool/tool_core.h"
#include "src/tool/tool_texts.h"

namespace q71x {

BridgeAccess ToolCore::AccessOf(const std::string& path) const {
  BridgeAccess access;
  if (ownership_.Owns(path)) {
    return access;
  }
  access.InUseBy = ownership_.OwnerElsewhere(path);
  access.Contact = !access.InUseBy && (!contactRule_ || contactRule_(path));
  return access;
}

bool ToolCore::ReachDevice(int index) {
  const std::size_t at = static_cast<std::size_t>(index);
  const DeviceEntry& device = devices_[at];
  access_[at] = AccessOf(device.DevicePath);
  if (!access_[at].Contact) {
    ShowUnreachable(index);
    return false;
  }
  if (sessionsOpened_.insert(device.DevicePath).second) {
    ListedBridge bridge;
    bridge.Entry = device;
    bridge.Is1394 = device.DevicePath.find("sbp2") != std::string::npos;
    if (at < deviceItems_.size()) {
      deviceItems_[at] = ContactBridge(bridge);
      view_.ShowDeviceItems(deviceItems_, index);
    }
  }
  return true;
}

void ToolCore::ShowUnreachable(int index) {
  // Nothing of an earlier device may stay behind to enable Run for this one.
  state_.ChipType = ChipType::Unknown;
  state_.ChipRevision = 0;
  state_.FlashVendor = FlashVendor::Unknown;
  state_.ConfigLevel = 0;
  configLevelKnown_ = false;
  checkedDevice_ = JournalDevice{};
  SetEnabled(Control::UpdateBtn, false);
  for (Control field : {Control::ChipLabelEdit, Control::FwVerLableEdit, Control::SFlashTypeLable,
                        Control::StatusEdit}) {
    SetText(field, {});
  }
  if (const std::optional<long> owner = access_[static_cast<std::size_t>(index)].InUseBy) {
    SetStatus(InUseText(*owner));
  }
}

std::optional<long> ToolCore::ClaimDevice(int index) {
  if (index < 0 || index >= deviceCount_) {
    return std::nullopt;
  }
  const std::string& path = devices_[static_cast<std::size_t>(index)].DevicePath;
  const UnitIdentity unit =
      checkedDevice_.DevicePath == path ? checkedDevice_.Unit : UnitIdentity{};
  const bool ownedBefore = ownership_.Owns(path);
  const std::optional<long> owner = ownership_.Claim(path, unit);
  access_[static_cast<std::size_t>(index)].InUseBy = owner;
  if (!owner && !ownedBefore && claimListener_) {
    claimListener_(path);
  }
  return owner;
}

std::optional<long> ToolCore::InUseBy(int index) const {
  if (index < 0 || index >= deviceCount_) {
    return std::nullopt;
  }
  return access_[static_cast<std::size_t>(index)].InUseBy;
}

void ToolCore::LetGoOfClaims() {
  if (holdOwnership_) {
    return;
  }
  if (letGoListener_ && ownership_.HoldsAny()) {
    letGoListener_();
  }
  ownership_.ReleaseAll();
}

}  // namespace q71x
