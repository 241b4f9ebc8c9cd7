// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/backups/unit_identity_json.h"

namespace q71x {

nlohmann::json IdentityJson(const UnitIdentity& unit) {
  nlohmann::json json = nlohmann::json::object();
  const auto put = [&json](const char* key, const std::string& value) {
    if (!value.empty()) {
      json[key] = value;
    }
  };
  if (IsPlaceholderSerial(unit.UsbSerial)) {
    put("usb_serial_placeholder", unit.UsbSerial);
  } else {
    put("usb_serial", unit.UsbSerial);
  }
  put("guid_1394", unit.Guid1394);
  put("disk_serial", unit.DiskSerial);
  put("port_path", unit.PortPath);
  if (unit.ChipType != ChipType::Unknown) {
    json["chip_type"] = int{RowNumber(unit.ChipType)};
    json["chip_revision"] = unit.ChipRevision;
  }
  put("flash_id", unit.FlashId);
  put("firmware_version", unit.FirmwareVersion);
  return json;
}

}  // namespace q71x
