// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/df/df_config_area.h"

#include <cstring>
#include <functional>

#include "src/device/df_commands.h"
#include "src/device/flash_waits.h"
#include "src/update/df/df2_transfer.h"
#include "src/update/df/df_family.h"
#include "src/update/df/df_transfer.h"
#include "src/update/df/df_write_pass.h"
#include "src/update/journal/kept_area_restore.h"
#include "src/update/proven_read.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

// The area is one block: the bridge takes at most this much at address 0.
static_assert(kDfNvramSize <= kFirstBlockLimit);

// How the area is written back: over an erase of the unit under it, or as a plain program.
using AreaWrite = std::function<void(bool eraseFirst)>;

// Writes the area back only where it no longer holds the saved bytes. The erasing write is kept
// for what two agreeing reads show cannot be programmed into the saved bytes: an erase on a read
// that failed or came back garbled, or over an area that is blank or only needs bits cleared,
// would cost the unit whatever firmware shares it. Unproven bytes get a plain program, which
// leaves an intact area as it is and fills in an erased one. 1 when the area reads back as saved
// at the end.
int RestoreWhenChanged(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                       const AlignedBuffer& saved, const AreaWrite& write) {
  AlignedBuffer current = AllocateWorkBuffer(saved.size());
  const bool proven = current.ok() && ReadProven(DfFlashRange(window, devicePath, address),
                                                 current.data(), saved.size());
  if (proven && std::memcmp(current.data(), saved.data(), saved.size()) == 0) {
    return 1;
  }
  WaitFlashReady(devicePath);
  write(proven && !ProgrammableWithoutErase(current.data(), saved.data(), saved.size()));
  return ReadBackMatches(DfFlashRange(window, devicePath, address), saved.data(), saved.size());
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
      ReadTwiceAndCompare(DfFlashRange(window, devicePath, address), saved.data(), length),
      kAllocateBuffersErrorText, kBackupNvramFailText);
  if (!refusal.empty()) {
    window.SetStatus(std::string(refusal));
    return false;
  }
  return true;
}

bool DfConfigAreaReadsBack(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                           const AlignedBuffer& saved) {
  return ReadBackMatches(DfFlashRange(window, devicePath, address), saved.data(), saved.size()) ==
         1;
}

int RestoreDfConfigArea(ToolWindow& window, const std::string& devicePath,
                        const AlignedBuffer& saved) {
  // A sector mark on the block at 0: the bridge erases the smallest unit under the area, then
  // programs it. A plain program (mode 0) over left-over bytes could only clear more bits.
  const FlashVendor vendor = window.State().FlashVendor;
  return RestoreWhenChanged(
      window, devicePath, 0, saved, [&devicePath, &saved, vendor](bool eraseFirst) {
        WriteFlashDF(devicePath, 0, saved.data(), kDfNvramSize,
                     WithVendorMarkBit(vendor, 0, eraseFirst ? kMarkSector : kMarkNone));
      });
}

int RestoreDf2ConfigArea(ToolWindow& window, const std::string& devicePath,
                         const AlignedBuffer& saved) {
  // The block at 0x8000 carries the erase flag when the unit is to be erased first.
  return RestoreWhenChanged(window, devicePath, kDf2NvramAddress, saved,
                            [&window, &devicePath, &saved](bool eraseFirst) {
                              DfWritePass writeBack(window);
                              WriteDf2Flash(writeBack, devicePath, kDf2NvramAddress, saved.data(),
                                            kDf2NvramSize, eraseFirst);
                            });
}

}  // namespace q71x
