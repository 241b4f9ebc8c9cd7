// SPDX-License-Identifier: GPL-2.0-or-later
// Backups that know the unit, end to end over the simulated machine: the automatic backup holds
// every byte an update changes, restore chooses and refuses by the unit and by what the record
// can prove, and records never take another file's name. Judged by the memories the state
// folder keeps and by the exit codes.

#include <gtest/gtest.h>

#include <filesystem>

#include "sim/fault_injector.h"
#include "sim/simulated_system.h"
#include "src/simhost/sim_state_folder.h"
#include "tests/cli/cli_rig.h"
#include "tests/support/fault_rule.h"

namespace q71x::testing {
namespace {

constexpr const char* kAtmel = "qv40714-atmel";

bool Says(const CliRun& run, const std::string& text) {
  return run.Json["message"].get<std::string>().find(text) != std::string::npos;
}

bool Succeeded(const CliRun& run) {
  return run.Code == 0;
}

nlohmann::json RecordOf(const std::string& backup) {
  const std::vector<std::uint8_t> text = ReadFileBytes(backup + ".json");
  return nlohmann::json::parse(text.begin(), text.end());
}

void WriteRecord(const std::string& backup, const nlohmann::json& record) {
  const std::string text = record.dump();
  WriteFileBytes(backup + ".json", std::vector<std::uint8_t>(text.begin(), text.end()));
}

// Updates past 64 KB on every family whose memory takes them: the automatic backup holds all
// the update changed, and restore puts every byte back.
TEST(CliBackupCoverage, AnUpdatePast64KbIsUndoneToTheByte) {
  struct Large {
    const char* Key;
    std::size_t Size;
  };
  constexpr Large kLarge[] = {{"qvn958-sst", 262144},   {"qv40709-disk", 262144},
                              {"qvn958-sst", 73728},    {"qvk846-usb-pmc", 73728},
                              {"qvn962-mxic32", 73728}, {"qvk926-sst", 73728}};
  CliRig rig;
  rig.Plugged = {"qvn958-sst", "qv40709-disk", "qvk846-usb-pmc", "qvn962-mxic32", "qvk926-sst"};
  for (const Large& large : kLarge) {
    SCOPED_TRACE(std::string(large.Key) + " " + std::to_string(large.Size));
    const std::string path = rig.PathOf(large.Key);
    const auto before = rig.Memories(path);
    const CliRun update =
        rig.Json({"--yes", "update", path, rig.ImageOfSize(large.Key, large.Size)});
    ASSERT_TRUE(Succeeded(update)) << update.Out;
    const nlohmann::json& backup = update.Json["auto_backup"];
    EXPECT_GE(backup["offset"].get<std::size_t>() + backup["size"].get<std::size_t>(), large.Size);
    ASSERT_NE(rig.Memories(path), before);
    const CliRun restore = rig.Json({"--yes", "--no-backup", "restore", path});
    EXPECT_TRUE(Succeeded(restore)) << restore.Out << restore.Err;
    EXPECT_EQ(restore.Json["backup"]["file"], backup["file"]);
    EXPECT_EQ(rig.Memories(path), before);
  }
}

// Bytes past 64 KB that cannot be read back: the update that would change them is refused
// before anything is erased.
TEST(CliBackupCoverage, AnUpdateWhoseBytesCannotBeReadBackIsRefusedBeforeTheErase) {
  CliRig rig;
  rig.Plugged = {"qvn958-sst"};
  const std::string path = rig.PathOf("qvn958-sst");
  rig.Prepare = [&path](sim::SimulatedSystem& system) {
    sim::FaultRule rule;
    // The DF family's flash read at 0x10000..0x1FFFF.
    rule.Pattern = sim::CdbPattern::Prefix({0xDF, 0x10}).With(8, 0x01).With(11, 0xFA);
    rule.Times = 0;
    rule.Path = path;
    system.Faults().Arm(rule);
  };
  const auto before = rig.Memories(path);
  const CliRun update = rig.Json({"--yes", "update", path, rig.ImageOfSize("qvn958-sst", 262144)});
  EXPECT_EQ(update.Code, 1) << update.Out;
  EXPECT_TRUE(Says(update, "nothing was erased")) << update.Out;
  EXPECT_FALSE(update.Json.contains("run"));
  EXPECT_EQ(rig.Memories(path), before);
}

// A garbled answer to the chip check's fifth command, its chip-info read, takes the chip for
// another revision. A backup labelled so could never go back (restore takes only the revision it
// names): the identity is asked again before the backup, and an answer that differs stops the run
// with nothing read or erased. The next run goes through, and its backup restores the device.
TEST(CliBackupCoverage, AChipCheckThatMisreadTheRevisionStopsTheRunBeforeTheBackup) {
  CliRig rig;
  rig.Plugged = {kAtmel};
  rig.Identify(kAtmel, "QVBACKUP0001");
  const std::string path = rig.PathOf(kAtmel);
  const auto before = rig.Memories(path);
  rig.Prepare = [&path](sim::SimulatedSystem& system) {
    system.Faults().Arm(
        FaultRuleFor(sim::CdbPattern{}, 5, sim::FaultKind::Garbage, 1, 39595, path));
  };
  const CliRun update = rig.Json({"--yes", "update", path, rig.ImageOf(kAtmel)});
  rig.Prepare = nullptr;
  EXPECT_EQ(update.Code, 1) << update.Out;
  EXPECT_TRUE(Says(update, "nothing was read or erased")) << update.Out;
  EXPECT_FALSE(update.Json.contains("run"));
  EXPECT_EQ(rig.Memories(path), before);

  const CliRun again = rig.Json({"--yes", "update", path, rig.ImageOf(kAtmel)});
  ASSERT_EQ(again.Code, 0) << again.Out;
  const CliRun restore = rig.Json({"--yes", "--no-backup", "restore", path,
                                   again.Json["auto_backup"]["file"].get<std::string>()});
  EXPECT_EQ(restore.Code, 0) << restore.Out;
  EXPECT_EQ(rig.Memories(path), before);
}

// The same for the flash: a lost answer to the 1394 bridge's flash-vendor read, its sixth command,
// took the flash for another, and restore refused the backup ("the flash differs").
TEST(CliBackupCoverage, AChipCheckThatMisreadTheFlashStopsTheRunBeforeTheBackup) {
  constexpr const char* k1394 = "qvk846-1394";
  CliRig rig;
  rig.Plugged = {k1394};
  rig.Identify(k1394, "0030e0f4c5a1b0b0");
  const std::string path = rig.PathOf(k1394);
  const auto before = rig.Memories(path);
  rig.Prepare = [&path](sim::SimulatedSystem& system) {
    system.Faults().Arm(FaultRuleFor(sim::CdbPattern{}, 6, sim::FaultKind::Fail, 1, 0, path));
  };
  const CliRun update = rig.Json({"--yes", "update", path, rig.ImageOf(k1394)});
  EXPECT_EQ(update.Code, 1) << update.Out;
  EXPECT_TRUE(Says(update, "nothing was read or erased")) << update.Out;
  EXPECT_EQ(rig.Memories(path), before);
}

class CliBackupUnit : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.Plugged = {kAtmel};
    // What the host reads of the enclosure: its serial and the port it is plugged into.
    rig_.Prepare = [this](sim::SimulatedSystem& system) {
      for (const auto& enclosure : system.Enclosures()) {
        if (enclosure->Path.ends_with(kAtmel)) {
          enclosure->UsbSerial = serial_;
          enclosure->PortPath = port_;
        }
      }
    };
    path_ = rig_.PathOf(kAtmel);
  }

