// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Ready-made bridge personalities for each row of the chip-type table, reached the way that row
// is named: by the INQUIRY chip code, the firmware-information code, the chip-info code, the
// chip-id bits, or the USB ids. The codes are written out here as bytes of our own; nothing is
// taken from the product's tables, so a wrong table there fails a test here.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/personality.h"

namespace q71x::sim {

enum class IdentifyRoute {
  None,        // answers nothing identification recognises (row 0)
  Inquiry,     // INQUIRY bytes 36-39
  FwInfo,      // firmware-information reply bytes 8-10 (signature F4 E7)
  ChipInfo,    // FF 04 30 reply bytes 0-4
  ChipIdBits,  // DF .. FF reply byte 0 bits 5-6, with a firmware-information reply whose
               // signature is not F4 E7
  UsbIds,      // firmware-information reply with USB ids 7A5E / 4712
};

struct PersonalityOptions {
  // Revision the identification should arrive at, where the route can carry one: the digit in
  // firmware-information byte 11, the chip-info revision byte, and for row 10 the revision byte
  // at FDB0 (5 and above mark the late silicon).
  int Revision = 1;
  std::uint8_t PeripheralType = 0x00;  // INQUIRY byte 0: 00 disk, 05 CD-ROM
  std::uint32_t FwInfoLength = 16;     // 12 or 16 bytes of firmware information
  std::optional<std::uint32_t> FwInfoTransferred;
  std::array<std::uint8_t, 2> FwVersion{0x01, 0x10};            // bytes 6-7
  std::array<std::uint8_t, 3> FwVersionLong{0x01, 0x10, 0x05};  // bytes 12-14
  std::optional<std::uint8_t> FlashVendorByte;  // GetFlashVendor; absent: the command is refused
  std::uint8_t ConfigLevel = 0x00;              // configuration block byte 8
  bool DiskFirmwareFlag = false;                // configuration block byte 16
  bool DiskAreaShift = false;                   // configuration block byte 17
  bool ModeFlag = false;                        // controller memory 505E: bytes 1-2 read 00 01
  bool DiskFirmwareSignature = false;           // controller memory C000: 55 AA
};

// The personality that reaches `chipType` (0-19) by `route`. Returns nothing when the row
// cannot be reached that way (for example row 15 by INQUIRY).
std::optional<BridgePersonality> MakeChipPersonality(int chipType, IdentifyRoute route,
                                                     const PersonalityOptions& options = {});

// The route the table names for each row: INQUIRY code for 1-13, chip-info code for 14,
// chip-id bits for 15-18, USB ids for 19, none for 0.
IdentifyRoute NamedRoute(int chipType);

// An ordinary USB disk: answers INQUIRY, rejects every vendor command.
BridgePersonality PlainDiskPersonality();

// Building blocks, for tests that want a bridge the factory does not make.
std::vector<std::uint8_t> MakeInquiryReply(const char* productText, const char* chipCode,
                                           std::uint8_t peripheralType);
std::vector<std::uint8_t> MakeFwInfoReply(std::uint16_t vendorId, std::uint16_t productId,
                                          const char* codeDigits, char revisionDigit,
                                          const PersonalityOptions& options);
std::vector<std::uint8_t> MakeChipInfoReply(const char* code, std::uint8_t revisionByte);

}  // namespace q71x::sim
