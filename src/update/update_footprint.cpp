// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/update_footprint.h"

#include <algorithm>

#include "src/device/disk_firmware_area.h"
#include "src/image/nvram_block.h"
#include "src/update/df/df_family.h"
#include "src/update/df/df_flash_update.h"
#include "src/update/disk/disk_firmware_layout.h"
#include "src/update/disk/disk_firmware_update.h"
#include "src/update/flash_common.h"
#include "src/update/image_source.h"
#include "src/update/parallel/parallel_flash_update.h"
#include "src/update/serial/block_unit_flash.h"
#include "src/update/serial/serial_flash_update.h"

namespace q71x {
namespace {

constexpr const char* kTooLargeText = "the image is larger than the firmware memory";

// `length` bytes programmed from address 0: the image's bytes from `imageStart` placed at
// `placeAt`, 0x00 everywhere else, as every procedure pads.
std::vector<std::uint8_t> Place(const std::vector<std::uint8_t>& image, std::uint64_t imageStart,
                                std::uint64_t placeAt, std::uint64_t length) {
  std::vector<std::uint8_t> programmed(static_cast<std::size_t>(length), 0x00);
  if (imageStart < image.size() && placeAt < length) {
    const std::uint64_t count =
        std::min<std::uint64_t>(image.size() - imageStart, length - placeAt);
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(imageStart),
                static_cast<std::ptrdiff_t>(count),
                programmed.begin() + static_cast<std::ptrdiff_t>(placeAt));
  }
  return programmed;
}

UpdateFootprint Refused(std::string why) {
  UpdateFootprint footprint;
  footprint.Refusal = std::move(why);
  return footprint;
}

// Area rounded to the flash page; the 512-byte copy at 0x8000 stays while the area ends below it.
UpdateFootprint SerialFlash(ToolWindow& window, const std::vector<std::uint8_t>& image) {
  const std::uint32_t page = window.Settings().FlashPageSize;
  if (page == 0) {
    return Refused("the flash page size is not known");
  }
  const std::uint64_t wanted = std::max<std::uint64_t>(image.size(), kSerialFlashMinimumArea);
  const std::uint64_t area = (wanted + page - 1) / page * page;
  if (area > kFlashAddressSpace) {
    return Refused(kTooLargeText);
  }
  UpdateFootprint footprint;
  footprint.Programmed = Place(image, 0, 0, area);
  if (area <= kConfigCopyKeptUpTo) {
    footprint.Kept.push_back({kConfigCopyAddress, kConfigCopyBytes, "configuration copy"});
  }
  return footprint;
}

// In device-area mode the device's 4 KB stay at 0 and the image follows them (less the file's own
// area when it has one); with the tick and a file that has its area, the file goes in unchanged.
UpdateFootprint FlashWithNvram(ToolWindow& window, const std::string& imagePath,
                               const std::vector<std::uint8_t>& image) {
  const bool fileHasNvram = DetectNvramBlock(imagePath, window.State().ChipType) == 1;
  const bool fileArea = fileHasNvram && window.NvramTicked();
  const std::uint64_t area =
      RoundUpToBlocks(std::max<std::uint64_t>(image.size(), kProgramBlockBytes) +
                      (fileHasNvram ? 0 : kConfigAreaSkip));
  if (area > kFlashAddressSpace) {
    return Refused(kTooLargeText);
  }
  UpdateFootprint footprint;
  if (fileArea) {
    footprint.Programmed = Place(image, 0, 0, area);
    return footprint;
  }
  // The image goes in 16 KB chunks behind the device's area; the rest of the area stays erased.
  // Each block carries 4 KB over into the next, and the last carry is written only when the
  // blocks stop short of the area: ending on it, the padded chunk's last 4 KB are never written.
  const std::uint64_t start = fileHasNvram ? kConfigAreaSkip : 0;
  const std::uint64_t chunks = RoundUpToBlocks(image.size() - start) / kProgramBlockBytes;
  footprint.Programmed = Place(image, start, kConfigAreaSkip,
                               std::min(kConfigAreaSkip + chunks * kProgramBlockBytes, area));
  footprint.Kept.push_back({0, kConfigAreaSkip, "configuration area (NVRAM)"});
  return footprint;
}

// Host-programmed 16 KB blocks; the tick is set by the procedure itself, nothing is kept.
UpdateFootprint SerialFlashSpi(const std::vector<std::uint8_t>& image) {
  const std::uint64_t area =
      RoundUpToBlocks(std::max<std::uint64_t>(image.size(), kProgramBlockBytes));
  if (area > kFlashAddressSpace) {
    return Refused(kTooLargeText);
  }
  UpdateFootprint footprint;
  footprint.Programmed = Place(image, 0, 0, area);
  return footprint;
}

// Without the tick the device's 4 KB at 0 replace the file's own.
UpdateFootprint DfFlash(ToolWindow& window, const std::vector<std::uint8_t>& image) {
  if (image.size() > kDfAddressSpace) {
    return Refused(kTooLargeText);
  }
  UpdateFootprint footprint;
  // The program length is padded again to whole write transfers, zeros and all.
  footprint.Programmed =
      Place(image, 0, 0, RoundUpTo(RoundUpTo(image.size(), kDfProgramGranule), kDfWriteGranule));
  if (!window.NvramTicked()) {
    footprint.Kept.push_back({0, kDfNvramSize, "configuration area (NVRAM)"});
  }
  return footprint;
}

// At least the 32 KB firmware area; the 1 KB area above it stays while the image fits below.
UpdateFootprint Df2Flash(const std::vector<std::uint8_t>& image) {
  if (image.size() > kFlashAddressSpace) {
    return Refused(kTooLargeText);
  }
  const std::uint64_t length =
      RoundUpTo(std::max<std::uint64_t>(image.size(), kDf2FirmwareArea), kDf2WriteGranule);
  UpdateFootprint footprint;
  footprint.Programmed = Place(image, 0, 0, length);
  if (length <= kDf2FirmwareArea) {
    footprint.Kept.push_back({kDf2NvramAddress, kDf2NvramSize, "configuration area (NVRAM)"});
  }
  return footprint;
}

// The whole 64 KB part, always.
UpdateFootprint ParallelFlash(const std::vector<std::uint8_t>& image) {
  if (image.size() > kParallelFlashSize) {
    return Refused(kTooLargeText);
  }
  UpdateFootprint footprint;
  footprint.Programmed = Place(image, 0, 0, kParallelFlashSize);
  return footprint;
}

// Whole 64 KB blocks on the disk; the descriptor in the first sector is the device's own base.
UpdateFootprint DiskFirmware(const std::vector<std::uint8_t>& image) {
  const std::uint64_t padded = RoundUpTo(image.size(), kDiskImagePadding);
  const std::uint64_t blocks = (padded + kDiskFirmwareBlockSize - 1) / kDiskFirmwareBlockSize;
  if (blocks * kDiskFirmwareBlockSize > kFlashAddressSpace) {
    return Refused(kTooLargeText);
  }
  UpdateFootprint footprint;
  footprint.Programmed = Place(image, 0, 0, blocks * kDiskFirmwareBlockSize);
  footprint.Kept.push_back({static_cast<std::uint32_t>(kFwAreaDescriptorOffset),
                            static_cast<std::uint32_t>(kFwAreaDescriptorLength),
                            "firmware area descriptor"});
  return footprint;
}

UpdateFootprint WithReach(UpdateFootprint footprint) {
  footprint.Reach = RoundUpTo(footprint.Programmed.size(), kLargestEraseUnit);
  return footprint;
}

UpdateFootprint PlanFamilyFootprint(UpdateProcedure procedure, ToolWindow& window,
                                    const std::string& imagePath,
                                    const std::vector<std::uint8_t>& image) {
  switch (procedure) {
    case UpdateProcedure::UpdateSerialFlash:
      return SerialFlash(window, image);
    case UpdateProcedure::UpdateFlashWithNvram:
      return FlashWithNvram(window, imagePath, image);
    case UpdateProcedure::UpdateSerialFlashSpi:
      return SerialFlashSpi(image);
    case UpdateProcedure::UpdateDfFlash:
      return DfFlash(window, image);
    case UpdateProcedure::UpdateDf2Flash:
      return Df2Flash(image);
    case UpdateProcedure::UpdateParallelFlash:
      return ParallelFlash(image);
    case UpdateProcedure::UpdateDiskFirmware:
      return DiskFirmware(image);
    case UpdateProcedure::None:
      break;
  }
  return Refused("this device has no update procedure");
}

}  // namespace

bool InKeptRange(const std::vector<KeptRange>& kept, std::uint64_t offset) {
  return std::any_of(kept.begin(), kept.end(), [offset](const KeptRange& range) {
    return offset >= range.Offset && offset - range.Offset < range.Length;
  });
}

UpdateFootprint PlanUpdateFootprint(UpdateProcedure procedure, ToolWindow& window,
                                    const std::string& imagePath,
                                    const std::vector<std::uint8_t>& image) {
  if (image.empty()) {
    return Refused("the image is empty");
  }
  return WithReach(PlanFamilyFootprint(procedure, window, imagePath, image));
}

}  // namespace q71x
