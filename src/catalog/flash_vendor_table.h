// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The serial-flash vendor table: one row per vendor number the bridges and the detection use
// (the row number is FlashVendor), with everything the procedures do differently for a vendor's
// parts. A procedure asks the row, never the vendor number, so a new vendor is one row here.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace q71x {

// The rows by name; the value is the number the bridges answer with.
enum class FlashVendor : std::uint8_t {
  Unknown = 0,
  Pmc = 1,
  Sst = 2,
  StEonMxic = 3,
  Atmel = 4,
  Mxic = 5,
  Winbond = 6,
  Amic = 7,
  Eon = 8,
  Esmt = 9,
};

// How the host programs the part through the bridge's raw flash channel.
enum class RawProgramming {
  SpiPages,          // page program (02) in pages of ProgramUnit bytes
  SstAutoIncrement,  // SST auto-increment runs of ProgramUnit bytes: words on a part that
                     // answered the SPI id, bytes otherwise
};

// The erase mark with which the DF family's bridge clears the whole firmware area.
enum class WholeAreaErase {
  WholeFlashMark,
  BlockMark,  // the part has no whole-flash erase the bridge can use
};

// The first bytes of a JEDEC id that name the vendor; a zero second byte matches any.
struct JedecPrefix {
  std::uint8_t Maker = 0;
  std::uint8_t Next = 0;
};

struct FlashVendorRow {
  FlashVendor Vendor = FlashVendor::Unknown;
  std::string_view Name{};
  std::uint32_t LargeEraseUnit = 32768;
  std::uint32_t SmallEraseUnit = 4096;
  std::array<JedecPrefix, 2> Jedec{};  // unused entries have a zero maker

  // Shipped with block protection on: unprotect before the first erase or program.
  bool UnprotectFirst = false;
  // Unprotected again by the host-programmed (dual-path) procedure, which does no write-enable.
  bool UnprotectBeforeHostProgram = false;
  RawProgramming Programming = RawProgramming::SpiPages;
  std::uint32_t ProgramUnit = 256;
  // Some parts of the vendor have 32-byte pages and are told apart by their JEDEC id.
  bool SmallPageParts = false;
  // SST parts that answer the SPI id take word programming.
  bool WordProgrammingById = false;

  // DF family: the whole-area erase, and where the part wants more than the bridge's default.
  WholeAreaErase WholeErase = WholeAreaErase::WholeFlashMark;
  bool MarkBitOnFirstBlock = false;  // the bridge needs the vendor bit on marks at address 0
  bool EraseInHalves = false;        // a second whole-area erase at the upper half
  bool ChipEraseOnly = false;        // a second erase is the whole chip again, never sectors
  bool FirstBlockErasedBeforeProgram = false;  // the configuration block erased as a block first
};

inline constexpr auto kFlashVendors = std::to_array<FlashVendorRow>({
    {.Vendor = FlashVendor::Unknown, .Name = "Unknown"},
    {.Vendor = FlashVendor::Pmc, .Name = "PMC", .Jedec = {{{0x7F, 0x9D}}}},
    {.Vendor = FlashVendor::Sst,
     .Name = "SST",
     .Programming = RawProgramming::SstAutoIncrement,
     .ProgramUnit = 512,
     .WordProgrammingById = true},
    {.Vendor = FlashVendor::StEonMxic,
     .Name = "ST/EON/MXIC",
     .LargeEraseUnit = 65536,
     .SmallEraseUnit = 32768,
     .Jedec = {{{0x20, 0}}},
     .UnprotectFirst = true},
    {.Vendor = FlashVendor::Atmel,
     .Name = "ATMEL",
     .LargeEraseUnit = 65536,
     .SmallEraseUnit = 32768,
     .Jedec = {{{0x1F, 0}}},
     .WholeErase = WholeAreaErase::BlockMark,
     .EraseInHalves = true},
    {.Vendor = FlashVendor::Mxic,
     .Name = "MXIC",
     .LargeEraseUnit = 65536,
     .Jedec = {{{0xC2, 0}}},
     .UnprotectFirst = true,
     .UnprotectBeforeHostProgram = true,
     .ProgramUnit = 32,
     .SmallPageParts = true,
     .MarkBitOnFirstBlock = true,
     .ChipEraseOnly = true,
     .FirstBlockErasedBeforeProgram = true},
    {.Vendor = FlashVendor::Winbond,
     .Name = "WINBOND",
     .LargeEraseUnit = 65536,
     .Jedec = {{{0xEF, 0}}}},
    {.Vendor = FlashVendor::Amic,
     .Name = "AMIC",
     .LargeEraseUnit = 65536,
     .Jedec = {{{0x7F, 0x37}, {0x37, 0x30}}}},
    {.Vendor = FlashVendor::Eon,
     .Name = "EON",
     .LargeEraseUnit = 65536,
     .SmallEraseUnit = 32768,
     .Jedec = {{{0x1C, 0}}},
     .WholeErase = WholeAreaErase::BlockMark},
    {.Vendor = FlashVendor::Esmt, .Name = "ESMT", .LargeEraseUnit = 65536, .Jedec = {{{0x8C, 0}}}},
});
inline constexpr int kFlashVendorCount = static_cast<int>(kFlashVendors.size());

inline constexpr std::uint8_t RowNumber(FlashVendor vendor) {
  return static_cast<std::uint8_t>(vendor);
}

// A vendor number read from a file or handed over by a program: nothing when no row carries it,
// so the reader refuses the field instead of taking another vendor.
inline constexpr std::optional<FlashVendor> FlashVendorOfNumber(long long number) {
  if (number < 0 || number >= kFlashVendorCount) {
    return std::nullopt;
  }
  return static_cast<FlashVendor>(number);
}

// A vendor number from a bridge or a probe, made safe to index with: anything outside the table
// is "Unknown".
inline constexpr FlashVendor ToFlashVendor(int vendor) {
  return FlashVendorOfNumber(vendor).value_or(FlashVendor::Unknown);
}
inline constexpr int SafeFlashVendor(int vendor) {
  return RowNumber(ToFlashVendor(vendor));
}

// Even a value cast into the enum from outside the table reads the "Unknown" row.
inline constexpr const FlashVendorRow& VendorRow(FlashVendor vendor) {
  return kFlashVendors[RowNumber(ToFlashVendor(RowNumber(vendor)))];
}
inline constexpr const FlashVendorRow& VendorRow(int vendor) {
  return VendorRow(ToFlashVendor(vendor));
}

// The vendor whose JEDEC prefix the id begins with; Unknown when none does.
FlashVendor VendorOfJedecId(const std::uint8_t id[2],
                            std::span<const FlashVendorRow> rows = kFlashVendors);

// What is wrong with `rows` as a flash-vendor table, one text per problem; empty when nothing is.
std::vector<std::string> CheckFlashVendorTable(
    std::span<const FlashVendorRow> rows = kFlashVendors);

}  // namespace q71x
