// SPDX-License-Identifier: GPL-2.0-or-later
// q71xfw end to end over its simulated machine: each verb on presets of the serial-flash, DF,
// parallel-flash and disk-kept families, its JSON read back and its figures checked against the
// memories the state folder holds afterwards; and every exit code reached.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/fault_injector.h"
#include "sim/simulated_system.h"
#include "src/app/cli/cli_program.h"
#include "src/image/sha256.h"
#include "src/simhost/sim_state_folder.h"
#include "tests/cli/cli_rig.h"

namespace q71x::testing {
namespace {

// A preset per family and the memory file its firmware lives in.
struct Family {
  const char* Key;
  const char* MemoryFile;
};
constexpr Family kFamilies[] = {
    {"qv40714-atmel", kFlashFileName},
    {"qvk848-mxic", kFlashFileName},
    {"qv40712-sst", kParallelFlashFileName},
    {"qv40709-disk", kDiskAreaFileName},
};

std::vector<std::uint8_t> Head(const std::vector<std::uint8_t>& bytes, std::size_t count) {
  return {bytes.begin(),
          bytes.begin() + static_cast<std::ptrdiff_t>(std::min(count, bytes.size()))};
}

TEST(CliList, EveryEnclosureWithItsChipCheckFacts) {
  CliRig rig;
  const CliRun run = rig.Json({"list"});
  ASSERT_EQ(run.Code, 0) << run.Err;
  EXPECT_EQ(run.Json["schema"], 1);
  EXPECT_EQ(run.Json["code"], "ok");
  const nlohmann::json& devices = run.Json["devices"];
  ASSERT_GE(devices.size(), 4u);
  for (std::size_t i = 0; i < devices.size(); ++i) {
    EXPECT_EQ(devices[i]["index"], static_cast<int>(i));
  }
  const std::string atmel = rig.PathOf("qv40714-atmel");
  ASSERT_FALSE(atmel.empty());
  const auto it = std::find_if(devices.begin(), devices.end(),
                               [&](const nlohmann::json& d) { return d["path"] == atmel; });
  ASSERT_NE(it, devices.end());
  EXPECT_EQ((*it)["chip_type"], 1);
  EXPECT_EQ((*it)["revision"], 1);
  EXPECT_EQ((*it)["bus"], "usb");
  EXPECT_EQ((*it)["volumes"], "E");
  EXPECT_EQ((*it)["procedure"], "UpdateSerialFlash");
  EXPECT_FALSE((*it)["chip"].get<std::string>().empty());
  EXPECT_FALSE((*it)["firmware_version"].get<std::string>().empty());

  const CliRun text = rig.Text({"list"});
  EXPECT_EQ(text.Code, 0);
  EXPECT_EQ(static_cast<std::size_t>(std::count(text.Out.begin(), text.Out.end(), '\n')),
            devices.size() + 1);  // a line per device and the count
}

TEST(CliDeviceNames, IndexPathAndUniqueChipNameNameTheSameDevice) {
  CliRig rig;
  rig.Plugged = {"qv40714-atmel", "qv40714-winbond", "qvk848-mxic", "qv40712-sst"};
  const std::string path = rig.PathOf("qvk848-mxic");
  const CliRun byPath = rig.Json({"info", path});
  ASSERT_EQ(byPath.Code, 0) << byPath.Err;
  const int index = byPath.Json["device"]["index"];
  const std::string chip = byPath.Json["device"]["chip"];
  const CliRun byIndex = rig.Json({"info", std::to_string(index)});
  EXPECT_EQ(byIndex.Json["device"]["path"], path);

  // Two presets share chip type 1: its name is ambiguous.
  const std::string atmelChip =
      rig.Json({"info", rig.PathOf("qv40714-atmel")}).Json["device"]["chip"];
  const CliRun ambiguous = rig.Json({"info", atmelChip});
  EXPECT_EQ(ambiguous.Code, 3);
  EXPECT_EQ(ambiguous.Json["code"], "no-such-device");
  EXPECT_NE(ambiguous.Json["message"].get<std::string>().find("names"), std::string::npos);

  // A name shared by no other device selects its one device, in any case.
  const CliRun list = rig.Json({"list"});
  for (const nlohmann::json& device : list.Json["devices"]) {
    const std::string name = device["chip"];
    const auto sameChip = std::count_if(list.Json["devices"].begin(), list.Json["devices"].end(),
                                        [&](const nlohmann::json& d) { return d["chip"] == name; });
    if (sameChip == 1 && !name.empty()) {
      std::string lower = name;
      std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
      const CliRun byChip = rig.Json({"info", lower});
      EXPECT_EQ(byChip.Code, 0) << name;
      EXPECT_EQ(byChip.Json["device"]["path"], device["path"]);
      break;
    }
  }

  EXPECT_EQ(rig.Json({"info", "99"}).Code, 3);
  EXPECT_EQ(rig.Json({"info", "no-such-chip"}).Code, 3);
}

// Only the family presets plugged in: the demo machine has more enclosures than the list takes.
void PlugFamiliesOnly(CliRig& rig) {
  for (const Family& family : kFamilies) {
    rig.Plugged.push_back(family.Key);
  }
}

TEST(CliBackup, TheFileHoldsTheMemoryOnEveryFamily) {
  CliRig rig;
  PlugFamiliesOnly(rig);
  for (const Family& family : kFamilies) {
    SCOPED_TRACE(family.Key);
    const std::string path = rig.PathOf(family.Key);
    const std::vector<std::uint8_t> before = rig.Memory(path, family.MemoryFile);
    const std::string file = rig.Dir.File(std::string(family.Key) + "-backup.bin");
    const CliRun run = rig.Json({"backup", path, file});
    ASSERT_EQ(run.Code, 0) << run.Out;
    EXPECT_TRUE(run.Json["run"]["claimed_success"].get<bool>());
    EXPECT_EQ(run.Json["run"]["action"], "backup-only");
    const std::vector<std::uint8_t> backup = ReadFileBytes(file);
    ASSERT_FALSE(backup.empty());
    EXPECT_TRUE(Contains(before, backup)) << "the backup is not what the memory holds";
    EXPECT_EQ(rig.Memory(path, family.MemoryFile), before);
    // A second backup to the same name is refused, and the file stays.
    EXPECT_EQ(rig.Json({"backup", path, file}).Code, 2);
    EXPECT_EQ(ReadFileBytes(file), backup);
  }
}

TEST(CliCheck, TheOwnImageFitsAndAnotherChipsIsRefusedWithoutAWrite) {
  CliRig rig;
  PlugFamiliesOnly(rig);
  const std::string path = rig.PathOf("qv40714-atmel");
  const CliRun fits = rig.Json({"check", path, rig.ImageOf("qv40714-atmel")});
  EXPECT_EQ(fits.Code, 0) << fits.Out;
  EXPECT_TRUE(fits.Json["image"]["run_allowed"].get<bool>());
  EXPECT_EQ(fits.Json["image"]["size"], ReadFileBytes(rig.ImageOf("qv40714-atmel")).size());

  const std::vector<std::uint8_t> before = rig.Memory(path, kFlashFileName);
  const CliRun refused = rig.Json({"check", path, rig.ImageOf("qvk848-mxic")});
  EXPECT_EQ(refused.Code, 4);
  EXPECT_EQ(refused.Json["code"], "image-refused");
  EXPECT_TRUE(refused.Json["image"]["mismatch"].get<bool>());
  EXPECT_EQ(refused.Json["image"]["boxes"][0], "The firmware file seems not match this chip!");
  EXPECT_EQ(rig.Memory(path, kFlashFileName), before);

  EXPECT_EQ(rig.Json({"check", path, rig.Dir.File("missing.bin")}).Code, 2);
}

// The whole update as a script runs it: a proven backup first, then the image in place.
TEST(CliUpdate, WritesTheImageAfterAProvenBackupOnEveryFamily) {
  CliRig rig;
  PlugFamiliesOnly(rig);
  int powerCycles = 0;
  for (const Family& family : kFamilies) {
    SCOPED_TRACE(family.Key);
    const std::string path = rig.PathOf(family.Key);
    const std::vector<std::uint8_t> before = rig.Memory(path, family.MemoryFile);
    const std::vector<std::uint8_t> image = ReadFileBytes(rig.ImageOf(family.Key));
    ASSERT_FALSE(Contains(before, Code(image))) << "the image is in place already";
    std::vector<std::string> args = {"--yes", "update", path, rig.ImageOf(family.Key)};
    if (std::string(family.MemoryFile) == kParallelFlashFileName) {
      args.insert(args.begin(), {"--flash-part", "2"});
    }
    const CliRun run = rig.Json(args);
    // A power cycle asked for is still success, for `&&`: exit 0, and the document says so.
    ASSERT_EQ(run.Code, 0) << run.Out;
    EXPECT_TRUE(run.Json["ok"].get<bool>());
    EXPECT_TRUE(run.Json["run"]["claimed_success"].get<bool>());
    EXPECT_EQ(run.Json["power_cycle"], run.Json["run"]["power_cycle"]);
    powerCycles += run.Json["power_cycle"].get<bool>();
    const std::vector<std::uint8_t> after = rig.Memory(path, family.MemoryFile);
    EXPECT_TRUE(Contains(after, Code(image))) << "the image is not in the memory";

    const nlohmann::json& backup = run.Json["auto_backup"];
    ASSERT_TRUE(backup["proven"].get<bool>()) << backup.dump();
    const std::filesystem::path file = backup["file"].get<std::string>();
    EXPECT_EQ(file.parent_path(), rig.BackupFolder());
    const std::vector<std::uint8_t> saved = ReadFileBytes(file);
    EXPECT_TRUE(Contains(before, saved)) << "the backup is not the memory before the update";
    const nlohmann::json record =
        nlohmann::json::parse(ReadFileBytes(backup["record"].get<std::string>()));
    EXPECT_EQ(record["size"], saved.size());
    EXPECT_EQ(record["sha256"], Sha256Hex(saved));
    EXPECT_EQ(record["chip"], run.Json["device"]["chip"]);
    EXPECT_EQ(record["device"], path);
#ifdef _WIN32
    // Windows keeps the user's data folder private by its access list; a file's permission bits
    // only say whether it is read-only.
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::owner_write,
              std::filesystem::perms::owner_write);
#else
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
  }
  EXPECT_GT(powerCycles, 0) << "no family asked for a power cycle: the case is not covered";
}

// An A1 bridge runs from its ROM: its update needs the window's "A1 Chip" box, which only the
// parallel-flash families offer; asked of another chip it is a usage error that writes nothing.
TEST(CliUpdate, AnA1ChipTakesItsImageWithTheBoxAndOtherChipsRefuseTheBox) {
  CliRig rig;
  rig.Plugged = {"qv40712-a1-pmc", "qv40714-atmel"};
  const std::string a1 = rig.PathOf("qv40712-a1-pmc");
  const std::string image = rig.ImageOf("qv40712-a1-pmc");
  ASSERT_FALSE(Contains(rig.Memory(a1, kParallelFlashFileName), Code(ReadFileBytes(image))));
  const CliRun run =
      rig.Json({"--yes", "--no-backup", "--flash-part", "1", "--a1-chip", "update", a1, image});
  ASSERT_EQ(run.Code, 0) << run.Out;
  EXPECT_TRUE(run.Json["run"]["claimed_success"].get<bool>());
  EXPECT_TRUE(Contains(rig.Memory(a1, kParallelFlashFileName), Code(ReadFileBytes(image))));

  const std::string serial = rig.PathOf("qv40714-atmel");
  const std::vector<std::uint8_t> before = rig.Memory(serial, kFlashFileName);
  const CliRun refused =
      rig.Json({"--yes", "--a1-chip", "update", serial, rig.ImageOf("qv40714-atmel")});
  EXPECT_EQ(refused.Code, 2);
  EXPECT_NE(refused.Json["message"].get<std::string>().find("A1 Chip"), std::string::npos);
  EXPECT_EQ(rig.Memory(serial, kFlashFileName), before);
  EXPECT_FALSE(std::filesystem::exists(rig.BackupFolder()));
}

TEST(CliUpdate, AsksOnATerminalAndRefusesWithoutOneUnlessYes) {
  CliRig rig;
  PlugFamiliesOnly(rig);
  const std::string path = rig.PathOf("qv40714-atmel");
  const std::string image = rig.ImageOf("qv40714-atmel");
  const std::vector<std::uint8_t> before = rig.Memory(path, kFlashFileName);

  const CliRun headless = rig.Json({"update", path, image});
  EXPECT_EQ(headless.Code, 2);
  EXPECT_NE(headless.Json["message"].get<std::string>().find("--yes"), std::string::npos);
  rig.Terminal = true;
  rig.Input = "n\n";
  EXPECT_EQ(rig.Json({"update", path, image}).Code, 2);
  EXPECT_EQ(rig.Json({"erase", path}).Code, 2);
  EXPECT_EQ(rig.Memory(path, kFlashFileName), before);
  EXPECT_FALSE(std::filesystem::exists(rig.BackupFolder()));

  rig.Input = "y\n";
  const CliRun confirmed = rig.Json({"update", path, image});
  EXPECT_EQ(confirmed.Code, 0) << confirmed.Out;
  EXPECT_NE(confirmed.Err.find("[y/N]"), std::string::npos);
  EXPECT_NE(rig.Memory(path, kFlashFileName), before);
}

TEST(CliUpdate, AnotherChipsImageIsRefusedUntouchedAndTakenWithForce) {
  CliRig rig;
  PlugFamiliesOnly(rig);
  const std::string path = rig.PathOf("qv40714-atmel");
  const std::string wrong = rig.ImageOf("qvk848-mxic");
  const std::vector<std::uint8_t> before = rig.Memory(path, kFlashFileName);
  const CliRun refused = rig.Json({"--yes", "update", path, wrong});
  EXPECT_EQ(refused.Code, 4);
  EXPECT_EQ(rig.Memory(path, kFlashFileName), before);
  EXPECT_FALSE(std::filesystem::exists(rig.BackupFolder()));

  const CliRun forced = rig.Json({"--yes", "--force", "update", path, wrong});
  EXPECT_EQ(forced.Code, 0) << forced.Out;
  EXPECT_TRUE(forced.Json["image"]["forced"].get<bool>());
  EXPECT_NE(forced.Err.find("--force"), std::string::npos);
  EXPECT_TRUE(Contains(rig.Memory(path, kFlashFileName), Code(ReadFileBytes(wrong))));
}

// A backup whose reads fail cannot be proven: the run stops before anything is erased.
TEST(CliUpdate, AnUnprovableBackupStopsTheRunBeforeTheErase) {
  CliRig rig;
  PlugFamiliesOnly(rig);
  const std::string path = rig.PathOf("qv40714-atmel");
  const std::vector<std::uint8_t> before = rig.Memory(path, kFlashFileName);
  for (const char* verb : {"update", "erase"}) {
    SCOPED_TRACE(verb);
    rig.Prepare = [&](sim::SimulatedSystem& system) {
      sim::FaultRule rule;
      rule.Pattern = sim::CdbPattern::Prefix({0xFF, 0x04, 0x10});
      rule.Times = 0;
      rule.Path = path;
      system.Faults().Arm(rule);
    };
    std::vector<std::string> args = {"--yes", verb, path};
    if (std::string(verb) == "update") {
      args.push_back(rig.ImageOf("qv40714-atmel"));
    }
    const CliRun run = rig.Json(args);
    EXPECT_EQ(run.Code, 1) << run.Out;
    EXPECT_FALSE(run.Json["auto_backup"]["proven"].get<bool>());
    EXPECT_GE(run.Json["auto_backup"]["run"]["result"].get<int>(), 0) << "the backup never ran";
    EXPECT_FALSE(run.Json.contains("run"));
    EXPECT_EQ(rig.Memory(path, kFlashFileName), before);
  }
}

TEST(CliErase, LeavesTheFirmwareErasedWithABackupOrWithout) {
  CliRig rig;
  PlugFamiliesOnly(rig);
  const std::string path = rig.PathOf("qv40714-atmel");
  const std::vector<std::uint8_t> before = rig.Memory(path, kFlashFileName);
  const CliRun run = rig.Json({"--yes", "erase", path});
  ASSERT_EQ(run.Code, 0) << run.Out;
  EXPECT_EQ(run.Json["run"]["action"], "erase-only");
  const std::vector<std::uint8_t> after = rig.Memory(path, kFlashFileName);
  const std::vector<std::uint8_t> head = Head(after, 0x8000);
  EXPECT_TRUE(std::all_of(head.begin(), head.end(), [](std::uint8_t b) { return b == 0xFF; }));
  const std::vector<std::uint8_t> backup =
      ReadFileBytes(run.Json["auto_backup"]["file"].get<std::string>());
  ASSERT_GE(backup.size(), 0x8000u);
  EXPECT_EQ(backup, Head(before, backup.size()));

  const std::string other = rig.PathOf("qvk848-mxic");
  const std::size_t backups = std::distance(std::filesystem::directory_iterator(rig.BackupFolder()),
                                            std::filesystem::directory_iterator());
  const CliRun bare = rig.Json({"--yes", "--no-backup", "erase", other});
  EXPECT_EQ(bare.Code, 0) << bare.Out;
  EXPECT_TRUE(bare.Json["auto_backup"].is_null());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(rig.BackupFolder()),
                          std::filesystem::directory_iterator()),
            static_cast<std::ptrdiff_t>(backups));
}

