// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/serial_flash_parts.h"

#include <algorithm>
#include <array>
#include <set>

namespace q71x::sim {
namespace {

constexpr std::uint32_t kKib = 1024;
constexpr std::uint32_t kMs = 1000;

constexpr IdBytes Id(std::uint8_t a) {
  return IdBytes{1, {a, 0, 0, 0}};
}
constexpr IdBytes Id(std::uint8_t a, std::uint8_t b) {
  return IdBytes{2, {a, b, 0, 0}};
}
constexpr IdBytes Id(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  return IdBytes{3, {a, b, c, 0}};
}
constexpr IdBytes Id(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  return IdBytes{4, {a, b, c, d}};
}

// AMIC bottom-boot parts split their first 64 KB block into five sectors.
constexpr std::array<std::uint32_t, kMaxBootUnits> kAmicBottomBoot = {
    4 * kKib, 4 * kKib, 8 * kKib, 16 * kKib, 32 * kKib, 0};

// Uniform 4 KB / 32 KB / 64 KB erasers with both chip-erase opcodes, the common modern layout.
constexpr std::array<EraseOp, kMaxErasers> UniformErasers(std::uint32_t sectorUs,
                                                          std::uint32_t block32Us,
                                                          std::uint32_t block64Us,
                                                          std::uint32_t chipUs) {
  return {EraseOp{0x20, 4 * kKib, sectorUs}, EraseOp{0x52, 32 * kKib, block32Us},
          EraseOp{0xD8, 64 * kKib, block64Us}, EraseOp{0xC7, 0, chipUs}, EraseOp{0x60, 0, chipUs}};
}

constexpr SerialFlashPart kParts[] = {
    // Row 1, PMC: the AB answer carries the maker id 9D in its fourth byte.
    {.Name = "Pm25LV010",
     .VendorRow = 1,
     .SizeBytes = 128 * kKib,
     .JedecId = Id(0x7F, 0x9D, 0x7C),
     .SignatureAb = Id(0x9D, 0x7C),
     .ReadId90 = Id(0x9D, 0x7C),
     .Erasers = {EraseOp{0xD7, 4 * kKib, 80 * kMs}, EraseOp{0xD8, 32 * kKib, 500 * kMs},
                 EraseOp{0xC7, 0, 1500 * kMs}},
     .PageProgramUs = 1500,
     .WriteStatusUs = 10 * kMs},
    // Row 1 by JEDEC id only (7F 9D): its AB answer is a plain signature.
    {.Name = "Pm25LD512",
     .VendorRow = 1,
     .SizeBytes = 64 * kKib,
     .JedecId = Id(0x7F, 0x9D, 0x20),
     .SignatureAb = Id(0x05),
     .ReadId90 = Id(0x9D, 0x05),
     .Erasers = UniformErasers(60 * kMs, 300 * kMs, 500 * kMs, 800 * kMs),
     .WriteStatusUs = 10 * kMs},
    // Row 2, SST: no JEDEC id on the older parts; READ-ID (90) answers BF.
    {.Name = "SST25VF512A",
     .VendorRow = 2,
     .SizeBytes = 64 * kKib,
     .PageBytes = 1,
     .SignatureAb = Id(0xBF, 0x48),
     .ReadId90 = Id(0xBF, 0x48),
     .Erasers = {EraseOp{0x20, 4 * kKib, 25 * kMs}, EraseOp{0x52, 32 * kKib, 25 * kMs},
                 EraseOp{0x60, 0, 100 * kMs}},
     .HasEwsr = true,
     .HasAaiByte = true,
     .ProtectMask = 0x0C,
     .PowerOnStatus = 0x0C,
     .PageProgramUs = 20,
     .AaiProgramUs = 20},
    {.Name = "SST25VF010A",
     .VendorRow = 2,
     .SizeBytes = 128 * kKib,
     .PageBytes = 1,
     .SignatureAb = Id(0xBF, 0x49),
     .ReadId90 = Id(0xBF, 0x49),
     .Erasers = {EraseOp{0x20, 4 * kKib, 25 * kMs}, EraseOp{0x52, 32 * kKib, 25 * kMs},
                 EraseOp{0x60, 0, 100 * kMs}},
     .HasEwsr = true,
     .HasAaiByte = true,
     .ProtectMask = 0x0C,
     .PowerOnStatus = 0x0C,
     .PageProgramUs = 20,
     .AaiProgramUs = 20},
    // SST with JEDEC id BF 25 xx: word auto-address-increment only.
    {.Name = "SST25VF016B",
     .VendorRow = 2,
     .SizeBytes = 2048 * kKib,
     .PageBytes = 1,
     .JedecId = Id(0xBF, 0x25, 0x41),
     .SignatureAb = Id(0xBF, 0x41),
     .ReadId90 = Id(0xBF, 0x41),
     .Erasers = UniformErasers(25 * kMs, 25 * kMs, 25 * kMs, 50 * kMs),
     .HasEwsr = true,
     .HasAaiWord = true,
     .ProtectMask = 0x3C,
     .PowerOnStatus = 0x1C,
     .PageProgramUs = 10,
     .AaiProgramUs = 10},
    // Row 3 by JEDEC maker byte 20: 32 KB sectors.
    {.Name = "M25P05-A",
     .VendorRow = 3,
     .SizeBytes = 64 * kKib,
     .JedecId = Id(0x20, 0x20, 0x10),
     .SignatureAb = Id(0x05),
     .Erasers = {EraseOp{0xD8, 32 * kKib, 600 * kMs}, EraseOp{0xC7, 0, 1000 * kMs}},
     .PageProgramUs = 1400,
     .WriteStatusUs = 5 * kMs},
    // Row 3 by the legacy signature 05 only: an early part without JEDEC id.
    {.Name = "M25P05",
     .VendorRow = 3,
     .SizeBytes = 64 * kKib,
     .SignatureAb = Id(0x05),
     .Erasers = {EraseOp{0xD8, 32 * kKib, 1000 * kMs}, EraseOp{0xC7, 0, 2000 * kMs}},
     .PageProgramUs = 3000,
     .WriteStatusUs = 15 * kMs},
    // Row 4, ATMEL by the legacy id (opcode 15): chip erase 62, sector erase 52, 128-byte pages.
    {.Name = "AT25F512A",
     .VendorRow = 4,
     .SizeBytes = 64 * kKib,
     .PageBytes = 128,
     .LegacyId15 = Id(0x1F, 0x65),
     .Erasers = {EraseOp{0x52, 32 * kKib, 1100 * kMs}, EraseOp{0x62, 0, 2200 * kMs}},
     .PageProgramUs = 2500,
     .WriteStatusUs = 20 * kMs},
    // ATMEL by JEDEC id 1F 65 / 1F 66 / 1F 44: the part codes 1, 2 and 0 of the ATMEL probe.
    {.Name = "AT25F512B",
     .VendorRow = 4,
     .SizeBytes = 64 * kKib,
     .JedecId = Id(0x1F, 0x65, 0x01, 0x00),
     .Erasers = {EraseOp{0x20, 4 * kKib, 50 * kMs}, EraseOp{0x52, 32 * kKib, 300 * kMs},
                 EraseOp{0xD8, 32 * kKib, 300 * kMs}, EraseOp{0xC7, 0, 700 * kMs},
                 EraseOp{0x60, 0, 700 * kMs}},
     .WriteStatusUs = 5 * kMs},
    {.Name = "AT25FS010",
     .VendorRow = 4,
     .SizeBytes = 128 * kKib,
     .JedecId = Id(0x1F, 0x66, 0x01, 0x00),
     .Erasers = UniformErasers(50 * kMs, 350 * kMs, 600 * kMs, 1600 * kMs),
     .WriteStatusUs = 5 * kMs},
    // Powers on with every sector protected: nothing changes until WRITE STATUS 00.
    {.Name = "AT25DF041A",
     .VendorRow = 4,
     .SizeBytes = 512 * kKib,
     .JedecId = Id(0x1F, 0x44, 0x01, 0x00),
     .Erasers = UniformErasers(50 * kMs, 250 * kMs, 400 * kMs, 3000 * kMs),
     .PowerOnStatus = 0x0C,
     .WriteStatusUs = 5 * kMs},
    // Row 5, MXIC.
    {.Name = "MX25L512",
     .VendorRow = 5,
     .SizeBytes = 64 * kKib,
     .JedecId = Id(0xC2, 0x20, 0x10),
     .SignatureAb = Id(0x05),
     .ReadId90 = Id(0xC2, 0x05),
     .Erasers = UniformErasers(60 * kMs, 500 * kMs, 700 * kMs, 1000 * kMs),
     .WriteStatusUs = 5 * kMs},
    // MXIC parts with 32-byte pages (C2 22 10/11/13): a 256-byte page program wraps inside 32.
    {.Name = "MX25V512-P32",
     .VendorRow = 5,
     .SizeBytes = 64 * kKib,
     .PageBytes = 32,
     .JedecId = Id(0xC2, 0x22, 0x10),
     .SignatureAb = Id(0x05),
     .ReadId90 = Id(0xC2, 0x05),
     .Erasers = UniformErasers(60 * kMs, 500 * kMs, 700 * kMs, 1000 * kMs),
     .PageProgramUs = 300,
     .WriteStatusUs = 5 * kMs},
    {.Name = "MX25V1006-P32",
     .VendorRow = 5,
     .SizeBytes = 128 * kKib,
     .PageBytes = 32,
     .JedecId = Id(0xC2, 0x22, 0x11),
     .SignatureAb = Id(0x10),
     .ReadId90 = Id(0xC2, 0x10),
     .Erasers = UniformErasers(60 * kMs, 500 * kMs, 700 * kMs, 1500 * kMs),
     .PageProgramUs = 300,
     .WriteStatusUs = 5 * kMs},
    {.Name = "MX25V4006-P32",
     .VendorRow = 5,
     .SizeBytes = 512 * kKib,
     .PageBytes = 32,
     .JedecId = Id(0xC2, 0x22, 0x13),
     .SignatureAb = Id(0x12),
     .ReadId90 = Id(0xC2, 0x12),
     .Erasers = UniformErasers(60 * kMs, 500 * kMs, 700 * kMs, 4000 * kMs),
     .PageProgramUs = 300,
     .WriteStatusUs = 5 * kMs},
    {.Name = "MX25L1605",
     .VendorRow = 5,
     .SizeBytes = 2048 * kKib,
     .JedecId = Id(0xC2, 0x20, 0x15),
     .SignatureAb = Id(0x14),
     .ReadId90 = Id(0xC2, 0x14),
     .Erasers = UniformErasers(90 * kMs, 500 * kMs, 1000 * kMs, 12000 * kMs),
     .WriteStatusUs = 5 * kMs},
    // Row 6, WINBOND.
    {.Name = "W25X10",
     .VendorRow = 6,
     .SizeBytes = 128 * kKib,
     .JedecId = Id(0xEF, 0x30, 0x11),
     .SignatureAb = Id(0x10),
     .ReadId90 = Id(0xEF, 0x10),
     .Erasers = UniformErasers(150 * kMs, 400 * kMs, 600 * kMs, 2000 * kMs),
     .WriteStatusUs = 10 * kMs},
    {.Name = "W25X16",
     .VendorRow = 6,
     .SizeBytes = 2048 * kKib,
     .JedecId = Id(0xEF, 0x30, 0x15),
     .SignatureAb = Id(0x14),
     .ReadId90 = Id(0xEF, 0x14),
     .Erasers = UniformErasers(150 * kMs, 400 * kMs, 600 * kMs, 10000 * kMs),
     .WriteStatusUs = 10 * kMs},
    // Row 7, AMIC. The 7F 37 20 xx parts carry the AMIC part codes 5, 3, 1 and 4 in their
    // fourth byte; the first three have a bottom boot block.
    {.Name = "A25L05PU",
     .VendorRow = 7,
     .SizeBytes = 64 * kKib,
     .JedecId = Id(0x7F, 0x37, 0x20, 0x10),
     .SignatureAb = Id(0x05),
     .Erasers = {EraseOp{0xD8, 64 * kKib, 700 * kMs}, EraseOp{0xC7, 0, 1000 * kMs}},
     .BootEraseOpcode = 0xD8,
     .BootUnits = kAmicBottomBoot,
     .WriteStatusUs = 10 * kMs},
    {.Name = "A25L10PU",
     .VendorRow = 7,
     .SizeBytes = 128 * kKib,
     .JedecId = Id(0x7F, 0x37, 0x20, 0x11),
     .SignatureAb = Id(0x10),
     .Erasers = {EraseOp{0xD8, 64 * kKib, 700 * kMs}, EraseOp{0xC7, 0, 1500 * kMs}},
     .BootEraseOpcode = 0xD8,
     .BootUnits = kAmicBottomBoot,
     .WriteStatusUs = 10 * kMs},
    {.Name = "A25L20PU",
     .VendorRow = 7,
     .SizeBytes = 256 * kKib,
     .JedecId = Id(0x7F, 0x37, 0x20, 0x12),
     .SignatureAb = Id(0x11),
     .Erasers = {EraseOp{0xD8, 64 * kKib, 700 * kMs}, EraseOp{0xC7, 0, 2500 * kMs}},
     .BootEraseOpcode = 0xD8,
     .BootUnits = kAmicBottomBoot,
     .WriteStatusUs = 10 * kMs},
    {.Name = "A25L512U",
     .VendorRow = 7,
     .SizeBytes = 64 * kKib,
     .JedecId = Id(0x7F, 0x37, 0x20, 0x20),
     .SignatureAb = Id(0x05),
     .Erasers = UniformErasers(60 * kMs, 350 * kMs, 700 * kMs, 1000 * kMs),
     .WriteStatusUs = 10 * kMs},
    // AMIC with the short JEDEC id 37 30 (no continuation byte): not one the AMIC probe knows.
    {.Name = "A25L512",
     .VendorRow = 7,
     .SizeBytes = 64 * kKib,
     .JedecId = Id(0x37, 0x30, 0x10),
     .SignatureAb = Id(0x05),
     .Erasers = UniformErasers(60 * kMs, 350 * kMs, 700 * kMs, 1000 * kMs),
     .WriteStatusUs = 10 * kMs},
    // Row 8, EON: 32 KB sectors on the early part.
    {.Name = "EN25P05",
     .VendorRow = 8,
     .SizeBytes = 64 * kKib,
     .JedecId = Id(0x1C, 0x20, 0x10),
     .SignatureAb = Id(0x05),
     .Erasers = {EraseOp{0xD8, 32 * kKib, 800 * kMs}, EraseOp{0xC7, 0, 1600 * kMs}},
     .PageProgramUs = 1500,
     .WriteStatusUs = 10 * kMs},
    {.Name = "EN25F80",
     .VendorRow = 8,
     .SizeBytes = 1024 * kKib,
     .JedecId = Id(0x1C, 0x31, 0x14),
     .SignatureAb = Id(0x13),
     .ReadId90 = Id(0x1C, 0x13),
     .Erasers = UniformErasers(90 * kMs, 400 * kMs, 600 * kMs, 7000 * kMs),
     .WriteStatusUs = 10 * kMs},
    // Row 9, ESMT.
    {.Name = "F25L04PA",
     .VendorRow = 9,
     .SizeBytes = 512 * kKib,
     .JedecId = Id(0x8C, 0x20, 0x13),
     .SignatureAb = Id(0x12),
     .ReadId90 = Id(0x8C, 0x12),
     .Erasers = UniformErasers(90 * kMs, 400 * kMs, 700 * kMs, 4000 * kMs),
     .WriteStatusUs = 10 * kMs},
    {.Name = "F25L16PA",
     .VendorRow = 9,
     .SizeBytes = 2048 * kKib,
     .JedecId = Id(0x8C, 0x21, 0x15),
     .SignatureAb = Id(0x14),
     .ReadId90 = Id(0x8C, 0x14),
     .Erasers = UniformErasers(90 * kMs, 400 * kMs, 700 * kMs, 14000 * kMs),
     .WriteStatusUs = 10 * kMs},
    // A maker no flash-vendor row names: every identification sequence comes up undecided.
    {.Name = "GD25Q40",
     .VendorRow = 0,
     .SizeBytes = 512 * kKib,
     .JedecId = Id(0xC8, 0x40, 0x13),
     .SignatureAb = Id(0x12),
     .ReadId90 = Id(0xC8, 0x12),
     .Erasers = UniformErasers(50 * kMs, 250 * kMs, 400 * kMs, 3000 * kMs),
     .WriteStatusUs = 10 * kMs},
};

bool IsPowerOfTwo(std::uint32_t value) {
  return value != 0 && (value & (value - 1)) == 0;
}

void CheckErasers(const SerialFlashPart& part, std::vector<std::string>& problems) {
  const std::string name = part.Name;
  bool hasChipErase = false;
  std::set<std::uint8_t> opcodes;
  for (const EraseOp& op : part.Erasers) {
    if (op.Opcode == 0) {
      continue;
    }
    if (!opcodes.insert(op.Opcode).second) {
      problems.push_back(name + ": erase opcode listed twice");
    }
    if (op.TimeUs == 0) {
      problems.push_back(name + ": erase without a time");
    }
    if (op.UnitBytes == 0) {
      hasChipErase = true;
    } else if (!IsPowerOfTwo(op.UnitBytes) || part.SizeBytes % op.UnitBytes != 0) {
      problems.push_back(name + ": erase unit does not divide the size");
    }
  }
  if (!hasChipErase) {
    problems.push_back(name + ": no chip erase");
  }
  if (part.BootEraseOpcode != 0) {
    const EraseOp* boot = part.FindEraser(part.BootEraseOpcode);
    std::uint32_t total = 0;
    for (std::uint32_t unit : part.BootUnits) {
      total += unit;
    }
    if (boot == nullptr || boot->UnitBytes != total) {
      problems.push_back(name + ": boot sectors do not fill the first block");
    }
  }
}

}  // namespace

std::span<const SerialFlashPart> SerialFlashParts() {
  return kParts;
}

const SerialFlashPart* FindSerialFlashPart(std::string_view name) {
  for (const SerialFlashPart& part : kParts) {
    if (name == part.Name) {
      return &part;
    }
  }
  return nullptr;
}

std::vector<std::string> CheckSerialFlashParts(std::span<const SerialFlashPart> parts) {
  std::vector<std::string> problems;
  std::set<std::string> names;
  std::set<std::vector<std::uint8_t>> jedecIds;
  std::array<int, 10> perRow{};
  for (const SerialFlashPart& part : parts) {
    const std::string name = part.Name;
    if (name.empty() || !names.insert(name).second) {
      problems.push_back("part name missing or used twice: " + name);
    }
    if (part.SizeBytes < 64 * kKib || part.SizeBytes > 2048 * kKib ||
        !IsPowerOfTwo(part.SizeBytes)) {
      problems.push_back(name + ": size outside 512 Kbit to 16 Mbit");
    }
    if (!IsPowerOfTwo(part.PageBytes) || part.SizeBytes % part.PageBytes != 0) {
      problems.push_back(name + ": page size does not divide the size");
    }
    if ((part.PowerOnStatus & ~part.ProtectMask) != 0) {
      problems.push_back(name + ": power-on status outside the protect bits");
    }
    if (part.JedecId.Length > 0) {
      const std::vector<std::uint8_t> id(part.JedecId.Bytes.begin(),
                                         part.JedecId.Bytes.begin() + part.JedecId.Length);
      if (!jedecIds.insert(id).second) {
        problems.push_back(name + ": JEDEC id shared with another part");
      }
    }
    if (part.HasAaiByte || part.HasAaiWord ? !part.HasEwsr : false) {
      problems.push_back(name + ": auto-increment part without ENABLE WRITE STATUS");
    }
    CheckErasers(part, problems);
    if (part.VendorRow < perRow.size()) {
      ++perRow[part.VendorRow];
    } else {
      problems.push_back(name + ": vendor row beyond the table");
    }
  }
  for (std::size_t row = 1; row < perRow.size(); ++row) {
    if (perRow[row] == 0) {
      problems.push_back("no part for flash-vendor row " + std::to_string(row));
    }
  }
  return problems;
}

}  // namespace q71x::sim
