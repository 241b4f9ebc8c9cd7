// SPDX-License-Identifier: GPL-2.0-or-later
// q71xfw and the recovery journal over its simulated machine: an enclosure pulled in the middle
// of an erase leaves its configuration area in the journal kept in the state folder; `list`
// shows the recovery pending, `info` reports it and puts the area back only when confirmed, and
// no update or erase goes near the device until it is back. With two enclosures of one model, an
// entry goes back only on the unit it was kept for; two entries, an area no procedure keeps and
// an entry that proves no unit are refused, and the flash judges that nothing was written.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "sim/fault_injector.h"
#include "sim/simulated_system.h"
#include "src/simhost/sim_state_folder.h"
#include "src/update/journal/recovery_journal.h"
#include "tests/cli/cli_rig.h"
#include "tests/support/df_pattern.h"
#include "tests/support/fault_rule.h"

namespace q71x::testing {
namespace {

// The 1394 family's erase keeps its configuration area whatever the ticks say: 1 KB at 0x8000.
constexpr const char* kKey = "qvk846-1394";
constexpr std::ptrdiff_t kAreaAddress = 0x8000;
constexpr std::ptrdiff_t kAreaBytes = 1024;

std::vector<std::uint8_t> AreaOf(const std::vector<std::uint8_t>& flash) {
  return {flash.begin() + kAreaAddress, flash.begin() + kAreaAddress + kAreaBytes};
}

// The device's `recovery_pending` as `list --json` reports it.
bool Pending(CliRig& rig, const std::string& path) {
  const CliRun list = rig.Json({"list"});
  for (const nlohmann::json& device : list.Json["devices"]) {
    if (device["path"] == path) {
      return device["recovery_pending"].get<bool>();
    }
  }
  ADD_FAILURE() << path << " is not listed";
  return false;
}

std::size_t FilesIn(const std::filesystem::path& folder) {
  if (!std::filesystem::is_directory(folder)) {
    return 0;
  }
  const auto entries = std::filesystem::directory_iterator(folder);
  return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

TEST(CliRecovery, AnAreaLostToAPullIsPendingUntilInfoPutsItBack) {
  CliRig rig;
  rig.Plugged = {kKey};
  rig.Identify(kKey, "0030e0f4c5a10001");
  const std::string path = rig.PathOf(kKey);
  const std::vector<std::uint8_t> original = AreaOf(rig.Memory(path, kFlashFileName));
  EXPECT_FALSE(Pending(rig, path));

  // The area is read twice before the erase, in four blocks and then in five (the second copy
  // starts with half a block); the enclosure goes at the blank check that follows it. No
  // automatic backup, whose reads would come first.
  rig.Prepare = [&path](sim::SimulatedSystem& system) {
    system.Faults().Arm(
        FaultRuleFor(DfPattern(kDfFlashRead), 10, sim::FaultKind::Unplug, 1, 0, path));
  };
  const CliRun erase = rig.Json({"--yes", "--no-backup", "erase", path});
  rig.Prepare = nullptr;
  EXPECT_NE(erase.Code, 0) << erase.Out;
  const std::vector<std::uint8_t> damaged = AreaOf(rig.Memory(path, kFlashFileName));
  ASSERT_NE(damaged, original) << "the pull took the area";
  EXPECT_EQ(FilesIn(rig.State / "journal"), 1u) << "the journal lives with the memories";

  EXPECT_TRUE(Pending(rig, path));
  EXPECT_NE(rig.Text({"list"}).Out.find("RECOVERY PENDING"), std::string::npos);

  // Without a terminal or --yes, info only reports; nothing is written, and no update starts.
  const CliRun report = rig.Json({"info", path});
  EXPECT_EQ(report.Code, 0);
  EXPECT_TRUE(report.Json["device"]["recovery_pending"].get<bool>());
  EXPECT_NE(report.Json["message"].get<std::string>().find("recovery pending"), std::string::npos);
  EXPECT_EQ(rig.Json({"--yes", "update", path, rig.ImageOf(kKey)}).Code, 1);
  EXPECT_EQ(rig.Json({"--yes", "erase", path}).Code, 1);
  EXPECT_EQ(AreaOf(rig.Memory(path, kFlashFileName)), damaged);

  // Refused at the terminal: still pending.
  rig.Terminal = true;
  rig.Input = "n\n";
  EXPECT_TRUE(rig.Json({"info", path}).Json["device"]["recovery_pending"].get<bool>());
  EXPECT_EQ(AreaOf(rig.Memory(path, kFlashFileName)), damaged);
  rig.Terminal = false;

  const CliRun restored = rig.Json({"--yes", "info", path});
  EXPECT_EQ(restored.Code, 0) << restored.Out;
  EXPECT_EQ(restored.Json["message"], "Write NVRAM back from journal Success!!");
  EXPECT_FALSE(restored.Json["device"]["recovery_pending"].get<bool>());
  EXPECT_EQ(AreaOf(rig.Memory(path, kFlashFileName)), original);
  EXPECT_FALSE(Pending(rig, path));
  EXPECT_EQ(FilesIn(rig.State / "journal"), 0u);
}

// Two enclosures of the NVRAM model side by side, each with its own serial number. Its 4 KB area
// shares the 32 KB sector at 0 with 28 KB of firmware.
constexpr const char* kNvramKey = "qvk842-eon";
constexpr std::size_t kNvramAreaBytes = 4096;
constexpr std::uint8_t kSectorErase = 0x14;

struct TwoOfOneModel {
  CliRig Rig;
  std::string A;
  std::string B;
  std::vector<std::uint8_t> FlashA;
  std::vector<std::uint8_t> FlashB;

  TwoOfOneModel() {
    Rig.Plugged = {kNvramKey};
    B = Rig.Identify(kNvramKey, "QVK842A00017", "QVK842B00042");
    A = Rig.PathOf(kNvramKey);
    FlashA = Rig.Memory(A, kFlashFileName);
    FlashB = Rig.Memory(B, kFlashFileName);
  }
  std::filesystem::path Journal() const { return Rig.State / "journal"; }
  std::vector<std::uint8_t> Area(const std::string& path) {
    const std::vector<std::uint8_t> flash = Rig.Memory(path, kFlashFileName);
    return {flash.begin(), flash.begin() + kNvramAreaBytes};
  }
  // An update of A pulled at its second sector erase: the first took A's area.
  void PullUpdateOfA() {
    Rig.Prepare = [this](sim::SimulatedSystem& system) {
      system.Faults().Arm(FaultRuleFor(sim::CdbPattern::Prefix({0xFF, 0x04, kSectorErase}), 2,
                                       sim::FaultKind::Unplug, 1, 0, A));
    };
    EXPECT_NE(Rig.Json({"--yes", "--no-backup", "update", A, Rig.ImageOf(kNvramKey)}).Code, 0);
    Rig.Prepare = nullptr;
    ASSERT_NE(Area(A), std::vector<std::uint8_t>(FlashA.begin(), FlashA.begin() + kNvramAreaBytes));
    ASSERT_EQ(FilesIn(Journal()), 1u);
  }
  // An entry for A's unit, written as a file of the folder would be found.
  void PlaceEntry(const std::string& name, JournalEntry entry) {
    entry.Device.Unit.UsbSerial = "QVK842A00017";
    std::filesystem::create_directories(Journal());
    WriteFileBytes(Journal() / name, SerializeJournalEntry(entry));
  }
};

JournalEntry NvramEntry(std::vector<std::uint8_t> area) {
  JournalEntry entry;
  entry.Procedure = "UpdateFlashWithNvram";
  entry.Area = std::move(area);
  return entry;
}

// The same entry as the first format wrote it: no unit, only the model.
std::vector<std::uint8_t> FirstFormatOf(const JournalEntry& entry) {
  const std::vector<std::uint8_t> current = SerializeJournalEntry(entry);
  std::istringstream in(std::string(current.begin(), current.end()));
  std::string body = "Q71X-RECOVERY-JOURNAL 1\n";
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    if (line.rfind("unit-", 0) != 0 && line.rfind("check ", 0) != 0) {
      body += line + "\n";
    }
  }
  const std::string text = body + "check " + Sha256Hex(Sha256Of(body)) + "\n";
  return {text.begin(), text.end()};
}

TEST(CliRecovery, AnEntryOfOneEnclosureIsNeverOfferedToWrittenIntoOrRefusedOnItsTwin) {
  TwoOfOneModel desk;
  desk.PullUpdateOfA();
  EXPECT_TRUE(Pending(desk.Rig, desk.A));
  EXPECT_FALSE(Pending(desk.Rig, desk.B));

  const CliRun infoB = desk.Rig.Json({"--yes", "info", desk.B});
  EXPECT_EQ(infoB.Code, 0) << infoB.Out;
  EXPECT_EQ(infoB.Json["device"]["boxes"].size(), 0u) << "nothing is asked or said of A's entry";
  EXPECT_EQ(desk.Rig.Memory(desk.B, kFlashFileName), desk.FlashB) << "B's firmware is intact";

  // B's own update runs and keeps B's own area; A's entry waits on.
  const std::vector<std::uint8_t> areaB = desk.Area(desk.B);
  const CliRun update =
      desk.Rig.Json({"--yes", "--no-backup", "update", desk.B, desk.Rig.ImageOf(kNvramKey)});
  EXPECT_TRUE(update.Json["ok"].get<bool>()) << update.Out;
  EXPECT_EQ(desk.Area(desk.B), areaB);
  EXPECT_EQ(FilesIn(desk.Journal()), 1u);

  const CliRun infoA = desk.Rig.Json({"--yes", "info", desk.A});
  EXPECT_EQ(infoA.Json["message"], "Write NVRAM back from journal Success!!") << infoA.Out;
  EXPECT_EQ(desk.Area(desk.A),
            std::vector<std::uint8_t>(desk.FlashA.begin(), desk.FlashA.begin() + kNvramAreaBytes));
}

// The device's own area, then an erased one: applied in turn they would leave the area blank
// and the firmware beside it erased.
TEST(CliRecovery, TwoEntriesForOneUnitAreNeitherAppliedNorAddedTo) {
  TwoOfOneModel desk;
  const std::vector<std::uint8_t> own(desk.FlashA.begin(), desk.FlashA.begin() + kNvramAreaBytes);
  desk.PlaceEntry("q71x-older.journal", NvramEntry(own));
  desk.PlaceEntry("q71x-newer.journal",
                  NvramEntry(std::vector<std::uint8_t>(kNvramAreaBytes, 0xFF)));

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--yes", "info", desk.A},
        {"--yes", "--no-backup", "update", desk.A, desk.Rig.ImageOf(kNvramKey)},
        {"--yes", "--no-backup", "erase", desk.A}}) {
    const CliRun run = desk.Rig.Json(args);
    EXPECT_EQ(run.Code, 1) << run.Out;
    const std::string message = run.Json["message"].get<std::string>();
    EXPECT_NE(message.find("q71x-older.journal"), std::string::npos) << message;
    EXPECT_NE(message.find("q71x-newer.journal"), std::string::npos) << message;
  }
  EXPECT_EQ(desk.Rig.Memory(desk.A, kFlashFileName), desk.FlashA);
  EXPECT_EQ(FilesIn(desk.Journal()), 2u);
}

