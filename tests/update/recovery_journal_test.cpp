// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/journal/recovery_journal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "src/device/flash_commands.h"
#include "src/update/journal/kept_area_restore.h"
#include "tests/update/journal_expectations.h"
#include "tests/update/serial_flash_rig.h"

namespace q71x::testing {
namespace {

namespace fs = std::filesystem;

JournalEntry KeptAreaOf(SerialFlashRig& rig) {
  JournalEntry entry;
  entry.Device = JournalTestDevice(ChipType::Qvk842Series, 1, "1c2011", "1.05", rig.path);
  entry.Procedure = "UpdateFlashWithNvram";
  entry.AreaAddress = 0;
  entry.EraseAddress = 0;
  entry.Area = rig.config;
  entry.ImageSha256 = Sha256Of("image bytes");
  return entry;
}

std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder)) {
    names.push_back(item.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(RecoveryJournal, AnEntryIsKeptWholeUntilItsRunClosesIt) {
  SerialFlashRig rig(Qvk842Eon());
  RecoveryJournal journal(rig.dir.path() / "data" / "journal");
  JournalEntry entry = KeptAreaOf(rig);

  ASSERT_EQ("", journal.Record(entry));
  ASSERT_FALSE(entry.Name.empty());
  // Only the entry itself: the temporary file it went through is gone.
  EXPECT_EQ(std::vector<std::string>{entry.Name}, FilesIn(journal.Folder()));

  const JournalListing listing = journal.List();
  EXPECT_TRUE(listing.Problems.empty());
  ASSERT_EQ(1u, listing.Open.size());
  const JournalEntry& read = listing.Open[0];
  EXPECT_EQ(entry.Name, read.Name);
  EXPECT_EQ(rig.config, read.Area);
  EXPECT_EQ(entry.ImageSha256, read.ImageSha256);
  EXPECT_EQ("UpdateFlashWithNvram", read.Procedure);
  EXPECT_EQ(rig.path, read.Device.DevicePath);
  EXPECT_EQ("1.05", read.Device.FirmwareVersion);
  EXPECT_EQ(entry.Device.Unit, read.Device.Unit);

  EXPECT_TRUE(journal.Close(entry.Name));
  EXPECT_TRUE(FilesIn(journal.Folder()).empty());
  EXPECT_FALSE(journal.Close(entry.Name));
}

TEST(RecoveryJournal, EntriesAreFoundForTheSameDeviceWhereverItIsPluggedIn) {
  SerialFlashRig rig(Qvk842Eon());
  RecoveryJournal journal(rig.dir.path() / "journal");
  JournalEntry entry = KeptAreaOf(rig);
  ASSERT_EQ("", journal.Record(entry));

  // A half-programmed device shows another version, a re-plugged one another path.
  JournalDevice again = entry.Device;
  again.FirmwareVersion = "0.00";
  again.DevicePath = "usbstor:/dev/sg7";
  EXPECT_EQ(1u, journal.OpenFor(again, nullptr).size());
  again.Unit.FirmwareVersion = "0.00";
  again.Unit.PortPath = "usb:2-1";
  EXPECT_EQ(1u, journal.OpenFor(again, nullptr).size());
  JournalDevice otherFlash = entry.Device;
  otherFlash.Unit.FlashId = "ef3011";
  EXPECT_TRUE(journal.OpenFor(otherFlash, nullptr).empty());
  JournalDevice otherRevision = entry.Device;
  otherRevision.Unit.ChipRevision = 2;
  EXPECT_TRUE(journal.OpenFor(otherRevision, nullptr).empty());
}

// While an entry waits for a unit, a new run of that unit adds none and replaces none; another
// enclosure of the model keeps its own. Neither may keep an area its procedure does not keep.
TEST(RecoveryJournal, OneOpenEntryPerUnitAndOnlyTheAreasTheProceduresKeep) {
  SerialFlashRig rig(Qvk842Eon());
  RecoveryJournal journal(rig.dir.path() / "journal");
  JournalEntry first = KeptAreaOf(rig);
  ASSERT_EQ("", journal.Record(first));

  JournalEntry again = KeptAreaOf(rig);
  again.Area.assign(again.Area.size(), 0xFF);
  again.Device.Unit.FirmwareVersion = "0.00";
  EXPECT_NE("", journal.Record(again));
  JournalEntry twin = KeptAreaOf(rig);
  twin.Device.Unit.UsbSerial = "Q71XTEST0002";
  EXPECT_EQ("", journal.Record(twin));
  JournalEntry elsewhere = KeptAreaOf(rig);
  elsewhere.Device.Unit.UsbSerial = "Q71XTEST0003";
  elsewhere.AreaAddress = 0x4000;
  EXPECT_NE("", journal.Record(elsewhere));

  const JournalListing listing = journal.List();
  ASSERT_EQ(2u, listing.Open.size());
  EXPECT_EQ(rig.config, listing.Open[0].Area);
  EXPECT_EQ(1u, journal.OpenFor(first.Device, nullptr).size());
  EXPECT_EQ(1u, journal.OpenFor(twin.Device, nullptr).size());
}

TEST(RecoveryJournal, FilesThatAreNotSoundEntriesAreReportedAndLeftInPlace) {
  SerialFlashRig rig(Qvk842Eon());
  RecoveryJournal journal(rig.dir.path() / "journal");
  JournalEntry entry = KeptAreaOf(rig);
  ASSERT_EQ("", journal.Record(entry));
  const fs::path folder = journal.Folder();
  const std::vector<std::uint8_t> sound = ReadFileBytes((folder / entry.Name).string());

  std::vector<std::uint8_t> changed = sound;
  changed[sound.size() / 2] ^= 0x01;  // one bit of the area's hex
  WriteFileBytes((folder / "q71x-changed.journal").string(), changed);
  const std::vector<std::uint8_t> cut(sound.begin(), sound.begin() + sound.size() - 20);
  WriteFileBytes((folder / "q71x-cut.journal").string(), cut);
  WriteFileBytes((folder / "q71x-foreign.journal").string(), {'h', 'e', 'l', 'l', 'o'});
  WriteFileBytes((folder / "notes.txt").string(), {'x'});

  const JournalListing listing = journal.List();
  ASSERT_EQ(1u, listing.Open.size());
  EXPECT_EQ(entry.Name, listing.Open[0].Name);
  std::vector<std::string> reported;
  for (const JournalProblem& problem : listing.Problems) {
    EXPECT_FALSE(problem.What.empty());
    reported.push_back(problem.Name);
  }
  std::sort(reported.begin(), reported.end());
  EXPECT_EQ((std::vector<std::string>{"notes.txt", "q71x-changed.journal", "q71x-cut.journal",
                                      "q71x-foreign.journal"}),
            reported);

  // Never closed, never removed: the operator gets to look at them.
  EXPECT_FALSE(journal.Close("q71x-changed.journal"));
  EXPECT_FALSE(journal.Close("q71x-foreign.journal"));
  EXPECT_FALSE(journal.Close("notes.txt"));
  EXPECT_EQ(5u, FilesIn(folder).size());
  EXPECT_EQ(changed, ReadFileBytes((folder / "q71x-changed.journal").string()));
}

// The entry's text with `line` in place of the line that begins with the same key, sealed with a
// check line that fits it: only the field itself can make it unsound.
std::vector<std::uint8_t> WithField(const std::vector<std::uint8_t>& entry,
                                    const std::string& line) {
  std::string text(entry.begin(), entry.end());
  text.erase(text.rfind("check "));
  const std::size_t at = text.find('\n' + line.substr(0, line.find(' ') + 1)) + 1;
  text.replace(at, text.find('\n', at) - at, line);
  text += "check " + Sha256Hex(Sha256Of(text)) + '\n';
  return {text.begin(), text.end()};
}

TEST(RecoveryJournal, AChipTypeNoRowCarriesIsRefusedAndTheLastRowIsKept) {
  JournalEntry entry;
  entry.Device = JournalTestDevice(ChipType::Qvk842Series, 1, "1c2011", "1.05", "/dev/sg2");
  entry.Procedure = "UpdateFlashWithNvram";
  entry.Area.assign(4096, 0x5A);
  const std::vector<std::uint8_t> sound = SerializeJournalEntry(entry);
  JournalEntry read;
  std::string problem;
  ASSERT_TRUE(ParseJournalEntry(sound, read, problem)) << problem;

  for (const char* line : {"chip-type 20", "unit-chip-type 20", "chip-type 4294967295"}) {
    SCOPED_TRACE(line);
    EXPECT_FALSE(ParseJournalEntry(WithField(sound, line), read, problem));
    EXPECT_EQ("not in the form this tool writes", problem);
  }
  ASSERT_TRUE(ParseJournalEntry(WithField(sound, "unit-chip-type 19"), read, problem)) << problem;
  EXPECT_EQ(ChipType::Qv40712, read.Device.Unit.ChipType);
  EXPECT_EQ(ChipType::Qvk842Series, read.Device.ChipType);
}

TEST(RecoveryJournal, AFolderThatCannotBeMadeKeepsNothingAndSaysWhy) {
  SerialFlashRig rig(Qvk842Eon());
  WriteFileBytes(rig.dir.File("occupied"), {'x'});
  RecoveryJournal journal(fs::path(rig.dir.File("occupied")) / "journal");
  JournalEntry entry = KeptAreaOf(rig);
  EXPECT_NE("", journal.Record(entry));
  EXPECT_TRUE(entry.Name.empty());
  EXPECT_NE("", RecoveryJournal(fs::path()).Record(entry));
}

TEST(RecoveryJournal, RestorePutsTheAreaBackOnTheDeviceAndThenClosesTheEntry) {
  SerialFlashRig rig(Qvk842Eon());
  RecoveryJournal journal(rig.dir.path() / "journal");
  JournalEntry entry = KeptAreaOf(rig);
  ASSERT_EQ("", journal.Record(entry));
  // The enclosure was pulled after the erase: the device's area is gone.
  ASSERT_EQ(1, EraseFlashSector(rig.path, 0));
  ASSERT_TRUE(rig.FlashErased(0, 4096));
  const auto restoreSerial = [&rig](const JournalEntry& kept) {
    return RestoreKeptArea(rig.path, KeptArea{kept.AreaAddress, kept.EraseAddress, kept.Area.data(),
                                              static_cast<std::uint32_t>(kept.Area.size())});
  };

  // A restore that cannot write leaves the entry open for the next try.
  rig.ArmFault({0xFF, 0x04, 0x11}, 1, sim::FaultKind::Fail, 0);
  EXPECT_EQ(0, RestoreFromJournal(journal, journal.List().Open.at(0), restoreSerial));
  EXPECT_EQ(1u, journal.List().Open.size());

  rig.system.Faults().Clear();
  EXPECT_EQ(1, RestoreFromJournal(journal, journal.List().Open.at(0), restoreSerial));
  EXPECT_EQ(rig.config, rig.FlashRange(0, 4096));
  EXPECT_TRUE(journal.List().Open.empty());
}

#ifndef _WIN32
TEST(RecoveryJournal, DefaultFolderIsInThePerUserDataFolder) {
  const char* savedData = std::getenv("XDG_DATA_HOME");
  const char* savedHome = std::getenv("HOME");
  const std::string data = savedData != nullptr ? savedData : "";
  const std::string home = savedHome != nullptr ? savedHome : "";

  ::setenv("XDG_DATA_HOME", "/srv/data", 1);
  EXPECT_EQ(fs::path("/srv/data/q71xfwtool/journal"), RecoveryJournal::DefaultFolder());
  // A relative base is to be ignored, as an unset one.
  ::setenv("XDG_DATA_HOME", "relative", 1);
  ::setenv("HOME", "/home/op", 1);
  EXPECT_EQ(fs::path("/home/op/.local/share/q71xfwtool/journal"), RecoveryJournal::DefaultFolder());
  ::unsetenv("XDG_DATA_HOME");
  ::unsetenv("HOME");
  EXPECT_TRUE(RecoveryJournal::DefaultFolder().empty());

  if (savedData != nullptr) {
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  }
  if (savedHome != nullptr) {
    ::setenv("HOME", home.c_str(), 1);
  }
}
#endif

}  // namespace
}  // namespace q71x::testing
