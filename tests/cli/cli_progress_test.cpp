// SPDX-License-Identifier: GPL-2.0-or-later
// q71xfw's progress over its simulated machine: the JSON lines of --json --progress read back
// and judged against the runs they describe, the bar on a terminal, and silence otherwise.

#include <gtest/gtest.h>

#include <sstream>

#include "sim/fault_injector.h"
#include "sim/simulated_system.h"
#include "src/app/cli/progress_meter.h"
#include "src/simhost/sim_state_folder.h"
#include "tests/cli/cli_rig.h"

namespace q71x::testing {
namespace {

// One family of each procedure kind, 1394 included.
constexpr const char* kPresets[] = {"qv40714-atmel", "qvk842-eon",  "qvk848-mxic",
                                    "qvk846-1394",   "qv40712-sst", "qv40709-disk"};

std::vector<nlohmann::json> ProgressEvents(const std::string& err) {
  std::vector<nlohmann::json> events;
  std::istringstream lines(err);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("{\"event\":\"progress\"", 0) == 0) {
      events.push_back(nlohmann::json::parse(line));
    }
  }
  return events;
}

// A clock that moves 40 ms each time it is read: a redraw is due every third read.
std::function<std::uint64_t()> StepClock() {
  auto now = std::make_shared<std::uint64_t>(0);
  return [now] { return *now += 40; };
}

// Checks one phase's events and returns its last one.
nlohmann::json CheckPhase(const std::vector<nlohmann::json>& events, const std::string& phase) {
  int lastPercent = -1;
  std::uint64_t lastBytes = 0;
  std::uint64_t lastElapsed = 0;
  nlohmann::json last;
  for (const nlohmann::json& event : events) {
    if (event["phase"] != phase) {
      continue;
    }
    EXPECT_FALSE(!last.is_null() && last["done"].get<bool>()) << "events after the phase ended";
    const int percent = event["percent"];
    const std::uint64_t bytes = event["bytes"];
    EXPECT_GE(percent, lastPercent) << event.dump();
    EXPECT_GE(bytes, lastBytes) << event.dump();
    EXPECT_LE(bytes, event["total"].get<std::uint64_t>()) << event.dump();
    if (!event["done"].get<bool>()) {
      EXPECT_LT(percent, 100) << event.dump();
      if (!last.is_null()) {
        EXPECT_GE(event["elapsed_ms"].get<std::uint64_t>() - lastElapsed, 100u)
            << "redrawn faster than ten times a second";
      }
    }
    lastPercent = percent;
    lastBytes = bytes;
    lastElapsed = event["elapsed_ms"];
    last = event;
  }
  return last;
}

TEST(CliProgress, JsonLinesClimbToTheBytesReallyMovedOnEveryFamily) {
  CliRig rig;
  rig.Plugged.assign(std::begin(kPresets), std::end(kPresets));
  rig.SteadyMs = StepClock();
  for (const char* preset : kPresets) {
    SCOPED_TRACE(preset);
    const std::string path = rig.PathOf(preset);
    const std::uintmax_t imageSize = std::filesystem::file_size(rig.ImageOf(preset));
    const CliRun run = rig.Json({"--progress", "--yes", "update", path, rig.ImageOf(preset)});
    ASSERT_EQ(run.Code, 0) << run.Out;
    const std::vector<nlohmann::json> events = ProgressEvents(run.Err);
    ASSERT_FALSE(events.empty()) << run.Err;
    EXPECT_EQ(events.front()["phase"], "backup-only");
    EXPECT_EQ(events.front()["bytes"], 0);

    const nlohmann::json backup = CheckPhase(events, "backup-only");
    ASSERT_FALSE(backup.is_null());
    EXPECT_TRUE(backup["done"].get<bool>());
    EXPECT_EQ(backup["percent"], 100);
    EXPECT_EQ(backup["bytes"], backup["total"]);
    // The backup is read twice, the second read proving the first.
    const std::uint64_t firmware = run.Json["device"]["firmware_size"];
    EXPECT_GE(backup["bytes"].get<std::uint64_t>(), 2 * firmware);

    const nlohmann::json update = CheckPhase(events, "update");
    ASSERT_FALSE(update.is_null());
    EXPECT_TRUE(update["done"].get<bool>());
    EXPECT_EQ(update["percent"], 100);
    EXPECT_EQ(update["bytes"], update["total"]);
    EXPECT_GE(update["bytes"].get<std::uint64_t>(), std::min<std::uint64_t>(imageSize, firmware))
        << "fewer bytes than the image went through";
    EXPECT_EQ(events.back(), update);
  }
}

