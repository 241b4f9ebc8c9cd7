// SPDX-License-Identifier: GPL-2.0-or-later
// verify and restore end to end over the simulated machine, on a preset of every update family:
// the verdicts judged against bytes changed in the memories the state folder keeps, every memory
// file of the enclosure compared before and after to prove verify writes nothing, and restore's
// round trips and refusals judged by those memories too.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>

#include "sim/fault_injector.h"
#include "sim/simulated_system.h"
#include "src/simhost/sim_state_folder.h"
#include "tests/cli/cli_rig.h"

namespace q71x::testing {
namespace {

// A preset per update procedure, the memory file its firmware lives in, where the image's first
// byte lands (from firmware address 0) and a range the update keeps (Kept 0: none).
struct Family {
  const char* Key;
  const char* MemoryFile;
  std::uint32_t ImageAt;
  std::uint32_t KeptAt;
  std::uint32_t KeptLength;
};
constexpr Family kFamilies[] = {
    {"qv40714-atmel", kFlashFileName, 0, 0x8000, 512},  // UpdateSerialFlash
    {"qvk842-eon", kFlashFileName, 4096, 0, 4096},      // UpdateFlashWithNvram
    {"qvk848-mxic", kFlashFileName, 0, 0, 0},           // UpdateDfFlash
    {"qvk846-1394", kFlashFileName, 0, 0x8000, 1024},   // UpdateDf2Flash
    {"qv40712-sst", kParallelFlashFileName, 0, 0, 0},   // UpdateParallelFlash
    {"qv40709-disk", kDiskAreaFileName, 0, 0x96, 6},    // UpdateDiskFirmware
};

// Past the image's header: the bytes every family programs as the file has them.
constexpr std::size_t kCodeStart = 4096;

void PlugFamiliesOnly(CliRig& rig) {
  for (const Family& family : kFamilies) {
    rig.Plugged.push_back(family.Key);
  }
}

std::vector<std::string> WithFlashPart(const Family& family, std::vector<std::string> args) {
  if (std::string(family.MemoryFile) == kParallelFlashFileName) {
    args.insert(args.begin(), {"--flash-part", "2"});
  }
  return args;
}

// Every memory file of the enclosure, by name.
std::map<std::string, std::vector<std::uint8_t>> Memories(const CliRig& rig,
                                                          const std::string& path) {
  return rig.Memories(path);
}

// Where firmware address 0 lies in the memory file, found through the image's code in it.
std::size_t FirmwareBase(const std::vector<std::uint8_t>& memory,
                         const std::vector<std::uint8_t>& image, const Family& family) {
  const std::vector<std::uint8_t> code(image.begin() + kCodeStart, image.end());
  const auto at = std::search(memory.begin(), memory.end(), code.begin(), code.end());
  EXPECT_NE(at, memory.end()) << "the image is not in the memory";
  return static_cast<std::size_t>(at - memory.begin()) - kCodeStart - family.ImageAt;
}

void FlipByte(CliRig& rig, const std::string& path, const Family& family, std::size_t offset) {
  const std::filesystem::path file =
      SimStateFolder(rig.State).EnclosureFolder(path) / family.MemoryFile;
  std::vector<std::uint8_t> memory = ReadFileBytes(file);
  ASSERT_LT(offset, memory.size());
  memory[offset] ^= 0x5A;
  WriteFileBytes(file, memory);
}

class CliVerify : public ::testing::Test {
 protected:
  void SetUp() override { PlugFamiliesOnly(rig_); }

  // Updates the family's preset with its sample image; returns the device path.
  std::string Updated(const Family& family) {
    const std::string path = rig_.PathOf(family.Key);
    const CliRun run = rig_.Json(
        WithFlashPart(family, {"--yes", "--no-backup", "update", path, rig_.ImageOf(family.Key)}));
    EXPECT_EQ(run.Code, 0) << run.Out;
    return path;
  }

  CliRun Verify(const std::string& path, const Family& family) {
    return rig_.Json({"verify", path, rig_.ImageOf(family.Key)});
  }