  CliRig rig_;
  std::string serial_ = "A100";
  std::string port_ = "usb:1-1";
  std::string path_;
};

// Another enclosure of the model on the same path finds no backup and is refused the first
// one's, with both ids named; so is the first without its serial, unless --force; the first,
// back on another port, gets its own back.
TEST_F(CliBackupUnit, RestoreFollowsTheUnitNotThePath) {
  const auto original = rig_.Memories(path_);
  const CliRun update = rig_.Json({"--yes", "update", path_, rig_.ImageOf(kAtmel)});
  ASSERT_TRUE(Succeeded(update)) << update.Out;
  const std::string kept = update.Json["auto_backup"]["file"];
  const nlohmann::json record = RecordOf(kept);
  EXPECT_EQ(record["id"].get<std::string>().rfind("usb-A100/", 0), 0u) << record.dump();
  EXPECT_EQ(record["identity"]["usb_serial"], "A100");
  EXPECT_EQ(record["identity"]["port_path"], "usb:1-1");
  const auto updated = rig_.Memories(path_);

  serial_ = "B200";
  const CliRun none = rig_.Json({"--yes", "--no-backup", "restore", path_});
  EXPECT_EQ(none.Code, 2) << none.Out;
  EXPECT_TRUE(Says(none, "usb-B200")) << none.Out;
  const CliRun foreign = rig_.Json({"--yes", "--force", "--no-backup", "restore", path_, kept});
  EXPECT_EQ(foreign.Code, 4) << foreign.Out;
  EXPECT_TRUE(Says(foreign, "usb-A100") && Says(foreign, "usb-B200")) << foreign.Out;
  EXPECT_EQ(rig_.Memories(path_), updated);

  // The unit without a serial (as after its configuration area is lost): nothing proves it is
  // the unit the backup came from.
  serial_ = "";
  const CliRun lost = rig_.Json({"--yes", "--no-backup", "restore", path_});
  EXPECT_EQ(lost.Code, 2) << lost.Out;
  EXPECT_TRUE(Says(lost, "--force")) << lost.Out;
  EXPECT_EQ(rig_.Memories(path_), updated);

  serial_ = "A100";
  port_ = "usb:2-4";
  const CliRun back = rig_.Json({"--yes", "--no-backup", "restore", path_});
  EXPECT_TRUE(Succeeded(back)) << back.Out << back.Err;
  EXPECT_EQ(rig_.Memories(path_), original);
}

