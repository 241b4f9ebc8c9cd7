#include "src/update/df_config_area.h"

#include "src/update/df_transfer.h"
#include "src/update/proven_read.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

RangeRead DfFlashRangeAt(ToolWindow& window, const std::string& devicePath, std::uint32_t address) {
  return [&window, &devicePath, address](std::uint8_t* buffer, std::size_t length) {
    return ReadDfFlash(window, devicePath, address, buffer, static_cast<std::uint32_t>(length));
  };
}

}  // namespace

bool SaveDfConfigArea(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                      std::uint32_t length, AlignedBuffer& saved) {
  saved = AllocateWorkBuffer(length);
  if (!saved.ok()) {
    window.SetStatus(std::string(kAllocateBuffersErrorText));
    return false;
  }
  switch (ReadTwiceAndCompare(DfFlashRangeAt(window, devicePath, address), saved.data(), length)) {
    case ProvenReadResult::Agreed:
      return true;
    case ProvenReadResult::NoMemory:
      window.SetStatus(std::string(kAllocateBuffersErrorText));
      return false;
    case ProvenReadResult::ReadFailed:
    case ProvenReadResult::Differed:
      break;
  }
  window.SetStatus(std::string(kBackupNvramFailText));
  return false;
}

bool DfConfigAreaReadsBack(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                           const AlignedBuffer& saved) {
  return ReadBackMatches(DfFlashRangeAt(window, devicePath, address), saved.data(), saved.size()) ==
         1;
}

}  // namespace q71x
