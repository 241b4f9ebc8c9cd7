#include "tests/campaign/chip_facts.h"

#include <array>
#include <cstdint>

#include "src/device/chip_tables.h"
#include "src/device/identification.h"

namespace q71x::campaign {
namespace {

constexpr std::uint32_t kConfigBlockLength = 18;
constexpr std::uint32_t kJedecIdLength = 4;
constexpr std::uint32_t kSmallPageSize = 32;
constexpr std::array<std::uint8_t, 5> kSmallPageOpcodes = {0xC7, 0xD8, 0x02, 0x00, 0x20};

bool IsSerialFlashType(std::uint8_t type) {
  switch (type) {
    case 1:
    case 3:
    case 4:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 14:
      return true;
    default:
      return false;
  }
}

bool HasSmallPageMxicId(const std::string& path) {
  std::uint8_t id[kJedecIdLength] = {};
  return SpiCommandIn(path, 0x9F, id, kJedecIdLength) == 1 && id[0] == 0xC2 && id[1] == 0x22 &&
         (id[2] == 0x10 || id[2] == 0x11 || id[2] == 0x13);
}

bool HasSstSpiId(const std::string& path) {
  std::uint8_t id[kJedecIdLength] = {};
  return SpiCommandIn(path, 0x9F, id, kJedecIdLength) == 1 && id[0] == 0xBF && id[1] == 0x25;
}

void TakeFlashVendor(int vendor, bool takeEraseUnits, ChipState& state, ProgramSettings& settings) {
  state.FlashVendor = SafeFlashVendor(vendor);
  if (takeEraseUnits) {
    const FlashVendorRow& row = kFlashVendors[static_cast<std::size_t>(state.FlashVendor)];
    settings.EraseBlockSize = row.LargeEraseUnit;
    settings.EraseSectorSize = row.SmallEraseUnit;
  }
}

void DetermineFlashWithOpcodes(const std::string& path, ChipState& state,
                               ProgramSettings& settings) {
  FlashOpcodeSet opcodes;
  if (DetectSerialFlash(path, opcodes) == 1 && opcodes.Vendor != 0) {
    SetFlashOpcodes(path, opcodes);
  }
  TakeFlashVendor(opcodes.Vendor, false, state, settings);
  if (state.ChipType == 14 && HasSmallPageMxicId(path)) {
    SetFlashPageSize(path, kSmallPageSize);
  }
}

void DetermineFlashByVendorQuery(const std::string& path, ChipState& state,
                                 ProgramSettings& settings) {
  std::uint8_t reply[4] = {};
  if (GetFlashVendor(path, reply) == 1) {
    TakeFlashVendor(reply[0], true, state, settings);
  }
  const std::uint8_t type = state.ChipType;
  if (!((type == 10 && state.ChipRevision >= 5) || type == 11)) {
    return;
  }
  if (state.FlashVendor == 0) {
    FlashOpcodeSet opcodes;
    if (DetectSerialFlash(path, opcodes) == 1) {
      TakeFlashVendor(opcodes.Vendor, true, state, settings);
    }
  }
  if (state.FlashVendor == 5) {
    if (HasSmallPageMxicId(path)) {
      SetFlashOpcodesEx(path, kSmallPageOpcodes, kSmallPageSize);
    }
  } else if (state.FlashVendor == 2 && HasSstSpiId(path)) {
    state.SstSpiFlash = 1;
  }
}

void DetermineFlashByProbing(const std::string& path, ChipState& state, ProgramSettings& settings) {
  state.AmicFlashPart = ProbeAmicFlash(path);
  state.AtmelFlashPart = ProbeAtmelFlash(path);
  if (state.AmicFlashPart != -1 || state.AtmelFlashPart != -1) {
    return;
  }
  std::uint8_t reply[4] = {};
  if (GetFlashVendor(path, reply) == 0) {
    return;
  }
  if (reply[0] != 0) {
    TakeFlashVendor(reply[0], false, state, settings);
    return;
  }
  FlashOpcodeSet opcodes;
  if (DetectSerialFlash(path, opcodes) == 1) {
    TakeFlashVendor(opcodes.Vendor, false, state, settings);
  }
}

}  // namespace

void SettleChipFacts(const std::string& path, ChipState& state, ProgramSettings& settings) {
  const std::uint16_t identity = IdentifyChip(path);
  state.ChipType = IdentityType(identity);
  state.ChipRevision = IdentityRevision(identity);
  const std::uint8_t type = state.ChipType;

  if (IsSerialFlashType(type)) {
    state.AtmelFlashPart = -1;
    state.AmicFlashPart = -1;
    const bool on1394 = path.find("sbp2") != std::string::npos;
    if ((type == 12 && state.ChipRevision > 2) || type == 14) {
      DetermineFlashWithOpcodes(path, state, settings);
    } else if (type == 8 || type == 9 || type == 10 || type == 11 || (type == 7 && on1394)) {
      DetermineFlashByVendorQuery(path, state, settings);
    } else {
      DetermineFlashByProbing(path, state, settings);
    }
    return;
  }
  if (type == 5 || type == 13) {
    std::uint8_t block[kConfigBlockLength] = {};
    const int level = ReadConfigBlock(path, block, kConfigBlockLength);
    if (level != 0) {
      state.ConfigLevel = level;
    }
  }
}

}  // namespace q71x::campaign