// A snapshot of erased memory, a file outside the backups folder, a record of another revision,
// one of an earlier version without identity, one with a field of the wrong type: none is
// written (only --force with the unit named takes the old record), and the listing goes on past
// the broken one.
TEST(CliBackupProof, ABackupThatCannotProveItselfIsNotWritten) {
  // A bridge whose erase leaves its descriptors, and so its serial, as they were.
  CliRig rig;
  rig.Plugged = {"qv40712-sst"};
  const std::string path = rig.PathOf("qv40712-sst");
  const auto run = [&rig](std::vector<std::string> args) {
    args.insert(args.begin(), {"--flash-part", "2", "--yes", "--no-backup"});
    return rig.Json(args);
  };
  const auto original = rig.Memories(path);
  const CliRun first = rig.Json({"--flash-part", "2", "--yes", "erase", path});
  const CliRun second = rig.Json({"--flash-part", "2", "--yes", "erase", path});
  ASSERT_TRUE(Succeeded(first) && Succeeded(second)) << second.Out;
  const auto erased = rig.Memories(path);
  const std::string kept = first.Json["auto_backup"]["file"];
  const nlohmann::json record = RecordOf(kept);

  const CliRun blank = run({"restore", path});
  EXPECT_EQ(blank.Code, 4) << blank.Out;
  EXPECT_TRUE(Says(blank, "erased memory")) << blank.Out;
  std::filesystem::remove(second.Json["auto_backup"]["record"].get<std::string>());

  // The newest backup is now the first; its record points out of the folder, then at a link.
  const std::filesystem::path outside = rig.Data / "outside.bin";
  std::filesystem::copy_file(kept, outside);
  const std::filesystem::path link = rig.BackupFolder() / "link.bin";
  std::filesystem::create_symlink(outside, link);
  for (const char* named : {"../../outside.bin", "link.bin"}) {
    nlohmann::json edited = record;
    edited["file"] = named;
    WriteRecord(kept, edited);
    const CliRun refused = run({"restore", path});
    EXPECT_EQ(refused.Code, 4) << named << refused.Out;
  }

  nlohmann::json otherRevision = record;
  otherRevision["revision"] = 2;
  WriteRecord(kept, otherRevision);
  const CliRun revision = run({"--force", "restore", path, kept});
  EXPECT_EQ(revision.Code, 4) << revision.Out;
  EXPECT_TRUE(Says(revision, "rev 2")) << revision.Out;

  nlohmann::json wrongType = record;
  wrongType["size"] = "64 KB";
  WriteRecord(kept, wrongType);
  const CliRun listed = rig.Json({"backups"});
  EXPECT_EQ(listed.Code, 0) << listed.Out;
  ASSERT_FALSE(listed.Json["backups"].empty());
  EXPECT_FALSE(listed.Json["backups"].back()["readable"].get<bool>());
  EXPECT_NE(rig.Text({"backups"}).Out.find("UNREADABLE"), std::string::npos);
  const CliRun broken = run({"restore", path, kept});
  EXPECT_EQ(broken.Code, 4) << broken.Out;
  EXPECT_TRUE(Says(broken, "\"size\"")) << broken.Out;
  EXPECT_EQ(rig.Memories(path), erased);

  // A chip number no row of the table carries names no chip: the record is unreadable.
  nlohmann::json unknownChip = record;
  unknownChip["chip_type"] = 20;
  WriteRecord(kept, unknownChip);
  const CliRun unknown = run({"restore", path, kept});
  EXPECT_EQ(unknown.Code, 4) << unknown.Out;
  EXPECT_TRUE(Says(unknown, "\"chip_type\"")) << unknown.Out;
  EXPECT_EQ(rig.Memories(path), erased);

  nlohmann::json old = record;
  old.erase("id");
  old.erase("identity");
  WriteRecord(kept, old);
  const CliRun unproven = run({"restore", path, kept});
  EXPECT_EQ(unproven.Code, 4) << unproven.Out;
  EXPECT_TRUE(Says(unproven, "--force")) << unproven.Out;
  EXPECT_EQ(rig.Memories(path), erased);
  // --force alone is no proof: the operator spells out the unit the backup goes into.
  EXPECT_EQ(run({"--force", "restore", path, kept}).Code, 4);
  EXPECT_EQ(rig.Memories(path), erased);
  const std::string id = rig.Json({"info", path}).Json["device"]["id"];
  EXPECT_EQ(run({"--force", "--unit", "usb-0/t1-r1", "restore", path, kept}).Code, 2);
  const CliRun forced = run({"--force", "--unit", id, "restore", path, kept});
  EXPECT_TRUE(Succeeded(forced)) << forced.Out;
  EXPECT_EQ(rig.Memories(path), original);
}

