// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/attached_disk.h"

#include <algorithm>

namespace q71x::sim {

AttachedDisk::AttachedDisk(const AttachedDiskGeometry& geometry) : geometry_(geometry) {}

bool AttachedDisk::HasSectors(std::uint64_t lba, std::uint32_t count) const {
  const std::uint64_t end = EndSector();
  return lba <= end && count <= end - lba;
}

bool AttachedDisk::InRange(std::uint64_t lba, std::uint32_t count, std::size_t bufferBytes) const {
  if (!HasSectors(lba, count)) {
    return false;
  }
  return bufferBytes >= static_cast<std::uint64_t>(count) * geometry_.BlockSize;
}

void AttachedDisk::FillUnwritten(std::uint64_t lba, std::span<std::uint8_t> sector) const {
  if (geometry_.Unwritten == UnwrittenSectors::Zero) {
    std::fill(sector.begin(), sector.end(), 0);
    return;
  }
  for (std::size_t i = 0; i < sector.size(); ++i) {
    sector[i] = static_cast<std::uint8_t>(lba >> (8 * (7 - i % 8)));
  }
}

bool AttachedDisk::Read(std::uint64_t lba, std::uint32_t count, std::span<std::uint8_t> out) const {
  if (!InRange(lba, count, out.size())) {
    return false;
  }
  const std::size_t size = geometry_.BlockSize;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::span<std::uint8_t> sector = out.subspan(i * size, size);
    const auto stored = sectors_.find(lba + i);
    if (stored == sectors_.end()) {
      FillUnwritten(lba + i, sector);
    } else {
      std::copy(stored->second.begin(), stored->second.end(), sector.begin());
    }
  }
  return true;
}

bool AttachedDisk::Write(std::uint64_t lba, std::uint32_t count, std::span<const std::uint8_t> in) {
  if (!InRange(lba, count, in.size())) {
    return false;
  }
  const std::size_t size = geometry_.BlockSize;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::span<const std::uint8_t> sector = in.subspan(i * size, size);
    sectors_[lba + i].assign(sector.begin(), sector.end());
  }
  return true;
}

}  // namespace q71x::sim