  CliRig rig_;
};

// The old firmware differs from the sample image, the updated one matches it, and neither
// verify changes a byte of any memory of the enclosure.
TEST_F(CliVerify, DiffersBeforeTheUpdateMatchesAfterItAndWritesNothing) {
  for (const Family& family : kFamilies) {
    SCOPED_TRACE(family.Key);
    const std::string path = rig_.PathOf(family.Key);
    const auto old = Memories(rig_, path);
    const CliRun before = Verify(path, family);
    EXPECT_EQ(before.Code, 1) << before.Out;
    EXPECT_EQ(before.Json["comparison"]["result"], "differs");
    EXPECT_GT(before.Json["comparison"]["differing_bytes"].get<std::uint64_t>(), 0u);
    EXPECT_EQ(Memories(rig_, path), old) << "verify wrote to the device";

    Updated(family);
    const auto updated = Memories(rig_, path);
    const CliRun after = Verify(path, family);
    ASSERT_EQ(after.Code, 0) << after.Out;
    EXPECT_EQ(after.Json["code"], "ok");
    const nlohmann::json& comparison = after.Json["comparison"];
    EXPECT_EQ(comparison["result"], "match");
    EXPECT_EQ(comparison["differing_bytes"], 0);
    EXPECT_TRUE(comparison["first_difference"].is_null());
    // At least the image's code was compared.
    const std::size_t imageSize = ReadFileBytes(rig_.ImageOf(family.Key)).size();
    EXPECT_GE(comparison["compared_bytes"].get<std::uint64_t>(), imageSize - kCodeStart);
    if (family.KeptLength > 0) {
      ASSERT_FALSE(comparison["excluded"].empty());
      EXPECT_EQ(comparison["excluded"][0]["offset"], family.KeptAt);
      EXPECT_EQ(comparison["excluded"][0]["length"], family.KeptLength);
    }
    EXPECT_EQ(Memories(rig_, path), updated) << "verify wrote to the device";
  }
}

// One byte changed where the update programs: found at its offset and counted once. The same
// change inside an area the update keeps is no difference.
TEST_F(CliVerify, FindsAByteTheUpdateProgramsAndIgnoresTheAreasItKeeps) {
  for (const Family& family : kFamilies) {
    SCOPED_TRACE(family.Key);
    const std::string path = Updated(family);
    const std::vector<std::uint8_t> image = ReadFileBytes(rig_.ImageOf(family.Key));
    const std::size_t base = FirmwareBase(rig_.Memory(path, family.MemoryFile), image, family);
    const std::size_t changed = family.ImageAt + kCodeStart + 123;
    FlipByte(rig_, path, family, base + changed);
    const CliRun differs = Verify(path, family);
    EXPECT_EQ(differs.Code, 1) << differs.Out;
    EXPECT_EQ(differs.Json["code"], "operation-failed");
    EXPECT_EQ(differs.Json["comparison"]["result"], "differs");
    EXPECT_EQ(differs.Json["comparison"]["differing_bytes"], 1);
    EXPECT_EQ(differs.Json["comparison"]["first_difference"], changed);
    FlipByte(rig_, path, family, base + changed);  // back as it was

    if (family.KeptLength == 0) {
      continue;
    }
    FlipByte(rig_, path, family, base + family.KeptAt + family.KeptLength - 1);
    const CliRun kept = Verify(path, family);
    EXPECT_EQ(kept.Code, 0) << kept.Out;
    EXPECT_EQ(kept.Json["comparison"]["result"], "match");
  }
}

// Reads that fail (the flash read on a serial-flash bridge, READ(10) on a disk-kept one) leave
// nothing proven: no match, operation failed, nothing written.
TEST_F(CliVerify, AReadFaultIsNeverAMatch) {
  struct Fault {
    const Family& Of;
    sim::CdbPattern Read;
  };
  const Fault faults[] = {{kFamilies[0], sim::CdbPattern::Prefix({0xFF, 0x04, 0x10})},
                          {kFamilies[5], sim::CdbPattern::Prefix({0x28})}};
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.Of.Key);
    const std::string path = Updated(fault.Of);
    const auto updated = Memories(rig_, path);
    rig_.Prepare = [&](sim::SimulatedSystem& system) {
      sim::FaultRule rule;
      rule.Pattern = fault.Read;
      rule.Times = 0;
      rule.Path = path;
      system.Faults().Arm(rule);
    };
    const CliRun run = Verify(path, fault.Of);
    rig_.Prepare = nullptr;
    EXPECT_EQ(run.Code, 1) << run.Out;
    EXPECT_FALSE(run.Json["ok"].get<bool>());
    ASSERT_TRUE(run.Json.contains("comparison")) << run.Out;
    EXPECT_EQ(run.Json["comparison"]["result"], "unproven");
    EXPECT_FALSE(run.Json["comparison"]["problem"].get<std::string>().empty());
    EXPECT_EQ(run.Json["message"].get<std::string>().find("match:"), std::string::npos);
    EXPECT_EQ(Memories(rig_, path), updated);
  }
}