// Backups are never overwritten, are listed by device, and one whose bytes changed is flagged.
TEST(CliBackups, EveryAutomaticBackupByDeviceWithADamagedOneFlagged) {
  CliRig rig;
  PlugFamiliesOnly(rig);
  const std::string atmel = rig.PathOf("qv40714-atmel");
  const std::string mxic = rig.PathOf("qvk848-mxic");
  EXPECT_TRUE(rig.Json({"backups"}).Json["backups"].empty());
  for (const std::string& path : {atmel, mxic, atmel}) {
    ASSERT_TRUE(rig.Json({"--yes", "erase", path}).Json["ok"].get<bool>());
  }
  const CliRun run = rig.Json({"backups"});
  ASSERT_EQ(run.Code, 0);
  const nlohmann::json& backups = run.Json["backups"];
  ASSERT_EQ(backups.size(), 3u);
  EXPECT_EQ(backups[0]["device"], backups[1]["device"]);  // by device
  EXPECT_NE(backups[0]["file"], backups[1]["file"]);      // the second did not overwrite
  for (const nlohmann::json& backup : backups) {
    EXPECT_TRUE(backup["intact"].get<bool>()) << backup.dump();
  }

  const std::string damaged = backups[2]["file"];
  std::vector<std::uint8_t> bytes = ReadFileBytes(damaged);
  bytes[bytes.size() / 2] ^= 0x01;
  WriteFileBytes(damaged, bytes);
  const CliRun after = rig.Json({"backups"});
  for (const nlohmann::json& backup : after.Json["backups"]) {
    EXPECT_EQ(backup["intact"].get<bool>(), backup["file"] != damaged) << backup.dump();
  }
  EXPECT_NE(after.Json["message"].get<std::string>().find("1 not intact"), std::string::npos);
}

