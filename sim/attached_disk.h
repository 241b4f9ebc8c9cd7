// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The disk behind a bridge. The bridge reports fewer sectors than the drive has; the sectors
// beyond the reported capacity form a reserved area where some bridges keep their firmware,
// reachable by ordinary reads and writes. Only sectors that were written are stored, so drives
// of 2^32 sectors and more cost nothing until used.

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace q71x::sim {

// What an unwritten sector reads as.
enum class UnwrittenSectors {
  Zero,
  // Every 8 bytes hold the sector's own LBA, high byte first: a read from the wrong place shows.
  LbaTagged,
};

struct AttachedDiskGeometry {
  std::uint32_t BlockSize = 512;  // 512 or 4096
  // Sectors the bridge reports to the host (READ CAPACITY), from LBA 0.
  std::uint64_t ReportedSectors = 0;
  // The drive's own count of user-addressable sectors (IDENTIFY DEVICE); usually the reported
  // count. A bridge that hides the firmware area with a host-protected area reports both equal.
  std::uint64_t IdentifySectors = 0;
  // Sectors beyond the reported capacity that still take reads and writes.
  std::uint64_t ReservedSectors = 4096;
  UnwrittenSectors Unwritten = UnwrittenSectors::Zero;
  std::string Model = "SIMULATED DISK";
};

class AttachedDisk {
 public:
  explicit AttachedDisk(const AttachedDiskGeometry& geometry);

  const AttachedDiskGeometry& Geometry() const { return geometry_; }
  std::uint32_t BlockSize() const { return geometry_.BlockSize; }
  // The first sector past the reserved area.
  std::uint64_t EndSector() const { return geometry_.ReportedSectors + geometry_.ReservedSectors; }

  // True when every one of the `count` sectors from `lba` exists (lies before EndSector()).
  bool HasSectors(std::uint64_t lba, std::uint32_t count) const;

  // Whole sectors only; false when any of them lies past EndSector() or the buffer does not
  // hold count sectors. Nothing is read or written then.
  bool Read(std::uint64_t lba, std::uint32_t count, std::span<std::uint8_t> out) const;
  bool Write(std::uint64_t lba, std::uint32_t count, std::span<const std::uint8_t> in);

  std::size_t StoredSectorCount() const { return sectors_.size(); }

 private:
  bool InRange(std::uint64_t lba, std::uint32_t count, std::size_t bufferBytes) const;
  void FillUnwritten(std::uint64_t lba, std::span<std::uint8_t> sector) const;

  AttachedDiskGeometry geometry_;
  std::map<std::uint64_t, std::vector<std::uint8_t>> sectors_;
};

}  // namespace q71x::sim