// The commands a run sent to `path` that carry data out or none at all: every erase, program,
// unprotect and write-enable is one of those.
std::set<std::vector<std::uint8_t>> NonReadCommands(CliRig& rig, const std::string& path,
                                                    const std::vector<std::string>& args) {
  std::set<std::vector<std::uint8_t>> commands;
  rig.Inspect = [&](sim::SimulatedSystem& system) {
    for (const sim::LoggedCommand* command : system.Log().ForPath(path)) {
      if (!command->DataIn) {
        commands.insert(command->Cdb);
      }
    }
  };
  const CliRun run = rig.Json(args);
  rig.Inspect = nullptr;
  EXPECT_FALSE(run.Json.is_null());
  return commands;
}

// The command log: verify sends nothing but what the chip check of `check` sends and reads; the
// parallel-flash bridge is switched to its flash (one command without data) as its backup does.
TEST_F(CliVerify, SendsNoCommandBeyondTheChipCheckButReads) {
  for (const Family& family : kFamilies) {
    SCOPED_TRACE(family.Key);
    const std::string path = rig_.PathOf(family.Key);
    const std::string image = rig_.ImageOf(family.Key);
    const auto checked = NonReadCommands(rig_, path, {"check", path, image});
    const auto verified = NonReadCommands(rig_, path, {"verify", path, image});
    std::vector<std::vector<std::uint8_t>> extra;
    std::set_difference(verified.begin(), verified.end(), checked.begin(), checked.end(),
                        std::back_inserter(extra));
    const bool parallel = std::string(family.MemoryFile) == kParallelFlashFileName;
    EXPECT_LE(extra.size(), parallel ? 1u : 0u);
    // The update's erase and program commands are what this would catch.
    const auto updated = NonReadCommands(
        rig_, path, WithFlashPart(family, {"--yes", "--no-backup", "update", path, image}));
    EXPECT_FALSE(std::includes(checked.begin(), checked.end(), updated.begin(), updated.end()));
  }
}

TEST_F(CliVerify, TextReportNamesTheDifferenceAndTheExcludedArea) {
  const Family& family = kFamilies[0];
  const std::string path = rig_.PathOf(family.Key);
  const CliRun text = rig_.Text({"verify", path, rig_.ImageOf(family.Key)});
  EXPECT_EQ(text.Code, 1);
  EXPECT_NE(text.Out.find("result: differs"), std::string::npos) << text.Out;
  EXPECT_NE(text.Out.find("excluded: 0x8000..0x8200"), std::string::npos) << text.Out;
  EXPECT_NE(text.Err.find("differs:"), std::string::npos) << text.Err;
  // Another chip's image is refused, as check refuses it.
  EXPECT_EQ(rig_.Json({"verify", path, rig_.ImageOf("qvk848-mxic")}).Code, 4);
}

