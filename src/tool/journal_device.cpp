// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/journal_device.h"

#include <cstdio>

#include "src/device/platform/platform.h"

namespace q71x {

std::string FlashIdOf(const ChipState& state) {
  char id[16];
  std::snprintf(id, sizeof id, "%02x%02x%02x", unsigned{RowNumber(state.FlashVendor)},
                static_cast<unsigned>(state.AmicFlashPart) & 0xFFu,
                static_cast<unsigned>(state.AtmelFlashPart) & 0xFFu);
  return id;
}

UnitIdentity IdentifyUnit(const ChipState& state, const std::string& firmwareVersion,
                          const std::string& devicePath) {
  const SystemUnitFacets system = ActivePlatform().UnitFacetsOf(devicePath);
  UnitIdentity unit;
  unit.UsbSerial = system.UsbSerial;
  unit.Guid1394 = system.Guid1394;
  unit.PortPath = system.PortPath;
  unit.ChipType = state.ChipType;
  unit.ChipRevision = state.ChipRevision;
  unit.FlashId = state.ChipType != ChipType::Unknown ? FlashIdOf(state) : std::string();
  unit.FirmwareVersion = firmwareVersion;
  return unit;
}

JournalDevice JournalDeviceOf(const ChipState& state, const std::string& firmwareVersion,
                              const std::string& devicePath) {
  return JournalDevice{state.ChipType,   state.ChipRevision,
                       FlashIdOf(state), firmwareVersion,
                       devicePath,       IdentifyUnit(state, firmwareVersion, devicePath)};
}

}  // namespace q71x
