#include "src/tool/journal_device.h"

#include <cstdio>

namespace q71x {

std::string FlashIdOf(const ChipState& state) {
  char id[16];
  std::snprintf(id, sizeof id, "%02x%02x%02x", static_cast<unsigned>(state.FlashVendor) & 0xFFu,
                static_cast<unsigned>(state.AmicFlashPart) & 0xFFu,
                static_cast<unsigned>(state.AtmelFlashPart) & 0xFFu);
  return id;
}

JournalDevice JournalDeviceOf(const ChipState& state, const std::string& firmwareVersion,
                              const std::string& devicePath) {
  return JournalDevice{state.ChipType, state.ChipRevision, FlashIdOf(state), firmwareVersion,
                       devicePath};
}

}  // namespace q71x