// Updates at and around the block and area boundaries of every family: verify matches each,
// and every byte the update changed lies in the footprint it names (past what it programs only
// erased bytes, within its reach). 16383 ends a byte short of the first 16 KB block; 32 KB is the
// serial flash's smallest area and the 1394 family's firmware area; 40 KB ends inside the
// NVRAM-keeping update's last 16 KB block, 45060 past its 12 KB and on no page or granule; 64 KB
// fills the memory.
TEST_F(CliVerify, AgreesWithEveryUpdateAroundTheBlockAndAreaBoundaries) {
  constexpr std::size_t kSizes[] = {16383, 32768, 40960, 45060, 65536};
  for (const Family& family : kFamilies) {
    const std::string path = rig_.PathOf(family.Key);
    for (const std::size_t size : kSizes) {
      if (family.ImageAt + size > 65536) {
        continue;  // the image does not fit the 64 KB flash behind the area placed before it
      }
      SCOPED_TRACE(std::string(family.Key) + " " + std::to_string(size));
      const std::string image = rig_.ImageOfSize(family.Key, size);
      const std::vector<std::uint8_t> before = rig_.Memory(path, family.MemoryFile);
      const CliRun update =
          rig_.Json(WithFlashPart(family, {"--yes", "--no-backup", "update", path, image}));
      ASSERT_EQ(update.Code, 0) << update.Out;
      const std::vector<std::uint8_t> after = rig_.Memory(path, family.MemoryFile);
      const CliRun verify = rig_.Json({"verify", path, image});
      EXPECT_EQ(verify.Code, 0) << verify.Out;
      const nlohmann::json& comparison = verify.Json["comparison"];
      const auto programmed = comparison["programmed_bytes"].get<std::size_t>();
      const auto reach = comparison["reach"].get<std::size_t>();
      EXPECT_GE(programmed, size - family.ImageAt);
      const std::size_t base = FirmwareBase(after, ReadFileBytes(image), family);
      ASSERT_EQ(before.size(), after.size());
      for (std::size_t at = 0; at < after.size(); ++at) {
        if (before[at] == after[at]) {
          continue;
        }
        ASSERT_GE(at, base);
        ASSERT_LT(at - base, reach) << "changed past the reach";
        ASSERT_TRUE(at - base < programmed || after[at] == 0xFF)
            << "programmed past the footprint at " << at - base;
      }
    }
  }
}

class CliRestore : public CliVerify {};

// backup (automatic or by the verb), update with another image, restore: every memory of the
// enclosure is as it was before.
TEST_F(CliRestore, RoundTripsOnEveryFamily) {
  for (const Family& family : kFamilies) {
    SCOPED_TRACE(family.Key);
    const std::string path = rig_.PathOf(family.Key);
    const auto original = Memories(rig_, path);
    const std::string file = rig_.Dir.File(std::string(family.Key) + "-kept.bin");
    ASSERT_EQ(rig_.Json(WithFlashPart(family, {"backup", path, file})).Code, 0);

    // The update's automatic backup is the newest one: restore takes it without being told.
    const CliRun update =
        rig_.Json(WithFlashPart(family, {"--yes", "update", path, rig_.ImageOf(family.Key)}));
    ASSERT_EQ(update.Code, 0) << update.Out;
    ASSERT_NE(Memories(rig_, path), original);
    const CliRun newest = rig_.Json(WithFlashPart(family, {"--yes", "restore", path}));
    EXPECT_EQ(newest.Code, 0) << newest.Out << newest.Err;
    EXPECT_EQ(newest.Json["backup"]["file"], update.Json["auto_backup"]["file"]);
    EXPECT_TRUE(newest.Json["auto_backup"]["proven"].get<bool>());
    EXPECT_EQ(Memories(rig_, path), original);

    // The verb's file, with the record it wrote beside it.
    ASSERT_TRUE(rig_.Json(WithFlashPart(family, {"--yes", "--no-backup", "update", path,
                                                 rig_.ImageOf(family.Key)}))
                    .Json["ok"]
                    .get<bool>());
    const CliRun named =
        rig_.Json(WithFlashPart(family, {"--yes", "--no-backup", "restore", path, file}));
    EXPECT_EQ(named.Code, 0) << named.Out << named.Err;
    EXPECT_EQ(Memories(rig_, path), original);
  }
}

