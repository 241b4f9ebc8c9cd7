// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/bot/bulk_only.h"

#include <algorithm>

namespace q71x::gadget {
namespace {

std::uint32_t ReadLittleEndian32(std::span<const std::uint8_t> bytes, std::size_t first) {
  return static_cast<std::uint32_t>(bytes[first]) |
         (static_cast<std::uint32_t>(bytes[first + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[first + 2]) << 16) |
         (static_cast<std::uint32_t>(bytes[first + 3]) << 24);
}

void WriteLittleEndian32(std::uint8_t* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

}  // namespace

std::optional<CommandBlockWrapper> ParseCommandBlockWrapper(std::span<const std::uint8_t> bytes) {
  if (bytes.size() != kCbwLength || ReadLittleEndian32(bytes, 0) != kCbwSignature) {
    return std::nullopt;
  }
  CommandBlockWrapper cbw;
  cbw.Tag = ReadLittleEndian32(bytes, 4);
  cbw.DataTransferLength = ReadLittleEndian32(bytes, 8);
  cbw.DataIn = (bytes[12] & kCbwFlagDataIn) != 0;
  cbw.Lun = bytes[13] & 0x0F;
  cbw.CdbLength = bytes[14] & 0x1F;
  if (cbw.CdbLength == 0 || cbw.CdbLength > cbw.Cdb.size()) {
    return std::nullopt;
  }
  std::copy_n(bytes.begin() + 15, cbw.CdbLength, cbw.Cdb.begin());
  return cbw;
}

std::array<std::uint8_t, kCswLength> BuildCommandStatusWrapper(std::uint32_t tag,
                                                               std::uint32_t residue,
                                                               CswStatus status) {
  std::array<std::uint8_t, kCswLength> csw{};
  WriteLittleEndian32(&csw[0], kCswSignature);
  WriteLittleEndian32(&csw[4], tag);
  WriteLittleEndian32(&csw[8], residue);
  csw[12] = static_cast<std::uint8_t>(status);
  return csw;
}

}  // namespace q71x::gadget