TEST(CliProgress, AFailedRunStopsShortOfAHundred) {
  CliRig rig;
  rig.Plugged = {"qv40714-atmel"};
  rig.SteadyMs = StepClock();
  const std::string path = rig.PathOf("qv40714-atmel");
  const std::vector<std::uint8_t> before = rig.Memory(path, kFlashFileName);
  rig.Prepare = [&](sim::SimulatedSystem& system) {
    sim::FaultRule rule;
    rule.Pattern = sim::CdbPattern::Prefix({0xFF, 0x04, 0x10});
    rule.Nth = 2;  // the first of the two reads goes through
    rule.Path = path;
    rule.Times = 0;
    system.Faults().Arm(rule);
  };
  const CliRun run = rig.Json({"--progress", "--yes", "--no-backup", "backup", path,
                               (rig.Dir.path() / "kept.bin").string()});
  EXPECT_EQ(run.Code, 1) << run.Out;
  const nlohmann::json last = CheckPhase(ProgressEvents(run.Err), "backup-only");
  ASSERT_FALSE(last.is_null()) << run.Err;
  EXPECT_TRUE(last["done"].get<bool>());
  EXPECT_LT(last["percent"].get<int>(), 100);
  EXPECT_GT(last["bytes"].get<std::uint64_t>(), 0u);
  EXPECT_EQ(rig.Memory(path, kFlashFileName), before);
  // The report says why: the refused read of the backup step, the device left as it was.
  const nlohmann::json& outcome = run.Json["run"]["outcome"];
  EXPECT_EQ(outcome["verdict"], "failed") << outcome.dump();
  EXPECT_EQ(outcome["step"], "backup");
  EXPECT_EQ(outcome["reason"], "command-failed");
  EXPECT_EQ(outcome["command"]["opcode"], 0xFF);
  EXPECT_EQ(outcome["command"]["result"], "transport error");
  EXPECT_FALSE(outcome["memory_changed"].get<bool>());
}

TEST(CliProgress, ABarOnATerminalAndNothingElsewhereUnlessAsked) {
  CliRig rig;
  rig.Plugged = {"qv40714-atmel"};
  const std::string path = rig.PathOf("qv40714-atmel");
  const std::string file = (rig.Dir.path() / "a.bin").string();

  const CliRun quietJson = rig.Json({"--yes", "backup", path, file});
  ASSERT_EQ(quietJson.Code, 0) << quietJson.Out;
  EXPECT_TRUE(ProgressEvents(quietJson.Err).empty()) << quietJson.Err;
  const CliRun quietText = rig.Text({"--progress", "--yes", "backup", path, file + "2"});
  ASSERT_EQ(quietText.Code, 0) << quietText.Err;
  EXPECT_EQ(quietText.Err.find('\r'), std::string::npos) << quietText.Err;
  EXPECT_TRUE(ProgressEvents(quietText.Err).empty());

  rig.ErrTerminal = true;
  const CliRun bar = rig.Text({"--yes", "backup", path, file + "3"});
  ASSERT_EQ(bar.Code, 0) << bar.Err;
  EXPECT_NE(bar.Err.find("\rbackup-only"), std::string::npos) << bar.Err;
  EXPECT_NE(bar.Err.find("100 %"), std::string::npos) << bar.Err;
  EXPECT_NE(bar.Err.find(" done\n"), std::string::npos) << bar.Err;
  EXPECT_EQ(bar.Out.find('\r'), std::string::npos) << "the report stays clean";
}

TEST(ProgressMeter, NeverBackNeverFullBeforeTheEndAndPacedByTheInterval) {
  cli::ProgressMeter meter(100);
  EXPECT_EQ(meter.Begin("update", 1000, 0).Percent, 0);
  EXPECT_FALSE(meter.Add(500, 50)) << "within the interval";
  const auto half = meter.Add(400, 100);
  ASSERT_TRUE(half);
  EXPECT_EQ(half->Percent, 90);
  EXPECT_EQ(half->Bytes, 900u);
  ASSERT_TRUE(half->RemainingMs);
  EXPECT_EQ(*half->RemainingMs, 11u);  // 100 bytes at 9 bytes per ms
  // More than expected: the total follows, the share does not drop and does not reach 100.
  const auto over = meter.Add(1000, 300);
  ASSERT_TRUE(over);
  EXPECT_EQ(over->Total, 1900u);
  EXPECT_EQ(over->Percent, 99);
  const cli::ProgressSample end = meter.End(true, 350);
  EXPECT_TRUE(end.Done);
  EXPECT_EQ(end.Percent, 100);
  EXPECT_EQ(end.Total, 1900u);

  meter.Begin("erase-only", 1000, 1000);
  meter.Add(300, 1200);
  const cli::ProgressSample failed = meter.End(false, 1300);
  EXPECT_EQ(failed.Percent, 30);
  EXPECT_FALSE(meter.Add(100, 2000)) << "nothing counts once the phase ended";
}

}  // namespace
}  // namespace q71x::testing
