#include "src/update/df_config_area.h"

#include <functional>

#include "src/device/df_commands.h"
#include "src/device/flash_waits.h"
#include "src/update/df2_transfer.h"
#include "src/update/df_family.h"
#include "src/update/df_transfer.h"
#include "src/update/df_write_pass.h"
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

// The area is one block: the bridge takes at most this much at address 0.
static_assert(kDfNvramSize <= kFirstBlockLimit);

// Writes the area back only when it no longer reads back as saved, so that an area a failed
// command never reached is not erased for nothing.
void RestoreWhenChanged(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                        const AlignedBuffer& saved, const std::function<void()>& eraseAndWrite) {
  if (DfConfigAreaReadsBack(window, devicePath, address, saved)) {
    return;
  }
  WaitFlashReady(devicePath);
  eraseAndWrite();
}

}  // namespace

bool SaveDfConfigArea(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                      std::uint32_t length, AlignedBuffer& saved) {
  saved = AllocateWorkBuffer(length);
  if (!saved.ok()) {
    window.SetStatus(std::string(kAllocateBuffersErrorText));
    return false;
  }
  const std::string_view refusal = ProvenReadRefusal(
      ReadTwiceAndCompare(DfFlashRangeAt(window, devicePath, address), saved.data(), length),
      kAllocateBuffersErrorText, kBackupNvramFailText);
  if (!refusal.empty()) {
    window.SetStatus(std::string(refusal));
    return false;
  }
  return true;
}

bool DfConfigAreaReadsBack(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                           const AlignedBuffer& saved) {
  return ReadBackMatches(DfFlashRangeAt(window, devicePath, address), saved.data(), saved.size()) ==
         1;
}

void RestoreDfConfigArea(ToolWindow& window, const std::string& devicePath,
                         const AlignedBuffer& saved) {
  // A sector mark on the block at 0: the bridge erases the smallest unit under the area, then
  // programs it. A plain program (mode 0) over left-over bytes could only clear more bits.
  const std::uint8_t mark = WithMxicBit(window.State().FlashVendor, 0, kMarkSector);
  RestoreWhenChanged(window, devicePath, 0, saved, [&devicePath, &saved, mark] {
    WriteFlashDF(devicePath, 0, saved.data(), kDfNvramSize, mark);
  });
}

void RestoreDf2ConfigArea(ToolWindow& window, const std::string& devicePath,
                          const AlignedBuffer& saved) {
  // The block at 0x8000 carries the erase flag, so this write erases the area's unit first.
  RestoreWhenChanged(window, devicePath, kDf2NvramAddress, saved, [&window, &devicePath, &saved] {
    DfWritePass writeBack(window);
    WriteDf2Flash(writeBack, devicePath, kDf2NvramAddress, saved.data(), kDf2NvramSize);
  });
}

}  // namespace q71x
