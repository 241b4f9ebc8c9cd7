// q71xfw and the recovery journal over its simulated machine: an enclosure pulled in the middle
// of an erase leaves its configuration area in the journal kept in the state folder; `list`
// shows the recovery pending, `info` reports it and puts the area back only when confirmed, and
// no update or erase goes near the device until it is back.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "sim/fault_injector.h"
#include "sim/simulated_system.h"
#include "src/app/sim/sim_state_folder.h"
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
  const std::string path = rig.PathOf(kKey);
  const std::vector<std::uint8_t> original = AreaOf(rig.Memory(path, kFlashFileName));
  EXPECT_FALSE(Pending(rig, path));

  // The area is read twice before the erase, in four blocks each; the enclosure goes at the
  // blank check that follows it. No automatic backup, whose reads would come first.
  rig.Prepare = [&path](sim::SimulatedSystem& system) {
    system.Faults().Arm(
        FaultRuleFor(DfPattern(kDfFlashRead), 9, sim::FaultKind::Unplug, 1, 0, path));
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

}  // namespace
}  // namespace q71x::testing
