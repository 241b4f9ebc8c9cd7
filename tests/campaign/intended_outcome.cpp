// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/campaign/intended_outcome.h"

#include <algorithm>

namespace q71x::campaign {
namespace {

constexpr std::uint8_t kErased = 0xFF;
constexpr std::uint32_t kNvramBytes = 4096;
constexpr std::uint32_t kSerialMinimumArea = 32768;
constexpr std::uint32_t kSerialConfigCopy = 0x8000;
constexpr std::uint32_t kSerialConfigCopyBytes = 512;
constexpr std::uint32_t kBlockUnit = 16384;
constexpr std::uint32_t kSectorUnit = 32768;
constexpr std::uint32_t kDfProgramGranule = 256;
constexpr std::uint32_t kDf2FirmwareArea = 0x8000;
constexpr std::uint32_t kDf2Config = 0x8000;
constexpr std::uint32_t kDf2ConfigBytes = 1024;
constexpr std::uint32_t kParallelBytes = 65536;
constexpr std::uint32_t kDiskBlock = 65536;
constexpr std::size_t kDescriptorOffset = 150;
constexpr std::size_t kDescriptorBytes = 6;

std::uint64_t RoundUp(std::uint64_t value, std::uint64_t unit) {
  return (value + unit - 1) / unit * unit;
}

// Writes into the intent; the parts past the memory's end are not there to check.
class IntentBuilder {
 public:
  IntentBuilder(const MemorySnapshot& before, ByteRule rest) : before_(before) {
    intent_.Bytes = before.Bytes;
    intent_.Rules.assign(before.Bytes.size(), rest);
  }
  void Exact(std::uint64_t from, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < bytes.size() && from + i < intent_.Bytes.size(); ++i) {
      intent_.Bytes[from + i] = bytes[i];
      intent_.Rules[from + i] = ByteRule::Exact;
    }
  }
  void Fill(std::uint64_t from, std::uint64_t to, std::uint8_t value) {
    for (std::uint64_t i = from; i < to && i < intent_.Bytes.size(); ++i) {
      intent_.Bytes[i] = value;
      intent_.Rules[i] = ByteRule::Exact;
    }
  }
  // Keeps what was there, exactly.
  void Keep(std::uint64_t from, std::uint64_t length) {
    for (std::uint64_t i = from; i < from + length && i < intent_.Bytes.size(); ++i) {
      intent_.Bytes[i] = before_.Bytes[i];
      intent_.Rules[i] = ByteRule::Exact;
    }
  }
  void Padding(std::uint64_t from, std::uint64_t to) {
    for (std::uint64_t i = from; i < to && i < intent_.Bytes.size(); ++i) {
      intent_.Rules[i] = ByteRule::ZeroOrErased;
    }
  }
  void Backup(const MemorySnapshot& before, std::uint64_t from, std::uint64_t to) {
    intent_.WritesBackup = true;
    const std::uint64_t end = std::min<std::uint64_t>(to, before.Bytes.size());
    if (from < end) {
      intent_.BackupFile.assign(before.Bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                before.Bytes.begin() + static_cast<std::ptrdiff_t>(end));
    }
  }
  RunIntent Take() { return std::move(intent_); }

 private:
  const MemorySnapshot& before_;
  RunIntent intent_;
};

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from,
                                std::size_t to) {
  from = std::min(from, bytes.size());
  to = std::min(to, bytes.size());
  return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
          bytes.begin() + static_cast<std::ptrdiff_t>(to)};
}

// The image, then zeros up to `length`.
std::vector<std::uint8_t> ZeroPadded(const std::vector<std::uint8_t>& image, std::uint64_t length) {
  std::vector<std::uint8_t> padded(static_cast<std::size_t>(length), 0x00);
  std::copy_n(image.begin(), std::min<std::size_t>(image.size(), padded.size()), padded.begin());
  return padded;
}

// The device's configuration area in front, then the image from `imageFrom` on.
std::vector<std::uint8_t> BehindDeviceNvram(const MemorySnapshot& before,
                                            const std::vector<std::uint8_t>& image,
                                            std::size_t imageFrom) {
  std::vector<std::uint8_t> stream = Slice(before.Bytes, 0, kNvramBytes);
  const std::vector<std::uint8_t> rest = Slice(image, imageFrom, image.size());
  stream.insert(stream.end(), rest.begin(), rest.end());
  return stream;
}

// The configuration area goes with the rest of the erased range unless the rules keep it.
void ErasedRange(IntentBuilder& intent, std::uint32_t firmwareSize, std::uint64_t keepFrom,
                 std::uint64_t keepBytes) {
  intent.Fill(0, firmwareSize, kErased);
  intent.Keep(keepFrom, keepBytes);
}