// Whatever is wrong with the backup or the confirmation, the device keeps what it holds.
TEST_F(CliRestore, RefusalsLeaveTheDeviceUntouched) {
  const std::string atmel = rig_.PathOf("qv40714-atmel");
  const std::string mxic = rig_.PathOf("qvk848-mxic");
  EXPECT_EQ(rig_.Json({"--yes", "restore", atmel}).Code, 2) << "no backup to restore";
  const std::string file = rig_.Dir.File("atmel.bin");
  ASSERT_EQ(rig_.Json({"backup", atmel, file}).Code, 0);
  const std::filesystem::path record = file + ".json";  // the full name plus ".json"
  ASSERT_TRUE(std::filesystem::exists(record));
  const auto atmelBefore = Memories(rig_, atmel);
  const auto mxicBefore = Memories(rig_, mxic);

  const CliRun foreign = rig_.Json({"--yes", "restore", mxic, file});
  EXPECT_EQ(foreign.Code, 4);
  EXPECT_EQ(foreign.Json["code"], "image-refused");
  EXPECT_NE(foreign.Json["message"].get<std::string>().find("read from a"), std::string::npos);

  // No terminal and no --yes; a terminal and "n".
  EXPECT_EQ(rig_.Json({"restore", atmel, file}).Code, 2);
  rig_.Terminal = true;
  rig_.Input = "n\n";
  const CliRun declined = rig_.Json({"restore", atmel, file});
  EXPECT_EQ(declined.Code, 2);
  EXPECT_NE(declined.Err.find("[y/N]"), std::string::npos);
  rig_.Terminal = false;

  // A record that names another procedure: its bytes are no image for this one.
  const std::vector<std::uint8_t> recordText = ReadFileBytes(record);
  nlohmann::json edited = nlohmann::json::parse(recordText);
  edited["procedure"] = "UpdateDiskFirmware";
  const std::string editedText = edited.dump();
  WriteFileBytes(record, std::vector<std::uint8_t>(editedText.begin(), editedText.end()));
  const CliRun otherProcedure = rig_.Json({"--yes", "restore", atmel, file});
  EXPECT_EQ(otherProcedure.Code, 4);
  EXPECT_NE(otherProcedure.Json["message"].get<std::string>().find("UpdateDiskFirmware"),
            std::string::npos);
  WriteFileBytes(record, recordText);

  // One byte changed in the backup: its SHA-256 no longer matches.
  std::vector<std::uint8_t> bytes = ReadFileBytes(file);
  bytes[100] ^= 0x01;
  WriteFileBytes(file, bytes);
  const CliRun damaged = rig_.Json({"--yes", "restore", atmel, file});
  EXPECT_EQ(damaged.Code, 4);
  EXPECT_NE(damaged.Json["message"].get<std::string>().find("damaged"), std::string::npos);
  bytes[100] ^= 0x01;
  WriteFileBytes(file, bytes);

  // Without its record the file cannot be checked at all.
  std::filesystem::remove(record);
  EXPECT_EQ(rig_.Json({"--yes", "restore", atmel, file}).Code, 4);

  EXPECT_EQ(Memories(rig_, atmel), atmelBefore);
  EXPECT_EQ(Memories(rig_, mxic), mxicBefore);
  EXPECT_FALSE(std::filesystem::exists(rig_.BackupFolder())) << "a refusal took a backup";
}

// A damaged newest automatic backup is passed over for the intact one before it.
TEST_F(CliRestore, TheNewestIntactAutomaticBackupIsChosen) {
  const Family& family = kFamilies[0];
  const std::string path = rig_.PathOf(family.Key);
  const auto original = Memories(rig_, path);
  const CliRun first = rig_.Json({"--yes", "erase", path});
  ASSERT_TRUE(first.Json["ok"].get<bool>()) << first.Out;
  const CliRun second = rig_.Json({"--yes", "update", path, rig_.ImageOf(family.Key)});
  ASSERT_TRUE(second.Json["ok"].get<bool>()) << second.Out;
  const std::string newest = second.Json["auto_backup"]["file"];
  std::vector<std::uint8_t> bytes = ReadFileBytes(newest);
  bytes[7] ^= 0x01;
  WriteFileBytes(newest, bytes);

  const CliRun restored = rig_.Json({"--yes", "--no-backup", "restore", path});
  EXPECT_TRUE(restored.Json["ok"].get<bool>()) << restored.Out;
  EXPECT_EQ(restored.Json["backup"]["file"], first.Json["auto_backup"]["file"]);
  EXPECT_EQ(Memories(rig_, path), original);
}

}  // namespace
}  // namespace q71x::testing
