// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The chip code a bridge puts into its standard INQUIRY reply, bytes 36-39 (vendor-specific in
// the SCSI standard, so a plain disk has anything or nothing there). Identification and the udev
// probe read the same bytes through this one function.

#include <cstddef>
#include <cstdint>
#include <span>

#include "src/catalog/chip_type_table.h"

namespace q71x {

inline constexpr std::size_t kInquiryChipCodeOffset = 36;
// The kernel keeps only the first 36 bytes of a device's reply, so the code must be asked for.
inline constexpr std::size_t kInquiryReplyWithChipCode = 40;

// The chip-type row whose INQUIRY code the reply carries, or null: a reply too short to hold
// the code names no row.
const ChipTypeRow* ChipRowOfInquiry(std::span<const std::uint8_t> reply);

}  // namespace q71x
