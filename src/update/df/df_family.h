// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Facts and texts shared by the procedures that reach the flash through the bridge's DF
// command family (and its 1394 sibling): the bridge erases and programs on its own, guided by
// the mark in each write block's mode byte.

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace q71x {

// Vendors whose row asks for it (MarkBitOnFirstBlock) want this bit on the erase mark of the
// block at address 0.
inline constexpr std::uint8_t kVendorMarkBit = 0x80;
// Erase marks of the mode byte (low three bits).
inline constexpr std::uint8_t kMarkNone = 0;
inline constexpr std::uint8_t kMarkSector = 1;
inline constexpr std::uint8_t kMarkBlock = 2;
inline constexpr std::uint8_t kMarkWholeFlash = 3;

// Transfers are padded to these multiples; the padding is 0x00.
inline constexpr std::uint32_t kDfWriteGranule = 512;
inline constexpr std::uint32_t kDf2WriteGranule = 256;
// Page sizes the two entry points set before any transfer.
inline constexpr std::uint32_t kDfPageSize = 8192;
inline constexpr std::uint32_t kDf2PageSize = 256;
// The bridge refuses longer blocks at address 0, where the configuration area lives.
inline constexpr std::uint32_t kFirstBlockLimit = 4096;

// The controller's own configuration area (NVRAM): 4 KB at 0 for the DF family, 1 KB at 0x8000
// for the 1394 family.
inline constexpr std::uint32_t kDfNvramSize = 4096;
inline constexpr std::uint32_t kDf2NvramAddress = 0x8000;
inline constexpr std::uint32_t kDf2NvramSize = 1024;
// The 1394 family's firmware area ends where its configuration area begins.
inline constexpr std::uint32_t kDf2FirmwareArea = 0x8000;
// The erase command of the erase-only actions: one block of 0xFF carrying the mark.
inline constexpr std::uint32_t kDfEraseBlockLength = 4096;
inline constexpr std::uint32_t kDf2EraseBlockLength = 256;
// Parts that erase in two halves (EraseInHalves) take the second erase here.
inline constexpr std::uint32_t kSecondHalfEraseAddress = 0x8000;
inline constexpr std::uint32_t kEraseSettleMs = 500;

// Flash addresses are 24 bits wide: nothing longer can be transferred without wrapping onto 0.
inline constexpr std::uint64_t kDfAddressSpace = 0x1000000;

inline constexpr std::uint64_t RoundUpTo(std::uint64_t value, std::uint32_t granule) {
  return (value + granule - 1) / granule * granule;
}

// A transfer's length padded to whole granules, capped so that the rounding cannot wrap.
inline constexpr std::uint32_t PaddedTransferLength(std::uint32_t length, std::uint32_t granule) {
  return static_cast<std::uint32_t>(std::min(RoundUpTo(length, granule), kDfAddressSpace));
}

// Texts of these families that the serial-flash procedures do not share (the shared ones are in
// update_texts.h).
inline constexpr std::string_view kReadFlashText = "ReadFlash...";
inline constexpr std::string_view kDf2EraseCommandFailText = "Erase flash command fail!";
inline constexpr std::string_view kWriteBinFileFailText = "Write Bin File fail!";
inline constexpr std::string_view kReadCommandFailText = "Read command fail!";
// The DF family's default backup name differs from the serial flash's in one capital.
inline constexpr std::string_view kDfDefaultBackupName = "oldFlash.bak";

// Ours: an image that keeps the device's configuration area must carry firmware after its own.
inline constexpr std::string_view kImageWithoutFirmwareText =
    "Firmware file holds no more than the 4K NVRAM area, nothing erased!";

}  // namespace q71x
