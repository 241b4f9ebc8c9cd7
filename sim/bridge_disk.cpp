// SPDX-License-Identifier: GPL-2.0-or-later
// The disk behind the bridge: READ CAPACITY(10), READ/WRITE(10) and (16), passed through to the
// drive, and ATA IDENTIFY DEVICE through the DF family. LBAs and counts come from the command
// block; a data area too small for the sectors it names is refused, as the drive would stall, and
// sectors past the drive's end are refused as a compliant drive does: ILLEGAL REQUEST, LOGICAL
// BLOCK ADDRESS OUT OF RANGE.
#include <cstdint>

#include "sim/ata_identify.h"
#include "sim/bridge_handlers.h"

namespace q71x::sim {
namespace {

inline constexpr std::uint8_t kOpReadCapacity10 = 0x25;
inline constexpr std::uint8_t kOpRead10 = 0x28;
inline constexpr std::uint8_t kOpWrite10 = 0x2A;
inline constexpr std::uint8_t kOpRead16 = 0x88;
inline constexpr std::uint8_t kOpWrite16 = 0x8A;

// Seek and rotation of a 7200 rpm drive, paid by every media access.
inline constexpr std::uint32_t kMediaAccessUs = 4000;

std::uint64_t ReadBigEndian64(const std::array<std::uint8_t, 16>& cdb, std::size_t first) {
  return (static_cast<std::uint64_t>(ReadBigEndian(cdb, first, 4)) << 32) |
         ReadBigEndian(cdb, first + 4, 4);
}

Reply ReadCapacity(const AttachedDisk& disk, const Request& request) {
  // READ CAPACITY(10) caps the last LBA at FFFFFFFF on larger drives, as the command set says.
  const std::uint64_t reported = disk.Geometry().ReportedSectors;
  const std::uint64_t last = reported == 0 ? 0 : reported - 1;
  const std::uint32_t last32 =
      last > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(last);
  const std::uint32_t block = disk.BlockSize();
  const std::uint8_t reply[8] = {
      static_cast<std::uint8_t>(last32 >> 24), static_cast<std::uint8_t>(last32 >> 16),
      static_cast<std::uint8_t>(last32 >> 8),  static_cast<std::uint8_t>(last32),
      static_cast<std::uint8_t>(block >> 24),  static_cast<std::uint8_t>(block >> 16),
      static_cast<std::uint8_t>(block >> 8),   static_cast<std::uint8_t>(block)};
  return SendReplyBytes(reply, sizeof reply, request);
}

Reply TransferSectors(AttachedDisk& disk, const Request& request, CommandContext& context,
                      std::uint64_t lba, std::uint32_t count, bool write) {
  if (request.DataIn == write) {
    return RejectedReply();
  }
  const std::uint64_t bytes = static_cast<std::uint64_t>(count) * disk.BlockSize();
  if (bytes > request.Data.size()) {
    return RejectedReply();
  }
  if (!disk.HasSectors(lba, count)) {
    return CheckConditionReply(kSenseKeyIllegalRequest, kAscLbaOutOfRange, 0x00);
  }
  const std::span<std::uint8_t> area = request.Data.first(static_cast<std::size_t>(bytes));
  const bool done = write ? disk.Write(lba, count, area) : disk.Read(lba, count, area);
  if (!done) {
    return RejectedReply();
  }
  if (context.ChargeTransferTime) {
    context.Clock.AdvanceUs(kMediaAccessUs);
  }
  return CompletedReply(static_cast<std::uint32_t>(bytes));
}

}  // namespace

bool IsDiskCommand(std::uint8_t opcode) {
  return opcode == kOpReadCapacity10 || opcode == kOpRead10 || opcode == kOpWrite10 ||
         opcode == kOpRead16 || opcode == kOpWrite16;
}

Reply HandleDiskCommand(BridgeState& bridge, const Request& request, CommandContext& context) {
  if (!bridge.Disk) {
    return RejectedReply();
  }
  AttachedDisk& disk = *bridge.Disk;
  const auto& cdb = request.Cdb;
  switch (cdb[0]) {
    case kOpReadCapacity10:
      return ReadCapacity(disk, request);
    case kOpRead10:
    case kOpWrite10:
      return TransferSectors(disk, request, context, ReadBigEndian(cdb, 2, 4),
                             ReadBigEndian(cdb, 7, 2), cdb[0] == kOpWrite10);
    case kOpRead16:
    case kOpWrite16:
      return TransferSectors(disk, request, context, ReadBigEndian64(cdb, 2),
                             ReadBigEndian(cdb, 10, 4), cdb[0] == kOpWrite16);
    default:
      return RejectedReply();
  }
}

Reply HandleIdentifyDevice(BridgeState& bridge, const Request& request) {
  if (!bridge.Disk) {
    return RejectedReply();
  }
  const AttachedDiskGeometry& geometry = bridge.Disk->Geometry();
  const auto data = BuildIdentifyData({.SectorCount = geometry.IdentifySectors,
                                       .LogicalSectorBytes = geometry.BlockSize,
                                       .Model = geometry.Model});
  return SendReplyBytes(data, ReadBigEndian(request.Cdb, 3, 2), request);
}

}  // namespace q71x::sim
