#include "src/update/chip_probes.h"

#include <cstdint>

#include "src/device/chip_tables.h"
#include "src/device/identification.h"
#include "src/image/firmware_match.h"
#include "src/update/firmware_version_text.h"
#include "src/update/flash_determination.h"
#include "src/update/toggle_bit_probe.h"

namespace q71x {
namespace {

constexpr std::uint32_t kConfigBlockLength = 18;

void ReadDiskKeptLevel(const std::string& path, ChipState& state) {
  std::uint8_t block[kConfigBlockLength] = {};
  const int level = ReadConfigBlock(path, block, kConfigBlockLength);
  if (level != 0) {
    state.ConfigLevel = level;
  }
}

std::string FirmwareVersion(const std::string& path, std::uint8_t chipType) {
  std::uint8_t reply[kFwInfoLength] = {};
  std::uint32_t transferred = 0;
  if (ReadFwInfo(path, reply, kFwInfoLength, &transferred) == 0) {
    return UnreadableVersionText(chipType);
  }
  if (!HasFwInfoSignature(reply)) {
    return {};
  }
  const int toggleBitSet =
      ChipRow(chipType).Version == VersionStyle::FiveNumbersToggled ? ToggleBitProbe(path) : 0;
  return FirmwareVersionText(chipType, reply, transferred, toggleBitSet);
}

}  // namespace

ChipProbeOutcome RunChipProbes(const std::string& devicePath, const std::string& firmwareFile,
                               ChipState& state, ProgramSettings& settings) {
  ChipProbeOutcome outcome;
  const std::uint16_t identity = IdentifyChip(devicePath);
  state.ChipType = IdentityType(identity);
  state.ChipRevision = IdentityRevision(identity);
  if (!firmwareFile.empty()) {
    outcome.FileMatches = FirmwareMatchesChip(firmwareFile, identity) == 1;
  }
  switch (ChipGroupOf(state.ChipType)) {
    case ChipGroup::SerialFlash:
      outcome.FlashText = DetermineSerialFlash(devicePath, state, settings);
      break;
    case ChipGroup::DiskKept:
      ReadDiskKeptLevel(devicePath, state);
      break;
    case ChipGroup::ParallelFlash:
    case ChipGroup::NotSupported:
      break;
  }
  outcome.VersionText = FirmwareVersion(devicePath, state.ChipType);
  return outcome;
}

}  // namespace q71x
