// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the gadget writes to FunctionFS's ep0 before the function can be bound: the descriptors of
// one mass-storage interface (SCSI transparent command set, Bulk-Only Transport) with a bulk-in
// and a bulk-out endpoint at full and high speed, and the interface's name. FunctionFS then
// offers the endpoints as files ep1 (bulk-in) and ep2 (bulk-out), in descriptor order.

#include <cstdint>
#include <string>
#include <vector>

namespace q71x::gadget {

inline constexpr std::uint8_t kMassStorageClass = 0x08;
inline constexpr std::uint8_t kScsiTransparentSubclass = 0x06;
inline constexpr std::uint8_t kBulkOnlyProtocol = 0x50;
inline constexpr std::uint16_t kFullSpeedBulkPacket = 64;
inline constexpr std::uint16_t kHighSpeedBulkPacket = 512;
inline constexpr const char* kBulkInEndpointFile = "ep1";
inline constexpr const char* kBulkOutEndpointFile = "ep2";

std::vector<std::uint8_t> BuildFfsDescriptors();
std::vector<std::uint8_t> BuildFfsStrings(const std::string& interfaceName);

}  // namespace q71x::gadget
