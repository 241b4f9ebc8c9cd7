// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Programming the serial flash by driving it opcode by opcode through the raw command channel
// (FF 04 20 / FF 04 22) instead of the bridge's block write: page program for most parts, the
// auto-address-increment byte or word programs for SST parts.
//
// Every byte handed in is programmed: a length that is not a multiple of the page or run ends
// with one shorter page or run (a NOR page program may carry fewer bytes than a page, and the
// auto-increment programs may stop after any byte or word). A word-mode run of odd length pads
// its last word with FF, which leaves the flash byte after the data as it was.

#include <array>
#include <cstdint>
#include <string>

#include "src/catalog/flash_vendor_table.h"

namespace q71x {

inline constexpr std::uint32_t kRawProgramChunk = 8192;

enum class RawProgramMethod { SpiPages, SstBytes, SstWords };

struct RawProgramMethodRow {
  RawProgramMethod Method;
  std::uint32_t Unit;  // page size or run length in bytes
};

// The method the flash-vendor row names; word runs only on a part that took word mode.
RawProgramMethodRow SelectRawProgramMethod(FlashVendor flashVendor, int sstWordMode);

// Programs length bytes at address in chunks of kRawProgramChunk, waiting for the flash before
// each. 1 when every byte was sent, 0 on the first failure or for length 0.
int ProgramSerialFlash(const std::string& devicePath, std::uint32_t address,
                       const std::uint8_t* data, std::uint32_t length, FlashVendor flashVendor,
                       int sstWordMode);

// The methods: 1 when every byte was sent, 0 on the first failing command, for length 0 or for
// a unit that cannot be used (0, or odd in word mode).
int ProgramSpiPages(const std::string& devicePath, std::uint32_t address, const std::uint8_t* data,
                    std::uint32_t length, std::uint32_t pageSize);
int SstProgramBytes(const std::string& devicePath, std::uint32_t address, const std::uint8_t* data,
                    std::uint32_t length, std::uint32_t runLength);
int SstProgramWords(const std::string& devicePath, std::uint32_t address, const std::uint8_t* data,
                    std::uint32_t length, std::uint32_t runLength);

// ENABLE WRITE STATUS, WRITE STATUS 00, WRITE ENABLE. Returns the result of the write enable.
int SstUnprotect(const std::string& devicePath);

}  // namespace q71x
