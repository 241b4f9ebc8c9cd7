// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/identification.h"

#include <cstring>
#include <string_view>

#include "src/catalog/chip_tables.h"
#include "src/device/command_fields.h"
#include "src/device/discovery.h"
#include "src/device/inquiry_chip_code.h"
#include "src/device/transport.h"
#include "src/host/user_dialogs.h"

namespace q71x {
namespace {

constexpr std::uint32_t kInquiryLength = kInquiryReplyWithChipCode;
constexpr std::uint32_t kFwInfoLength = 16;
constexpr std::uint32_t kFwInfoRevisionCheckLength = 12;
constexpr std::uint32_t kChipInfoLength = 40;
constexpr std::uint32_t kChipInfoMinimum = 8;
constexpr int kLateRevision = 5;

bool BytesEqual(const std::uint8_t* bytes, std::string_view text) {
  return std::memcmp(bytes, text.data(), text.size()) == 0;
}

// The row whose code (INQUIRY, firmware-info or chip-info, by `code`) the reply bytes carry. The
// table's self-check keeps each code to one row, so the order of comparison cannot matter.
const ChipTypeRow* RowWithCode(const std::uint8_t* bytes, std::string_view ChipTypeRow::*code) {
  for (const ChipTypeRow& row : kChipTypes) {
    const std::string_view text = row.*code;
    if (!text.empty() && BytesEqual(bytes, text)) {
      return &row;
    }
  }
  return nullptr;
}

bool HasFwInfoSignature(const std::uint8_t* reply) {
  return reply[0] == 0xF4 && reply[1] == 0xE7;
}

// A 16-bit USB id as the firmware information carries it, high byte first.
std::uint16_t UsbIdAt(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

int RevisionFromChipInfo(ChipInfoRevision rule, std::uint8_t revisionByte) {
  switch (rule) {
    case ChipInfoRevision::AsciiDigitOrZero:
      if (revisionByte == 0) {
        return 1;
      }
      [[fallthrough]];
    case ChipInfoRevision::AsciiDigit:
      return revisionByte - 0x2F;
    case ChipInfoRevision::Count:
      return revisionByte + 1;
  }
  return revisionByte - 0x2F;
}

// Chip-info refinement; leaves type and revision alone when nothing matches.
void RefineFromChipInfo(const std::string& devicePath, ChipType& type, int& revision) {
  std::uint8_t info[kChipInfoLength] = {};
  if (GetChipInfo(devicePath, info, sizeof info) == 0) {
    if (type == ChipType::Qv40714Series) {
      revision = 1;
    }
    return;
  }
  const ChipTypeRow* row = RowWithCode(info, &ChipTypeRow::ChipInfoCode);
  if (row != nullptr) {
    type = row->Type;
    revision = RevisionFromChipInfo(row->ChipInfoRevisionFrom, info[5]);
  }
}

void RefineFwInfoRevision(const std::string& devicePath, int& revision) {
  std::uint8_t info[kFwInfoLength] = {};
  std::uint32_t transferred = 0;
  if (ReadFwInfo(devicePath, info, kFwInfoRevisionCheckLength, &transferred) != 0 &&
      HasFwInfoSignature(info)) {
    if (info[11] == '1') {
      revision = 1;
      return;
    }
    if (info[11] == '2') {
      revision = 2;
      return;
    }
  }
  ShowMessageBox("Get chip information fail !", "Error", MessageIcon::Error);
}

// Reads the INQUIRY code, then the chip id and firmware information; fills type and revision
// as far as those replies decide them.
void IdentifyFromReplies(const std::string& devicePath, ChipType& type, int& revision) {
  std::uint8_t inquiry[kInquiryLength] = {};
  if (Inquiry(devicePath, inquiry, sizeof inquiry) == 0) {
    return;
  }
  if (const ChipTypeRow* row = ChipRowOfInquiry(inquiry)) {
    type = row->Type;
    return;
  }
  std::uint8_t chipId[2] = {};
  if (ReadChipIdDF(devicePath, chipId) == 0) {
    return;
  }
  std::uint8_t info[kFwInfoLength] = {};
  std::uint32_t transferred = 0;
  if (ReadFwInfo(devicePath, info, sizeof info, &transferred) == 0) {
    return;
  }
  if (!HasFwInfoSignature(info)) {
    // Bridges whose firmware information is not this family's tell their model by two chip-id
    // bits, in the order of the rows from QV40716 on.
    type = ToChipType(RowNumber(ChipType::Qv40716) + ((chipId[0] >> 5) & 3));
    return;
  }
  if (UsbIdAt(info + 2) == kQv40712UsbVendorId && UsbIdAt(info + 4) == kQv40712UsbProductId) {
    type = ChipType::Qv40712;
    return;
  }
  if (const ChipTypeRow* row = RowWithCode(info + 8, &ChipTypeRow::InfoCode)) {
    type = row->Type;
  }
  revision = info[11] - 0x30;
}

}  // namespace

std::uint16_t IdentifyChip(const std::string& devicePath) {
  ChipType type = ChipType::Unknown;
  int revision = 0;
  IdentifyFromReplies(devicePath, type, revision);

  switch (ChipRow(type).Refinement) {
    case IdentifyRefinement::ChipInfo:
      RefineFromChipInfo(devicePath, type, revision);
      break;
    case IdentifyRefinement::FwInfoRevision:
      RefineFwInfoRevision(devicePath, revision);
      break;
    case IdentifyRefinement::LateRevision:
      if (IsLateRevision(devicePath) != 0) {
        revision = kLateRevision;
      }
      break;
    case IdentifyRefinement::None:
      break;
  }
  return MakeChipIdentity(type, static_cast<std::uint8_t>(revision));
}

int IsLateRevision(const std::string& devicePath) {
  std::uint8_t reply[4] = {};
  return ReadChipMemory(devicePath, 0xFDB0, reply, sizeof reply) != 0 && reply[1] >= 0xB4 ? 1 : 0;
}

namespace {

enum class Decision { Decided, Undecided };

}  // namespace

int DetectSerialFlash(const std::string& devicePath, FlashOpcodeSet& opcodes) {
  opcodes = FlashOpcodeSet{};
  std::uint8_t reply[4] = {};
  if (SpiCommandIn(devicePath, 0xAB, reply, sizeof reply) == 0) {
    return 1;  // a bridge that fails the first flash command keeps the defaults
  }
  if (reply[3] == 0x9D) {
    opcodes.Vendor = FlashVendor::Pmc;
    return 1;
  }
  Decision decision = Decision::Undecided;

  std::memset(reply, 0, sizeof reply);
  if (SpiCommandIn(devicePath, 0x9F, reply, sizeof reply) != 0) {
    // Step 3: the JEDEC id's first bytes name the vendor.
    const FlashVendor vendor = VendorOfJedecId(reply);
    if (vendor != FlashVendor::Unknown) {
      opcodes.Vendor = vendor;
      decision = Decision::Decided;
    }
  }

  if (decision == Decision::Undecided) {
    std::memset(reply, 0, sizeof reply);
    if (SpiCommandIn(devicePath, 0x90, reply, sizeof reply) != 0 && reply[3] == 0xBF) {
      opcodes = FlashOpcodeSet{0x60, 0x52, 0xAF, FlashVendor::Sst};
      decision = Decision::Decided;
    }
  }

  if (decision == Decision::Undecided) {
    std::uint8_t id[3] = {};
    if (ReadLegacyFlashId(devicePath, 0x15, false, id) != 0 && id[0] == 0x1F) {
      opcodes = FlashOpcodeSet{0x62, 0x52, 0x02, FlashVendor::Atmel};
      decision = Decision::Decided;
    }
  }

  if (decision == Decision::Undecided) {
    std::uint8_t id[3] = {};
    if (ReadLegacyFlashId(devicePath, 0xAB, true, id) != 0 && id[0] == 0x05) {
      opcodes.Vendor = FlashVendor::StEonMxic;
      decision = Decision::Decided;
    }
  }
  return decision == Decision::Decided ? 1 : 0;
}

int ProbeAmicFlash(const std::string& devicePath) {
  std::uint8_t id[4] = {};
  if (SpiCommandIn(devicePath, 0x9F, id, sizeof id) == 0) {
    return -1;
  }
  if (id[0] != 0x7F || id[1] != 0x37 || id[2] != 0x20) {
    return -1;
  }
  switch (id[3]) {
    case 0x12:
      return 1;
    case 0x11:
      return 3;
    case 0x20:
      return 4;
    case 0x10:
      return 5;
    default:
      return -1;
  }
}

int ProbeAtmelFlash(const std::string& devicePath) {
  std::uint8_t id[4] = {};
  if (SpiCommandIn(devicePath, 0x9F, id, sizeof id) == 0 || id[0] != 0x1F) {
    return -1;
  }
  if (id[1] == 0x65) {
    return 1;
  }
  if (id[1] == 0x66) {
    return 2;
  }
  return 0;
}

int ReadFwInfo(const std::string& devicePath, std::uint8_t* reply, std::uint32_t length,
               std::uint32_t* transferred) {
  CommandBlock cdb;
  cdb[0] = 0xE0;
  cdb[1] = 0xF4;
  cdb[2] = 0xE7;
  // 12 or 16 bytes, as the bridge has them: the caller reads how many came.
  return PassThroughInUpTo(devicePath, cdb, reply, length, transferred);
}

int GetChipInfo(const std::string& devicePath, std::uint8_t* reply, std::uint32_t length) {
  if (length < kChipInfoMinimum) {
    return 0;  // the reply is read up to byte 7; a shorter buffer is the caller's error
  }
  CommandBlock cdb = Ff04Block(0x30);
  cdb[3] = 0x08;
  // The block asks for 8 bytes whatever room the caller offers; those 8 must all come.
  std::uint32_t transferred = 0;
  return PassThroughInUpTo(devicePath, cdb, reply, length, &transferred) != 0 &&
                 transferred >= kChipInfoMinimum
             ? 1
             : 0;
}

int ReadChipMemory(const std::string& devicePath, std::uint16_t address, std::uint8_t* reply,
                   std::uint16_t length) {
  CommandBlock cdb;
  cdb[0] = 0xDF;
  cdb[1] = 0x10;
  cdb[3] = static_cast<std::uint8_t>(length >> 8);
  cdb[4] = static_cast<std::uint8_t>(length);
  cdb[6] = static_cast<std::uint8_t>(address >> 8);
  cdb[7] = static_cast<std::uint8_t>(address);
  cdb[11] = 0xFD;
  return PassThroughIn(devicePath, cdb, reply, length);
}

int GetFlashVendor(const std::string& devicePath, std::uint8_t reply[4]) {
  CommandBlock cdb = Ff04Block(0x23);
  cdb[3] = 0x04;
  const int ok = PassThroughIn(devicePath, cdb, reply, 4);
  reply[0] = static_cast<std::uint8_t>(SafeFlashVendor(reply[0]));
  return ok;
}

int SpiCommandIn(const std::string& devicePath, std::uint8_t opcode, std::uint8_t* reply,
                 std::uint32_t length) {
  CommandBlock command = Ff04Block(0x20);
  command[3] = 0x01;
  command[4] = 0x01;
  command[5] = opcode;
  if (PassThroughIn(devicePath, command, nullptr, 0) == 0) {
    return 0;
  }
  return PassThroughIn(devicePath, Ff04Block(0x21), reply, length);
}

int ReadLegacyFlashId(const std::string& devicePath, std::uint8_t opcode, bool dummyBytes,
                      std::uint8_t reply[3]) {
  CommandBlock cdb = Ff04Block(0x15);
  cdb[3] = 0x03;
  cdb[4] = opcode;
  cdb[5] = dummyBytes ? 0x03 : 0x00;
  return PassThroughIn(devicePath, cdb, reply, 3);
}

int SetFlashOpcodes(const std::string& devicePath, const FlashOpcodeSet& opcodes) {
  CommandBlock cdb = Ff04Block(0x24);
  cdb[3] = 0x02;
  cdb[4] = opcodes.ChipErase;
  cdb[5] = opcodes.SectorErase;
  cdb[6] = opcodes.Program;
  cdb[7] = RowNumber(opcodes.Vendor);
  cdb[8] = 0x01;
  std::uint8_t discarded[2];
  return PassThroughIn(devicePath, cdb, discarded, sizeof discarded);
}

int SetFlashPageSize(const std::string& devicePath, std::uint32_t pageSize) {
  CommandBlock cdb = Ff04Block(0x25);
  cdb[3] = 0x02;
  cdb[4] = static_cast<std::uint8_t>(pageSize / 4);
  std::uint8_t discarded[2];
  return PassThroughIn(devicePath, cdb, discarded, sizeof discarded);
}

int SetFlashOpcodesEx(const std::string& devicePath, const std::array<std::uint8_t, 5>& record,
                      std::uint32_t pageSize) {
  CommandBlock cdb = Ff04Block(0x0F);
  cdb[3] = record[0];
  cdb[4] = record[1];
  cdb[5] = record[2];
  cdb[6] = record[4];
  cdb[7] = static_cast<std::uint8_t>(pageSize / 4);
  return PassThroughOut(devicePath, cdb, nullptr, 0);
}

int ReadConfigBlock(const std::string& devicePath, std::uint8_t* reply, std::uint32_t length,
                    int* commandOk) {
  constexpr std::uint32_t kConfigLength = 18;
  std::uint8_t local[kConfigLength] = {};
  std::uint8_t* target = reply;
  if (target == nullptr || length < 9) {
    // Byte 8 is what callers want; never let a short caller buffer decide how much is read.
    target = local;
    length = kConfigLength;
  }
  CommandBlock cdb = Ff04Block(0xA0);
  cdb[3] = 0x12;
  const int ok = PassThroughIn(devicePath, cdb, target, length);
  if (commandOk != nullptr) {
    *commandOk = ok;
  }
  return ok != 0 ? target[8] : 0;
}

}  // namespace q71x