// An image the system will not let us read: access denied, before any device is touched.
TEST(CliAccess, AnImageThatCannotBeReadIsAccessDenied) {
  CliRig rig;
  rig.Plugged = {"qv40714-atmel"};
  std::string unreadable = rig.Dir.File("locked.bin");
  std::ofstream(unreadable) << "locked";
  std::filesystem::permissions(unreadable, std::filesystem::perms::none);
#ifdef __linux__
  if (std::ifstream(unreadable).is_open()) {
    unreadable = "/proc/sys/vm/compact_memory";  // root reads the other; this is write-only
  }
#endif
  if (!std::filesystem::exists(unreadable) || std::ifstream(unreadable).is_open()) {
    GTEST_SKIP() << "no file this user is refused";
  }
  const std::string path = rig.PathOf("qv40714-atmel");
  const std::vector<std::uint8_t> before = rig.Memory(path, kFlashFileName);
  for (const char* verb : {"check", "update"}) {
    const CliRun run = rig.Json({"--yes", verb, path, unreadable});
    EXPECT_EQ(run.Code, 5) << verb;
    EXPECT_EQ(run.Json["code"], "access-denied");
  }
  EXPECT_EQ(rig.Memory(path, kFlashFileName), before);
  EXPECT_FALSE(std::filesystem::exists(rig.BackupFolder()));
}

