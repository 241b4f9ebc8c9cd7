// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the recovery-journal tests expect of a run that ended with the kept area in place.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "src/update/journal/recovery_journal.h"

namespace q71x::testing {

// A device as the chip check names it for the journal: one enclosure, known by its USB serial.
inline JournalDevice JournalTestDevice(ChipType chipType, int chipRevision,
                                       const std::string& flashId, const std::string& version,
                                       const std::string& path,
                                       const std::string& usbSerial = "Q71XTEST0001") {
  UnitIdentity unit;
  unit.UsbSerial = usbSerial;
  unit.ChipType = chipType;
  unit.ChipRevision = chipRevision;
  unit.FlashId = flashId;
  unit.FirmwareVersion = version;
  return JournalDevice{chipType, chipRevision, flashId, version, path, unit};
}

// No entry left open and nothing else in the folder.
inline void ExpectJournalClean(const RecoveryJournal& journal) {
  const JournalListing listing = journal.List();
  EXPECT_TRUE(listing.Open.empty());
  EXPECT_TRUE(listing.Problems.empty());
}

// What a run cut off after its erase must have kept.
struct KeptExpectation {
  std::string Procedure;
  std::vector<std::uint8_t> Area;
  std::uint32_t Address = 0;
  Sha256Digest Image{};  // zero: an erase-only run, which names no image
};

// The one open entry for `device`, checked against `kept`; nothing when there is not exactly one.
inline std::optional<JournalEntry> OneOpenEntry(const RecoveryJournal& journal,
                                                const JournalDevice& device,
                                                const KeptExpectation& kept) {
  const std::vector<JournalEntry> open = journal.OpenFor(device, nullptr);
  if (open.size() != 1) {
    ADD_FAILURE() << open.size() << " open entries, not one";
    return std::nullopt;
  }
  EXPECT_EQ(kept.Procedure, open[0].Procedure);
  EXPECT_EQ(kept.Area, open[0].Area);
  EXPECT_EQ(kept.Address, open[0].AreaAddress);
  EXPECT_EQ(kept.Image, open[0].ImageSha256);
  return open[0];
}

}  // namespace q71x::testing
