// SPDX-License-Identifier: GPL-2.0-or-later
// One owner per bridge: a second program on an owned bridge refuses and sends it nothing, a list
// during another program's run leaves that bridge alone, a verb that names one device talks to
// it only, a busy device is tried again, and updates started together on one state folder keep
// every memory they wrote.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "sim/command_log.h"
#include "sim/fault_injector.h"
#include "sim/simulated_system.h"
#include "src/host/unit_lock.h"
#include "src/simhost/sim_state_folder.h"
#include "src/tool/unit_ownership.h"
#include "tests/cli/cli_rig.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace q71x::testing {
namespace {

constexpr int kInUse = 7;

// Commands each path was sent during one run.
std::map<std::string, std::size_t> CommandsByPath(sim::SimulatedSystem& system) {
  std::map<std::string, std::size_t> counts;
  for (const sim::LoggedCommand& command : system.Log().Entries()) {
    ++counts[command.Path];
  }
  return counts;
}

// Another program's claim on a device of the rig's simulated machine.
struct OtherProgram {
  OtherProgram(const CliRig& rig, const std::string& path) {
    const ScopedUnitLockFolder folder(rig.State / "locks");
    EXPECT_FALSE(owner.Claim(path, UnitIdentity{}).has_value());
  }
  UnitOwnership owner;
};

TEST(UnitLock, OneHolderAtATimeNamedByItsProcessAndFreeOnceReleased) {
  TempDir dir;
  LockAttempt first = TryLock(dir.path() / "locks", "unit:usb-0001");
  ASSERT_TRUE(first.Taken()) << first.Problem;
  const LockAttempt second = TryLock(dir.path() / "locks", "unit:usb-0001");
  EXPECT_FALSE(second.Taken());
#ifndef _WIN32
  EXPECT_EQ(second.HolderPid, static_cast<long>(::getpid()));
  EXPECT_EQ(LockHolder(dir.path() / "locks", "unit:usb-0001"), static_cast<long>(::getpid()));
#endif
  EXPECT_TRUE(TryLock(dir.path() / "locks", "unit:usb-0002").Taken()) << "another key is free";
  first.Lock.Release();
  EXPECT_FALSE(LockHolder(dir.path() / "locks", "unit:usb-0001").has_value());
  EXPECT_TRUE(TryLock(dir.path() / "locks", "unit:usb-0001").Taken());
}

TEST(CliUnitOwner, ASecondProgramRefusesAnOwnedBridgeAndSendsItNothing) {
  CliRig rig;
  const std::string path = rig.PathOf("qv40714-atmel");
  const std::vector<std::uint8_t> before = rig.Memory(path, kFlashFileName);
  const OtherProgram other(rig, path);
  std::map<std::string, std::size_t> sent;
  rig.Inspect = [&](sim::SimulatedSystem& system) { sent = CommandsByPath(system); };

  const CliRun update =
      rig.Json({"--yes", "--no-backup", "update", path, rig.ImageOf("qv40714-atmel")});
  EXPECT_EQ(update.Code, kInUse) << update.Out;
  EXPECT_EQ(update.Json["code"], "in-use");
  EXPECT_NE(update.Json["message"].get<std::string>().find("in use by process"), std::string::npos);
  EXPECT_EQ(sent.count(path), 0u) << "the owned bridge was sent " << sent[path] << " commands";
  EXPECT_EQ(rig.Memory(path, kFlashFileName), before);

  // Named by its chip instead, it is not even checked: no other bridge has that chip, so none
  // is found.
  const CliRun byChip = rig.Json({"info", "QV40714"});
  EXPECT_EQ(sent.count(path), 0u);
  EXPECT_NE(byChip.Code, 0);
}

TEST(CliUnitOwner, AListDuringAnotherProgramsRunLeavesThatBridgeAloneAndNamesTheOwner) {
  CliRig rig;
  const std::string owned = rig.PathOf("qv40714-atmel");
  const std::string free = rig.PathOf("qvk848-mxic");
  const OtherProgram other(rig, owned);
  std::map<std::string, std::size_t> sent;
  rig.Inspect = [&](sim::SimulatedSystem& system) { sent = CommandsByPath(system); };

  const CliRun list = rig.Json({"list"});
  ASSERT_EQ(list.Code, 0) << list.Out;
  EXPECT_EQ(sent.count(owned), 0u) << "the owned bridge was sent " << sent[owned] << " commands";
  EXPECT_GT(sent[free], 0u) << "the other bridges are listed as always";
  bool listedInUse = false;
  for (const nlohmann::json& device : list.Json["devices"]) {
    if (device["path"] == owned) {
      listedInUse = !device["in_use_by"].is_null() && device["chip"] == "";
    } else {
      EXPECT_TRUE(device["in_use_by"].is_null());
    }
  }
  EXPECT_TRUE(listedInUse);
}

// The list's indexes need the vendor probe that tells bridges from other disks (one read each);
// nothing else reaches another device: no INQUIRY, no session open, no chip check.
TEST(CliUnitOwner, AVerbThatNamesOneDeviceTalksToThatDeviceOnly) {
  CliRig rig;
  const std::string path = rig.PathOf("qvk848-mxic");
  std::map<std::string, std::vector<std::vector<std::uint8_t>>> sent;
  rig.Inspect = [&](sim::SimulatedSystem& system) {
    sent.clear();
    for (const sim::LoggedCommand& command : system.Log().Entries()) {
      sent[command.Path].push_back(command.Cdb);
    }
  };
  for (const std::string& name : {path, std::string("7")}) {
    SCOPED_TRACE(name);
    const CliRun info = rig.Json({"info", name});
    ASSERT_EQ(info.Code, 0) << info.Out;
    ASSERT_EQ(info.Json["device"]["path"], path);
    EXPECT_GT(sent[path].size(), 3u) << "the list's own commands and the chip check";
    for (const auto& [other, commands] : sent) {
      if (other == path) {
        continue;
      }
      ASSERT_EQ(commands.size(), 1u) << other;
      EXPECT_EQ(commands.front()[0], 0xDF) << other;
      EXPECT_EQ(commands.front()[1], 0x10) << other;
    }
  }
}

TEST(CliUnitOwner, ABusyDeviceIsTriedAgainAndTheUpdateFinishes) {
  CliRig rig;
  const std::string path = rig.PathOf("qv40714-atmel");
  const std::vector<std::uint8_t> image = ReadFileBytes(rig.ImageOf("qv40714-atmel"));
  ASSERT_FALSE(Contains(rig.Memory(path, kFlashFileName), Code(image)));
  // Its data-out commands: the session open, two set-ups, the erase, then the writes. Busy from
  // the second write on (past the erase), for four opens in a row.
  rig.Prepare = [&](sim::SimulatedSystem& system) { system.Faults().ArmBusyOpens(path, 4, 4); };
  int refused = 0;
  rig.Inspect = [&](sim::SimulatedSystem& system) { refused = system.Faults().BusyOpensRefused(); };
  const CliRun update =
      rig.Json({"--yes", "--no-backup", "update", path, rig.ImageOf("qv40714-atmel")});
  ASSERT_TRUE(update.Code == 0 || update.Code == 6) << update.Out;
  EXPECT_TRUE(update.Json["run"]["claimed_success"].get<bool>());
  EXPECT_EQ(refused, 4);
  EXPECT_TRUE(Contains(rig.Memory(path, kFlashFileName), Code(image)));
}

#if !defined(_WIN32) && defined(Q71XFW_BINARY)
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

TEST(CliUnitOwner, FourProgramsStartedTogetherOnAFreshStateFolderKeepEveryUpdate) {
  struct Target {
    const char* Key;
    const char* MemoryFile;
    std::vector<std::string> Options;
  };
  const Target targets[] = {
      {"qv40714-atmel", kFlashFileName, {}},
      {"qvk848-mxic", kFlashFileName, {}},
      {"qv40712-sst", kParallelFlashFileName, {"--flash-part", "2"}},
      {"qv40709-disk", kDiskAreaFileName, {}},
  };
  CliRig names;  // paths and images from a state folder of its own
  CliRig fresh;
  ASSERT_FALSE(std::filesystem::exists(fresh.State));
  std::string script;
  for (std::size_t i = 0; i < std::size(targets); ++i) {
    std::string command = Quoted(Q71XFW_BINARY) + " --sim --state " + Quoted(fresh.State.string()) +
                          " --yes --no-backup";
    for (const std::string& option : targets[i].Options) {
      command += " " + option;
    }
    command += " update " + Quoted(names.PathOf(targets[i].Key)) + " " +
               Quoted(names.ImageOf(targets[i].Key));
    const std::string out = fresh.Dir.File("out" + std::to_string(i));
    script +=
        "(" + command + " >" + Quoted(out) + " 2>&1; echo $? >" + Quoted(out + ".code") + ") & ";
  }
  script += "wait";
  ASSERT_EQ(std::system(script.c_str()), 0);
  for (std::size_t i = 0; i < std::size(targets); ++i) {
    SCOPED_TRACE(targets[i].Key);
    std::ifstream codeFile(fresh.Dir.File("out" + std::to_string(i) + ".code"));
    int code = -1;
    codeFile >> code;
    std::ifstream outFile(fresh.Dir.File("out" + std::to_string(i)));
    const std::string said((std::istreambuf_iterator<char>(outFile)), {});
    EXPECT_TRUE(code == 0 || code == 6) << said;
    const std::vector<std::uint8_t> image = ReadFileBytes(names.ImageOf(targets[i].Key));
    EXPECT_TRUE(
        Contains(fresh.Memory(names.PathOf(targets[i].Key), targets[i].MemoryFile), Code(image)))
        << "the update was lost; it said: " << said;
  }
}
#endif

}  // namespace
}  // namespace q71x::testing
