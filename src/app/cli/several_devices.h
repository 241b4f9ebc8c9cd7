// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A verb over several devices (several DEVICE arguments, or --all): the devices are named on
// the program's own thread, then each runs on a thread of its own with its own core, its own
// claim on the unit, its own platform layers and progress, as one device's run would; the
// owners are handed back to be let go once what the runs changed is saved.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "src/app/cli/cli_environment.h"
#include "src/app/cli/device_thread_machine.h"
#include "src/app/cli/verbs.h"
#include "src/tool/session/headless_session.h"
#include "src/tool/unit_ownership.h"
#include "src/update/journal/recovery_journal.h"

namespace q71x::cli {

struct DeviceTarget {
  int Index = -1;
  std::string Path;
};

struct DeviceTargets {
  std::vector<DeviceTarget> Devices;
  std::optional<VerbOutcome> Refusal;
};

// The devices request.Devices names (by index, path, unit id or chip name, each once), or with
// --all every listed one; the verb's chip check on each device's thread decides which of those
// --all takes.
DeviceTargets ChooseDeviceTargets(HeadlessSession& session, const VerbRequest& request);

struct DeviceRun {
  DeviceTarget Target;
  std::string Id;        // the unit id, once the chip check gave it
  bool Skipped = false;  // --all: not a device the verb takes; Outcome.Message says why
  VerbOutcome Outcome;
  UnitOwnership Owned;
};

struct SeveralRunSettings {
  bool Json = false;
  bool Progress = false;
  bool Verbose = false;
  bool Quiet = false;
  DeviceThreadMachineSource Machine;
  std::filesystem::path JournalFolder;  // empty: the runs keep no journal
  // Told each unit a run claims, on that run's thread.
  std::function<void(const std::string& path)> OnClaim;
};

// Runs the verb on every target at once, each on a thread of its own, and returns when all
// have ended, in the targets' order. `env.Err` takes every device's lines.
std::vector<DeviceRun> RunSideBySide(const std::vector<DeviceTarget>& targets,
                                     const VerbRequest& request, const CliEnvironment& env,
                                     const SeveralRunSettings& settings);

// The verb over several devices, from naming them to the summary (run_summary.h): the image is
// checked readable, the devices named, the operator asked once for all of them, and the owners
// of the units the runs claimed added to `owned`.
VerbOutcome RunOnSeveral(const VerbRequest& request, CliEnvironment& env, RecoveryJournal& journal,
                         const SeveralRunSettings& settings, std::vector<UnitOwnership>& owned);

// The name of one device's backup when one verb backs up several: FILE with the unit id before
// its extension ("fw.bin" -> "fw-usb-3F2A0017_t1-r1.bin").
std::string BackupFileOf(const std::string& file, const std::string& unitId);

}  // namespace q71x::cli
