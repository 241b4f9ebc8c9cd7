// SPDX-License-Identifier: GPL-2.0-or-later
// Several devices in one command line, each run side by side: judged by the memories the state
// folder keeps afterwards, against the same devices updated one program at a time.

#include <gtest/gtest.h>

#include <set>

#include "sim/fault_injector.h"
#include "sim/presets.h"
#include "sim/simulated_system.h"
#include "src/simhost/sim_state_folder.h"
#include "tests/cli/cli_rig.h"
#include "tests/support/enclosure_twin.h"

namespace q71x::testing {
namespace {

constexpr const char* kKey = "qv40714-atmel";

// The preset's enclosure and `twins` more of its model, each a unit of its own, and nothing
// else plugged in; the twins' memories persist in the state folder as every other's.
void UseTwins(CliRig& rig, int twins) {
  rig.Plugged = {kKey};
  rig.Prepare = [&rig, twins](sim::SimulatedSystem& system) {
    const sim::SerialFlashPreset& preset = *sim::FindSerialFlashPreset(kKey);
    for (int i = 1; i <= twins; ++i) {
      std::optional<sim::Enclosure> twin = sim::MakePresetEnclosure(kKey);
      const std::string n = std::to_string(100 + i);
      MakeTwin(*twin, "-t" + n, "5EC0FFEE0" + n, preset.ConfigOffset, preset.ConfigBytes);
      system.AddEnclosure(std::move(*twin));
    }
    SimStateFolder(rig.State).Restore(system);
  };
}

std::vector<std::string> ListedPaths(CliRig& rig) {
  std::vector<std::string> paths;
  const CliRun list = rig.Json({"list"});
  EXPECT_EQ(list.Code, 0) << list.Out << list.Err;
  for (const nlohmann::json& device : list.Json["devices"]) {
    paths.push_back(device["path"].get<std::string>());
  }
  return paths;
}

TEST(CliSeveralDevices, SixteenEnclosuresAtOnceEndAsSixteenSingleRunsEachWithItsOwnBackup) {
  CliRig together;
  CliRig alone;
  UseTwins(together, 15);
  UseTwins(alone, 15);
  const std::vector<std::string> paths = ListedPaths(together);
  ASSERT_EQ(paths.size(), 16u);
  ASSERT_EQ(ListedPaths(alone), paths);
  const std::string image = together.ImageOf(kKey);
  const std::vector<std::uint8_t> before = together.Memory(paths.front(), kFlashFileName);
  ASSERT_FALSE(Contains(before, Code(ReadFileBytes(image))));

  // The machine's clock at the end is the run's modeled duration: side by side, the enclosures
  // take their time at once, not one after the other.
  std::uint64_t togetherUs = 0;
  together.Inspect = [&togetherUs](sim::SimulatedSystem& system) {
    togetherUs = system.Clock().NowUs();
  };
  const CliRun run = together.Json({"--yes", "update", "--all", image});
  EXPECT_EQ(run.Code, 0) << run.Out << run.Err;
  ASSERT_EQ(run.Json["runs"].size(), 16u) << run.Out;
  std::set<std::string> ids;
  for (const nlohmann::json& entry : run.Json["runs"]) {
    EXPECT_EQ(entry["outcome"], "ok") << entry.dump(2);
    ids.insert(entry["id"].get<std::string>());
  }
  EXPECT_EQ(ids.size(), 16u) << "every unit is told apart";

  std::uint64_t aloneUs = 0;
  alone.Inspect = [&aloneUs](sim::SimulatedSystem& system) {
    aloneUs = std::max(aloneUs, system.Clock().NowUs());
  };
  for (const std::string& path : paths) {
    ASSERT_EQ(alone.Json({"--yes", "update", path, image}).Code, 0) << path;
  }
  EXPECT_LT(togetherUs, 2 * aloneUs)
      << "sixteen updates took " << togetherUs << " modeled us; the slowest single " << aloneUs;
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const auto memories = together.Memories(path);
    EXPECT_TRUE(Contains(memories.at(kFlashFileName), Code(ReadFileBytes(image))));
    EXPECT_EQ(memories, alone.Memories(path)) << "side by side left other bytes than alone";
  }
  std::size_t backups = 0;
  for (const auto& entry : std::filesystem::directory_iterator(together.BackupFolder())) {
    backups += entry.path().extension() == ".bin" ? 1 : 0;
  }
  EXPECT_EQ(backups, 16u) << "one automatic backup per unit";
}

TEST(CliSeveralDevices, OneDeviceThatFailsAmongFourIsNamedAndSetsTheExitCode) {
  CliRig rig;
  UseTwins(rig, 3);
  const std::vector<std::string> paths = ListedPaths(rig);
  ASSERT_EQ(paths.size(), 4u);
  const std::string failing = paths[2];
  const auto twins = rig.Prepare;
  rig.Prepare = [&twins, &failing](sim::SimulatedSystem& system) {
    twins(system);
    // Every flash read of that one enclosure fails from the third on.
    sim::FaultRule rule;
    rule.Pattern = sim::CdbPattern::Prefix({0xFF, 0x04, 0x10});
    rule.Nth = 3;
    rule.Times = 0;
    rule.Path = failing;
    system.Faults().Arm(rule);
  };
  const std::string image = rig.ImageOf(kKey);
  const CliRun run =
      rig.Json({"--yes", "--no-backup", "update", "0", "1", failing, paths[3], image});
  EXPECT_EQ(run.Code, 1) << run.Out;
  EXPECT_EQ(run.Json["code"], "operation-failed");
  EXPECT_EQ(run.Json["message"].get<std::string>().rfind("3 of 4 device(s) succeeded", 0), 0u)
      << run.Json["message"];
  ASSERT_EQ(run.Json["runs"].size(), 4u);
  for (const nlohmann::json& entry : run.Json["runs"]) {
    const bool isFailing = entry["path"] == failing;
    SCOPED_TRACE(entry["path"].get<std::string>());
    EXPECT_EQ(entry["outcome"], isFailing ? "operation-failed" : "ok");
    EXPECT_EQ(entry["exit_code"], isFailing ? 1 : 0);
    EXPECT_FALSE(entry["texts"].empty()) << "the device's own texts are in its entry";
    EXPECT_EQ(Contains(rig.Memory(entry["path"], kFlashFileName), Code(ReadFileBytes(image))),
              !isFailing);
  }
  const CliRun text = rig.Text({"--yes", "--no-backup", "verify", "0", "1", image});
  EXPECT_EQ(text.Code, 0) << text.Err;
  EXPECT_NE(text.Out.find("DEVICE  ID  OUTCOME  CODE  MESSAGE"), std::string::npos) << text.Out;
}

}  // namespace
}  // namespace q71x::testing
