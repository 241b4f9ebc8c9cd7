// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A copy of the kept configuration area that outlives the run. Before a procedure's first erase
// the area, what identifies the device and the image's SHA-256 go into a file in the per-user
// data folder; the entry is closed (the file removed) when the run ends with the area in place.
// An enclosure pulled after the erase takes the tool's copy in memory with it; this one is still
// there when the device is checked again, and can be put back.
//
// A file in the folder that is not a sound entry of ours (foreign, cut short, changed) is never
// trusted, never removed and never overwritten: it is reported, so the operator can look at it.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "src/device/unit_identity.h"
#include "src/image/sha256.h"

namespace q71x {

// What the chip check found the device to be. The unit decides whose entry it is (see
// src/device/unit_identity.h): chip type, revision and flash id alone cannot tell two enclosures
// of one model apart. The firmware version and the path are kept for the operator, since a
// half-programmed device shows another version and a re-plugged one may get another path.
struct JournalDevice {
  q71x::ChipType ChipType = q71x::ChipType::Unknown;
  int ChipRevision = 0;
  std::string FlashId;  // the flash's id bytes as the chip check read them, hex
  std::string FirmwareVersion;
  std::string DevicePath;
  // The enclosure, as far as the system and the device tell it. An entry written before units
  // were kept reads back with the model facets only, so it never proves a unit.
  UnitIdentity Unit;
};

struct JournalEntry {
  std::string Name;  // the entry's file name in the folder; set by Record and List
  JournalDevice Device;
  std::string Procedure;           // the procedure that kept the area
  std::uint32_t AreaAddress = 0;   // where the area lives in the flash
  std::uint32_t EraseAddress = 0;  // an address inside the erase unit that holds it
  std::vector<std::uint8_t> Area;
  Sha256Digest ImageSha256{};
};

struct JournalProblem {
  std::string Name;  // the file, as found in the folder
  std::string What;
};

struct JournalListing {
  std::vector<JournalEntry> Open;
  std::vector<JournalProblem> Problems;
};

// An open entry that may be a device's: provably its unit's (Same), or kept for a unit nothing
// tells apart from it (Unproven). Entries of another unit are never candidates.
struct JournalCandidate {
  JournalEntry Entry;
  UnitMatch Match = UnitMatch::Unproven;
  std::string Why;  // the facet that decided, as MatchUnits says it
};

class RecoveryJournal {
 public:
  explicit RecoveryJournal(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // The journal folder in the per-user data folder: $XDG_DATA_HOME (else ~/.local/share) on
  // Linux, %LOCALAPPDATA% on Windows, each with q71xfwtool/journal below it. Empty when the
  // environment names no such folder.
  static std::filesystem::path DefaultFolder();
  // The same folder under another data folder (a front end's own, a test's).
  static std::filesystem::path FolderUnder(const std::filesystem::path& dataFolder);

  const std::filesystem::path& Folder() const { return folder_; }

  // Writes the entry durably and sets its Name. Empty text on success; else why the copy could
  // not be kept (the caller decides whether the run may go on without it). One open entry per
  // unit: while one waits for the entry's unit, nothing is added and nothing replaced. An entry
  // for an area its procedure does not keep is refused too.
  std::string Record(JournalEntry& entry);
  // Removes an entry of ours after its run ended with the area in place. False when the file is
  // not a sound entry (it is then left alone) or cannot be removed.
  bool Close(const std::string& name);
  // Every sound entry, and every file that is not one.
  JournalListing List() const;
  // The open entries provably kept for the device's unit, oldest first; problems are reported
  // through `listing` too.
  std::vector<JournalEntry> OpenFor(const JournalDevice& device, JournalListing* listing) const;
  // The open entries that may be the device's (Same or Unproven), oldest first.
  std::vector<JournalCandidate> CandidatesFor(const JournalDevice& device,
                                              JournalListing* listing) const;

 private:
  std::filesystem::path folder_;
};

// What a front end hands the tool core: the journal, or null when it has no folder (no per-user
// data folder was found), so that nothing is listed or written in the current directory.
inline RecoveryJournal* UsableJournal(RecoveryJournal& journal) {
  return journal.Folder().empty() ? nullptr : &journal;
}

// Empty when the entry keeps exactly the area its procedure keeps
// (src/update/journal/kept_area_rules.h); else what is wrong with it.
std::string EntryAreaProblem(const JournalEntry& entry);

// The entry's file contents, and the reading of them: false with `problem` set for anything but
// a sound entry of this tool (an entry for an area its procedure does not keep is not one).
std::vector<std::uint8_t> SerializeJournalEntry(const JournalEntry& entry);
bool ParseJournalEntry(const std::vector<std::uint8_t>& bytes, JournalEntry& entry,
                       std::string& problem);

// Puts an entry's area back through `restore`, the device family's proven restore (1 when the
// area reads back as kept), and closes the entry only then. 1 when the area is back and the entry
// closed.
int RestoreFromJournal(RecoveryJournal& journal, const JournalEntry& entry,
                       const std::function<int(const JournalEntry&)>& restore);

}  // namespace q71x
