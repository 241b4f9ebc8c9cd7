// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/device/ffs_descriptors.h"

#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>

namespace q71x::gadget {
namespace {

constexpr std::uint8_t kBulkInAddress = 0x81;
constexpr std::uint8_t kBulkOutAddress = 0x02;
constexpr std::uint32_t kDescriptorsPerSpeed = 3;  // interface, bulk-in, bulk-out
constexpr std::uint16_t kLanguageEnglishUs = 0x0409;

void PutLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

void PatchLength(std::vector<std::uint8_t>& blob) {
  const auto length = static_cast<std::uint32_t>(blob.size());
  for (int i = 0; i < 4; ++i) {
    blob[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
  }
}

void PutInterfaceAndEndpoints(std::vector<std::uint8_t>& out, std::uint16_t maxPacket) {
  out.insert(out.end(), {USB_DT_INTERFACE_SIZE, USB_DT_INTERFACE, 0, 0, 2, kMassStorageClass,
                         kScsiTransparentSubclass, kBulkOnlyProtocol, 1});
  for (const std::uint8_t address : {kBulkInAddress, kBulkOutAddress}) {
    out.insert(out.end(), {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, address, USB_ENDPOINT_XFER_BULK});
    PutLittleEndian(out, maxPacket, 2);
    out.push_back(0);  // bInterval: unused for bulk
  }
}

}  // namespace

std::vector<std::uint8_t> BuildFfsDescriptors() {
  std::vector<std::uint8_t> blob;
  PutLittleEndian(blob, FUNCTIONFS_DESCRIPTORS_MAGIC_V2, 4);
  PutLittleEndian(blob, 0, 4);  // length, patched below
  PutLittleEndian(blob, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC, 4);
  PutLittleEndian(blob, kDescriptorsPerSpeed, 4);
  PutLittleEndian(blob, kDescriptorsPerSpeed, 4);
  PutInterfaceAndEndpoints(blob, kFullSpeedBulkPacket);
  PutInterfaceAndEndpoints(blob, kHighSpeedBulkPacket);
  PatchLength(blob);
  return blob;
}

std::vector<std::uint8_t> BuildFfsStrings(const std::string& interfaceName) {
  std::vector<std::uint8_t> blob;
  PutLittleEndian(blob, FUNCTIONFS_STRINGS_MAGIC, 4);
  PutLittleEndian(blob, 0, 4);  // length, patched below
  PutLittleEndian(blob, 1, 4);  // strings per language
  PutLittleEndian(blob, 1, 4);  // languages
  PutLittleEndian(blob, kLanguageEnglishUs, 2);
  blob.insert(blob.end(), interfaceName.begin(), interfaceName.end());
  blob.push_back(0);
  PatchLength(blob);
  return blob;
}

}  // namespace q71x::gadget
