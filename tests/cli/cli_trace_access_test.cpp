// SPDX-License-Identifier: GPL-2.0-or-later
// q71xfw's --trace read back by the trace reader and replayed, a trace file that cannot be
// written stopping the run before any device is touched, and a device the system refuses to
// open reported as access denied.

#include <gtest/gtest.h>

#include <fstream>

#include "sim/simulated_system.h"
#include "src/device/platform/trace/replay_platform.h"
#include "src/device/platform/trace/trace_format.h"
#include "src/simhost/sim_state_folder.h"
#include "src/tool/session/headless_session.h"
#include "tests/cli/cli_rig.h"

namespace q71x::testing {
namespace {

constexpr const char* kPreset = "qv40714-atmel";

TEST(CliTrace, RecordsTheRunSoThatItReplaysWithTheSameWrites) {
  CliRig rig;
  rig.Plugged = {kPreset, "qvk848-mxic"};
  const std::string path = rig.PathOf(kPreset);
  const std::string image = rig.ImageOf(kPreset);
  const std::filesystem::path traceFile = rig.Dir.path() / "run.trace";
  const CliRun run =
      rig.Json({"--trace", traceFile.string(), "--yes", "--no-backup", "update", path, image});
  ASSERT_EQ(run.Code, 0) << run.Out;
  const std::vector<std::uint8_t> written = rig.Memory(path, kFlashFileName);

  // The trace holds the image as it went out to the bridge.
  std::ifstream lines(traceFile);
  std::vector<std::uint8_t> sent;
  std::size_t exchanges = 0;
  for (std::string line; std::getline(lines, line);) {
    if (const auto exchange = trace::ParsePassThrough(line)) {
      ++exchanges;
      sent.insert(sent.end(), exchange->DataOut.begin(), exchange->DataOut.end());
    }
  }
  EXPECT_GT(exchanges, 10u);
  const std::vector<std::uint8_t> code(written.begin() + 4096, written.begin() + 8192);
  EXPECT_TRUE(Contains(sent, code)) << "the image's code was not among the data sent";

  // The same operator steps over the recording find every answer they need, and claim success.
  std::ifstream in(traceFile);
  trace::ReplayPlatform replay;
  ASSERT_TRUE(replay.Load(in)) << (replay.ParseErrors().empty() ? "" : replay.ParseErrors()[0]);
  ScopedActivePlatform use(replay);
  HeadlessSession session;
  ASSERT_EQ(session.DeviceCount(), 2);
  const int index = session.PathOf(0) == path ? 0 : 1;
  session.Select(index);
  ASSERT_TRUE(session.GiveImage(image, false).RunAllowed);
  ASSERT_TRUE(session.GiveImage(image, false).RunAllowed);
  const RunReport replayed = session.RunUpdate();
  EXPECT_TRUE(replayed.Claimed) << replayed.Status;
  EXPECT_TRUE(replay.Unmatched().empty()) << replay.Unmatched().front();
}

TEST(CliTrace, AnUnwritableTraceStopsTheRunBeforeTheDevice) {
  CliRig rig;
  rig.Plugged = {kPreset};
  const std::string path = rig.PathOf(kPreset);
  const std::vector<std::uint8_t> before = rig.Memory(path, kFlashFileName);
  const std::string nowhere = (rig.Dir.path() / "missing" / "run.trace").string();
  const CliRun run = rig.Json({"--trace", nowhere, "--yes", "erase", path});
  EXPECT_EQ(run.Code, 2) << run.Out;
  EXPECT_NE(run.Json["message"].get<std::string>().find("cannot write the trace"),
            std::string::npos);
  EXPECT_EQ(rig.Memory(path, kFlashFileName), before);
  EXPECT_FALSE(std::filesystem::exists(rig.BackupFolder())) << "no backup was taken either";
}

TEST(CliTrace, AFolderTheSystemRefusesIsAccessDenied) {
  CliRig rig;
  rig.Plugged = {kPreset};
  const std::filesystem::path locked = rig.Dir.path() / "locked";
  std::filesystem::create_directory(locked);
  std::filesystem::permissions(
      locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const CliRun denied = rig.Text({"--trace", (locked / "run.trace").string(), "list"});
  std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
  if (denied.Code == 0) {
    GTEST_SKIP() << "this user may write into a read-only folder";
  }
  EXPECT_EQ(denied.Code, 5) << denied.Err;
  EXPECT_NE(denied.Err.find("cannot write the trace"), std::string::npos) << denied.Err;
}

TEST(CliAccess, ADeviceTheSystemRefusesToOpenIsAccessDenied) {
  CliRig rig;
  rig.Plugged = {kPreset, "qvk848-mxic"};
  const std::string path = rig.PathOf(kPreset);
  const std::string other = rig.PathOf("qvk848-mxic");
  const std::vector<std::uint8_t> before = rig.Memory(path, kFlashFileName);
  rig.Prepare = [&](sim::SimulatedSystem& system) { system.SetOpenRefused(path, true); };

  const CliRun list = rig.Json({"list"});
  EXPECT_EQ(list.Code, 0);
  ASSERT_EQ(list.Json["devices"].size(), 1u);
  EXPECT_EQ(list.Json["devices"][0]["path"], other);
  EXPECT_EQ(list.Json["access_denied"], nlohmann::json::array({path}));

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"info", path}, {"--yes", "erase", path}}) {
    SCOPED_TRACE(args.front());
    const CliRun refused = rig.Json(args);
    EXPECT_EQ(refused.Code, 5) << refused.Out;
    EXPECT_EQ(refused.Json["code"], "access-denied");
    EXPECT_NE(refused.Json["message"].get<std::string>().find("access denied"), std::string::npos);
  }
  EXPECT_EQ(rig.Memory(path, kFlashFileName), before);

  const CliRun text = rig.Text({"info", path});
  EXPECT_EQ(text.Code, 5);
  EXPECT_NE(text.Err.find("q71xfw: access denied: the system refused to open " + path),
            std::string::npos)
      << text.Err;
  EXPECT_EQ(rig.Json({"info", other}).Code, 0) << "the other device is still there";
}

}  // namespace
}  // namespace q71x::testing
