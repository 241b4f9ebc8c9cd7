// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/chip_probe.h"

#include <cstdint>

#include "src/catalog/chip_tables.h"
#include "src/catalog/chip_type_table.h"
#include "src/device/identification.h"
#include "src/tool/firmware_version_text.h"
#include "src/tool/flash_determination.h"
#include "src/tool/toggle_bit_probe.h"

namespace q71x {
namespace {

constexpr std::uint32_t kConfigBlockLength = 18;

void ReadVersion(const std::string& path, ChipType chipType, ChipProbe& probe) {
  std::uint8_t reply[kFwInfoLength] = {};
  std::uint32_t transferred = 0;
  if (ReadFwInfo(path, reply, kFwInfoLength, &transferred) == 0) {
    probe.VersionText = UnreadableVersionText(chipType);
    return;
  }
  probe.VersionRead = true;
  if (!HasFwInfoSignature(reply)) {
    return;
  }
  probe.OurSignature = true;
  const int toggleBitSet =
      ChipRow(chipType).Version == VersionStyle::FiveNumbersToggled ? ToggleBitProbe(path) : 0;
  probe.VersionText = FirmwareVersionText(chipType, reply, transferred, toggleBitSet);
}

}  // namespace

void StartFromFreshFacts(ChipState& state, ProgramSettings& settings) {
  const std::uint32_t eraseOnly = state.EraseOnly;
  state = ChipState{};
  state.EraseOnly = eraseOnly;
  const ProgramSettings fresh;
  settings.EraseBlockSize = fresh.EraseBlockSize;
  settings.EraseSectorSize = fresh.EraseSectorSize;
}

void IdentifyInto(const std::string& devicePath, ChipState& state, ProgramSettings& settings) {
  StartFromFreshFacts(state, settings);
  const std::uint16_t identity = IdentifyChip(devicePath);
  state.ChipType = IdentityChipType(identity);
  state.ChipRevision = IdentityRevision(identity);
}

ChipProbe ProbeChipMemory(const std::string& devicePath, ChipState& state,
                          ProgramSettings& settings) {
  ChipProbe probe;
  switch (ChipGroupOf(state.ChipType)) {
    case ChipGroup::SerialFlash:
      probe.FlashText = DetermineSerialFlash(devicePath, state, settings);
      break;
    case ChipGroup::DiskKept: {
      std::uint8_t block[kConfigBlockLength] = {};
      int answered = 0;
      state.ConfigLevel = ReadConfigBlock(devicePath, block, kConfigBlockLength, &answered);
      probe.LevelRead = answered == 1;
      break;
    }
    case ChipGroup::ParallelFlash:
    case ChipGroup::NotSupported:
      break;
  }
  ReadVersion(devicePath, state.ChipType, probe);
  return probe;
}

ChipProbe ProbeChip(const std::string& devicePath, ChipState& state, ProgramSettings& settings) {
  IdentifyInto(devicePath, state, settings);
  return ProbeChipMemory(devicePath, state, settings);
}

}  // namespace q71x