RunIntent SerialFlashUpdate(const RunInputs& in, const MemorySnapshot& before) {
  IntentBuilder intent(before, ByteRule::OldOrErased);
  const std::uint64_t page = std::max<std::uint32_t>(in.FlashPageSize, 1);
  const std::uint64_t area =
      RoundUp(std::max<std::uint64_t>(in.Image.size(), kSerialMinimumArea), page);
  intent.Exact(0, ZeroPadded(in.Image, area));
  if (area <= kSerialMinimumArea) {
    intent.Keep(kSerialConfigCopy, kSerialConfigCopyBytes);
  }
  return intent.Take();
}

// The 16 KB block procedures write a stream from address 0 and pad its last block.
RunIntent BlockStreamUpdate(const MemorySnapshot& before, const std::vector<std::uint8_t>& stream,
                            std::uint64_t area) {
  IntentBuilder intent(before, ByteRule::OldOrErased);
  intent.Exact(0, stream);
  intent.Padding(stream.size(), RoundUp(area, kSectorUnit));
  return intent.Take();
}

RunIntent FlashWithNvramUpdate(const RunInputs& in, const MemorySnapshot& before) {
  const bool fileHasNvram = in.Device->ImageHasNvram;
  const bool fileArea = fileHasNvram && in.NvramTicked;
  const std::vector<std::uint8_t> stream =
      fileArea ? in.Image : BehindDeviceNvram(before, in.Image, fileHasNvram ? kNvramBytes : 0);
  const std::uint64_t area = RoundUp(
      std::max<std::uint64_t>(in.Image.size(), kBlockUnit) + (fileHasNvram ? 0 : kNvramBytes),
      kBlockUnit);
  return BlockStreamUpdate(before, stream, std::max<std::uint64_t>(area, stream.size()));
}

RunIntent SerialFlashSpiUpdate(const RunInputs& in, const MemorySnapshot& before) {
  const std::uint64_t area =
      RoundUp(std::max<std::uint64_t>(in.Image.size(), kBlockUnit), kBlockUnit);
  return BlockStreamUpdate(before, in.Image, area);
}

RunIntent DfFlashUpdate(const RunInputs& in, const MemorySnapshot& before) {
  IntentBuilder intent(before, ByteRule::OldOrErased);
  const std::vector<std::uint8_t> stream =
      in.NvramTicked ? in.Image : BehindDeviceNvram(before, in.Image, kNvramBytes);
  intent.Exact(0, ZeroPadded(stream, RoundUp(stream.size(), kDfProgramGranule)));
  return intent.Take();
}

RunIntent Df2FlashUpdate(const RunInputs& in, const MemorySnapshot& before) {
  IntentBuilder intent(before, ByteRule::OldOrErased);
  const std::uint64_t length =
      RoundUp(std::max<std::uint64_t>(in.Image.size(), kDf2FirmwareArea), kDfProgramGranule);
  intent.Exact(0, ZeroPadded(in.Image, length));
  if (length <= kDf2FirmwareArea) {
    intent.Keep(kDf2Config, kDf2ConfigBytes);
  }
  return intent.Take();
}

RunIntent ParallelFlashUpdate(const RunInputs& in, const MemorySnapshot& before) {
  IntentBuilder intent(before, ByteRule::OldOrErased);
  intent.Exact(0, ZeroPadded(in.Image, kParallelBytes));
  return intent.Take();
}

// A descriptor without its 55/AA marks (a garbled block landed on it) names no base: the area is
// placed by the capacity, its base 257 sectors past the area start.
std::vector<std::uint8_t> DescriptorToWrite(const std::vector<std::uint8_t>& old,
                                            std::uint64_t areaStartSector) {
  if (old.size() == kDescriptorBytes && old.front() == 0x55 && old.back() == 0xAA) {
    return old;
  }
  const std::uint64_t base = areaStartSector + 257;
  return {0x55,
          static_cast<std::uint8_t>(base >> 24),
          static_cast<std::uint8_t>(base >> 16),
          static_cast<std::uint8_t>(base >> 8),
          static_cast<std::uint8_t>(base),
          0xAA};
}

// The image lands at the area start padded to whole 64 KB blocks, with the descriptor holding
// the base the old descriptor named.
RunIntent DiskFirmwareUpdate(const RunInputs& in, const MemorySnapshot& before) {
  IntentBuilder intent(before, ByteRule::Exact);
  const std::uint64_t area =
      DiskAreaStartOf(*in.Device) * DiskBlockSizeOf(*in.Device) - before.Base;
  std::vector<std::uint8_t> written = ZeroPadded(in.Image, RoundUp(in.Image.size(), kDiskBlock));
  const std::vector<std::uint8_t> descriptor = DescriptorToWrite(
      Slice(before.Bytes, area + kDescriptorOffset, area + kDescriptorOffset + kDescriptorBytes),
      DiskAreaStartOf(*in.Device));
  std::copy(descriptor.begin(), descriptor.end(),
            written.begin() + static_cast<std::ptrdiff_t>(kDescriptorOffset));
  intent.Exact(area, written);
  return intent.Take();
}

