// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The data-sheet facts of one serial-flash part: size, ids as each identification opcode
// returns them, erase units per opcode, page size, protect bits and timings.

#include <array>
#include <cstdint>
#include <span>

namespace q71x::sim {

// Id bytes a part drives after an identification opcode. Length 0: the part does not know the
// opcode and leaves the data line high (FF).
struct IdBytes {
  std::uint8_t Length = 0;
  std::array<std::uint8_t, 4> Bytes{};
};

struct EraseOp {
  std::uint8_t Opcode = 0;      // 0: unused slot
  std::uint32_t UnitBytes = 0;  // 0: the whole chip
  std::uint32_t TimeUs = 0;
};

inline constexpr std::size_t kMaxErasers = 5;
inline constexpr std::size_t kMaxBootUnits = 6;

struct SerialFlashPart {
  const char* Name = "";
  // The flash-vendor row (1-9) the identification sequences reach for this part; 0 when none.
  std::uint8_t VendorRow = 0;
  std::uint32_t SizeBytes = 0;
  // Bytes one page program (02) takes before its address wraps; 1 where 02 programs one byte.
  std::uint32_t PageBytes = 256;
  IdBytes JedecId = {};      // 9F: right after the opcode
  IdBytes SignatureAb = {};  // AB: after three dummy bytes, repeated while clocked
  IdBytes ReadId90 = {};  // 90: after three address bytes, maker then device (address bit 0 swaps)
  IdBytes LegacyId15 = {};  // 15: right after the opcode
  std::array<EraseOp, kMaxErasers> Erasers{};
  // Bottom boot block: units that replace the first block of BootEraseOpcode, from address 0
  // upward; a 0 ends the list.
  std::uint8_t BootEraseOpcode = 0;
  std::array<std::uint32_t, kMaxBootUnits> BootUnits{};
  bool HasEwsr = false;             // 50 enables one WRITE STATUS (SST)
  bool HasAaiByte = false;          // AF auto-address-increment byte program (SST)
  bool HasAaiWord = false;          // AD auto-address-increment word program (SST)
  std::uint8_t ProtectMask = 0x0C;  // status bits that are block protect
  std::uint8_t PowerOnStatus = 0;   // protect bits as the part powers on
  std::uint32_t PageProgramUs = 1500;
  std::uint32_t AaiProgramUs = 20;
  std::uint32_t WriteStatusUs = 0;

  const EraseOp* FindEraser(std::uint8_t opcode) const {
    for (const EraseOp& op : Erasers) {
      if (op.Opcode != 0 && op.Opcode == opcode) {
        return &op;
      }
    }
    return nullptr;
  }
};

}  // namespace q71x::sim