TEST(CliRecovery, AnEntryForAnAreaNoProcedureKeepsIsReportedAndNeverWritten) {
  TwoOfOneModel desk;
  JournalEntry crafted = NvramEntry(std::vector<std::uint8_t>(32 * 1024, 0x00));
  crafted.Procedure = "UpdateSerialFlash";
  crafted.AreaAddress = 0x4000;
  crafted.EraseAddress = 0x4000;
  desk.PlaceEntry("q71x-crafted.journal", crafted);

  const CliRun info = desk.Rig.Json({"--yes", "info", desk.A});
  EXPECT_FALSE(info.Json["device"]["recovery_pending"].get<bool>());
  const std::string problems = info.Json["device"]["journal_problems"].dump();
  EXPECT_NE(problems.find("q71x-crafted.journal: not an area this tool keeps"), std::string::npos)
      << problems;
  EXPECT_EQ(desk.Rig.Memory(desk.A, kFlashFileName), desk.FlashA);
  EXPECT_EQ(FilesIn(desk.Journal()), 1u);
}

// An entry of the first format names no unit: it is refused on every enclosure of its model,
// with both ids and the reason, until the operator spells out the device's own id.
TEST(CliRecovery, AnUnprovenEntryGoesBackOnlyWithForceAndTheDevicesId) {
  TwoOfOneModel desk;
  desk.PullUpdateOfA();
  const std::filesystem::path kept = std::filesystem::directory_iterator(desk.Journal())->path();
  JournalEntry entry;
  std::string problem;
  ASSERT_TRUE(ParseJournalEntry(ReadFileBytes(kept), entry, problem)) << problem;
  std::filesystem::remove(kept);
  WriteFileBytes(desk.Journal() / "q71x-first-format.journal", FirstFormatOf(entry));
  const std::vector<std::uint8_t> damaged = desk.Rig.Memory(desk.A, kFlashFileName);
  const std::string idA = desk.Rig.Json({"info", desk.A}).Json["device"]["id"];
  const std::string idB = desk.Rig.Json({"info", desk.B}).Json["device"]["id"];
  ASSERT_NE(idA, idB);

  const CliRun refused = desk.Rig.Json({"--yes", "info", desk.A});
  EXPECT_EQ(refused.Code, 1);
  const std::string said = refused.Json["message"].get<std::string>();
  for (const std::string& part :
       {UnitId(entry.Device.Unit), idA, std::string("serial number"), "--force --unit " + idA}) {
    EXPECT_NE(said.find(part), std::string::npos) << part << " in " << said;
  }
  EXPECT_EQ(desk.Rig.Json({"--yes", "--no-backup", "erase", desk.A}).Code, 1);
  EXPECT_TRUE(Pending(desk.Rig, desk.B)) << "nothing tells B apart from the entry's unit either";
  EXPECT_EQ(desk.Rig.Json({"--yes", "--force", "--unit", idA, "info", desk.B}).Code, 2);
  EXPECT_EQ(desk.Rig.Memory(desk.A, kFlashFileName), damaged);
  EXPECT_EQ(desk.Rig.Memory(desk.B, kFlashFileName), desk.FlashB);
  EXPECT_EQ(FilesIn(desk.Journal()), 1u);

  const CliRun forced = desk.Rig.Json({"--yes", "--force", "--unit", idA, "info", desk.A});
  EXPECT_EQ(forced.Json["message"], "Write NVRAM back from journal Success!!") << forced.Out;
  EXPECT_EQ(desk.Area(desk.A),
            std::vector<std::uint8_t>(desk.FlashA.begin(), desk.FlashA.begin() + kNvramAreaBytes));
  EXPECT_EQ(FilesIn(desk.Journal()), 0u);
  EXPECT_EQ(desk.Rig.Memory(desk.B, kFlashFileName), desk.FlashB);
}

}  // namespace
}  // namespace q71x::testing