TEST(CliUsage, WrongCommandLinesAreUsageErrorsInBothForms) {
  CliRig rig;
  EXPECT_EQ(rig.Text({}).Code, 2);
  EXPECT_EQ(rig.Text({"frobnicate"}).Code, 2);
  const CliRun json = rig.Json({"info"});
  EXPECT_EQ(json.Code, 2);
  EXPECT_EQ(json.Json["code"], "usage");
  EXPECT_EQ(json.Json["exit_code"], 2);
}

TEST(CliUsage, ThePaceIsAFactorOfRealTimeForTheSimulatorAndABadOneIsAUsageError) {
  CliRig rig;
  const CliRun plain = rig.Json({"list"});
  ASSERT_EQ(plain.Code, 0);
  // A million times real time: paced all the same, and over in a moment.
  const CliRun paced = rig.Json({"--pace", "1000000", "list"});
  EXPECT_EQ(paced.Code, 0) << paced.Err;
  EXPECT_EQ(paced.Json["devices"], plain.Json["devices"]);
  EXPECT_EQ(rig.Json({"list", "--pace=0"}).Code, 0);
  for (const char* bad : {"-1", "fast", "2x", "inf"}) {
    SCOPED_TRACE(bad);
    const CliRun run = rig.Json({"--pace", bad, "list"});
    EXPECT_EQ(run.Code, 2);
    EXPECT_EQ(run.Json["code"], "usage");
  }
  EXPECT_EQ(rig.Text({"list", "--pace"}).Code, 2);
  // Without the simulator there is no virtual clock to pace.
  std::ostringstream out;
  std::ostringstream err;
  cli::CliEnvironment env;
  env.Out = &out;
  env.Err = &err;
  EXPECT_EQ(cli::RunCommandLine({"--pace", "1", "list"}, env), 2);
  EXPECT_NE(err.str().find("--pace needs --sim"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace q71x::testing