RunIntent DiskFirmwareErase(const RunInputs& in, const MemorySnapshot& before) {
  IntentBuilder intent(before, ByteRule::Exact);
  const std::uint64_t area =
      DiskAreaStartOf(*in.Device) * DiskBlockSizeOf(*in.Device) - before.Base;
  intent.Fill(area, area + kDiskBlock, 0x00);
  intent.Exact(area + kDescriptorOffset, Slice(before.Bytes, area + kDescriptorOffset,
                                               area + kDescriptorOffset + kDescriptorBytes));
  return intent.Take();
}

RunIntent EraseOnly(const RunInputs& in, const MemorySnapshot& before) {
  IntentBuilder intent(before, ByteRule::OldOrErased);
  switch (in.Device->Run) {
    case UpdateProcedure::None:
      return {};
    case UpdateProcedure::UpdateSerialFlash:
    case UpdateProcedure::UpdateSerialFlashSpi:
      ErasedRange(intent, in.FirmwareSize, 0, 0);
      break;
    case UpdateProcedure::UpdateFlashWithNvram:
    case UpdateProcedure::UpdateDfFlash:
      ErasedRange(intent, in.FirmwareSize, 0, in.NvramTicked ? 0 : kNvramBytes);
      break;
    case UpdateProcedure::UpdateDf2Flash:
      ErasedRange(intent, in.FirmwareSize, kDf2Config, kDf2ConfigBytes);
      break;
    case UpdateProcedure::UpdateParallelFlash:
      ErasedRange(intent, kParallelBytes, 0, 0);
      break;
    case UpdateProcedure::UpdateDiskFirmware:
      return DiskFirmwareErase(in, before);
  }
  return intent.Take();
}

RunIntent BackupOnly(const RunInputs& in, const MemorySnapshot& before) {
  IntentBuilder intent(before, ByteRule::Exact);
  switch (in.Device->Run) {
    case UpdateProcedure::None:
      return {};
    case UpdateProcedure::UpdateSerialFlash:
    case UpdateProcedure::UpdateSerialFlashSpi:
    case UpdateProcedure::UpdateDf2Flash:
      intent.Backup(before, 0, in.FirmwareSize);
      break;
    case UpdateProcedure::UpdateFlashWithNvram:
    case UpdateProcedure::UpdateDfFlash:
      intent.Backup(before, in.NvramTicked ? 0 : kNvramBytes, in.FirmwareSize);
      break;
    case UpdateProcedure::UpdateParallelFlash:
      intent.Backup(before, 0, kParallelBytes);
      break;
    case UpdateProcedure::UpdateDiskFirmware: {
      const std::uint64_t area =
          DiskAreaStartOf(*in.Device) * DiskBlockSizeOf(*in.Device) - before.Base;
      intent.Backup(before, area, area + in.FirmwareSize);
      break;
    }
  }
  return intent.Take();
}

}  // namespace

RunIntent IntendedOutcome(const RunInputs& in, const MemorySnapshot& before) {
  if (in.WhatRuns == EngineeringAction::EraseOnly) {
    return EraseOnly(in, before);
  }
  if (in.WhatRuns == EngineeringAction::BackupOnly) {
    return BackupOnly(in, before);
  }
  switch (in.Device->Run) {
    case UpdateProcedure::None:
      return {};
    case UpdateProcedure::UpdateSerialFlash:
      return SerialFlashUpdate(in, before);
    case UpdateProcedure::UpdateFlashWithNvram:
      return FlashWithNvramUpdate(in, before);
    case UpdateProcedure::UpdateSerialFlashSpi:
      return SerialFlashSpiUpdate(in, before);
    case UpdateProcedure::UpdateDfFlash:
      return DfFlashUpdate(in, before);
    case UpdateProcedure::UpdateDf2Flash:
      return Df2FlashUpdate(in, before);
    case UpdateProcedure::UpdateParallelFlash:
      return ParallelFlashUpdate(in, before);
    case UpdateProcedure::UpdateDiskFirmware:
      return DiskFirmwareUpdate(in, before);
  }
  return {};
}

std::optional<Mismatch> FindMismatch(const RunIntent& intent, const MemorySnapshot& before,
                                     const MemorySnapshot& after) {
  if (after.Bytes.size() != intent.Bytes.size() || before.Bytes.size() != intent.Bytes.size() ||
      after.Base != before.Base) {
    return Mismatch{after.Base, 0, 0, ByteRule::Exact};
  }
  for (std::size_t i = 0; i < intent.Bytes.size(); ++i) {
    const std::uint8_t found = after.Bytes[i];
    bool fits = false;
    switch (intent.Rules[i]) {
      case ByteRule::Exact:
        fits = found == intent.Bytes[i];
        break;
      case ByteRule::OldOrErased:
        fits = found == before.Bytes[i] || found == kErased;
        break;
      case ByteRule::ZeroOrErased:
        fits = found == 0x00 || found == kErased;
        break;
    }
    if (!fits) {
      return Mismatch{before.Base + i, intent.Bytes[i], found, intent.Rules[i]};
    }
  }
  return std::nullopt;
}

}  // namespace q71x::campaign