// `backup 0 FILE` writes its record to FILE.json, created anew: it never replaces the backup,
// another backup's record or a file of the user's, and a taken name is refused before the read.
TEST_F(CliBackupUnit, TheRecordIsTheFullNamePlusJsonAndReplacesNothing) {
  const std::vector<std::uint8_t> flash = rig_.Memory(path_, kFlashFileName);
  const std::string dump = rig_.Dir.File("dump.json");
  ASSERT_EQ(rig_.Json({"backup", path_, dump}).Code, 0);
  EXPECT_EQ(ReadFileBytes(dump), std::vector<std::uint8_t>(flash.begin(), flash.begin() + 65536));
  EXPECT_EQ(RecordOf(dump)["file"], "dump.json");

  const std::vector<std::uint8_t> mine = {'m', 'i', 'n', 'e'};
  WriteFileBytes(rig_.Dir.File("notes.json"), mine);
  for (const char* name : {"a.bin", "a.bak", "notes.txt"}) {
    ASSERT_EQ(rig_.Json({"backup", path_, rig_.Dir.File(name)}).Code, 0) << name;
    EXPECT_EQ(RecordOf(rig_.Dir.File(name))["file"], name);
  }
  EXPECT_EQ(ReadFileBytes(rig_.Dir.File("notes.json")), mine);

  WriteFileBytes(rig_.Dir.File("taken.bin.json"), mine);
  const CliRun taken = rig_.Json({"backup", path_, rig_.Dir.File("taken.bin")});
  EXPECT_EQ(taken.Code, 2) << taken.Out;
  EXPECT_FALSE(std::filesystem::exists(rig_.Dir.File("taken.bin")));
  EXPECT_EQ(ReadFileBytes(rig_.Dir.File("taken.bin.json")), mine);
}

}  // namespace
}  // namespace q71x::testing
