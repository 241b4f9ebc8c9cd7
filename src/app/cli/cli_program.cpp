// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/cli_program.h"

#include <CLI/CLI.hpp>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "sim/presets.h"
#include "sim/simulated_system.h"
#include "src/app/cli/access_verdict.h"
#include "src/app/cli/error_events.h"
#include "src/app/cli/exit_codes.h"
#include "src/app/cli/json_text.h"
#include "src/app/cli/quiet_scope.h"
#include "src/app/cli/run_guard.h"
#include "src/app/cli/run_platforms.h"
#include "src/app/cli/run_progress.h"
#include "src/app/cli/run_summary.h"
#include "src/app/cli/several_devices.h"
#include "src/app/cli/usage_problem.h"
#include "src/app/cli/verbs.h"
#include "src/app/cli/verify_verb.h"
#include "src/catalog/parallel_part_table.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/device/platform/sim/wall_clock_pacing.h"
#include "src/host/unit_lock.h"
#include "src/host/utf8_path.h"
#include "src/simhost/sample_images.h"
#include "src/simhost/sim_state_folder.h"
#include "src/tool/session/headless_session.h"

namespace q71x::cli {
namespace {

// The parts as the window's flash-type list shows them, each with the number that chooses it.
std::string FlashPartHelp() {
  std::string help = "Parallel-flash families: the item of the flash-type list (";
  for (const PartChoice& choice : ParallelPartChoices()) {
    help += (choice.Value == 0 ? "" : ", ") + std::to_string(choice.Value) + " " +
            std::string(choice.Caption);
  }
  return help + ")";
}

struct GlobalOptions {
  bool Json = false;
  bool Sim = false;
  std::string State;
  std::string Pace;
  bool Progress = false;
  std::string Trace;
  bool Verbose = false;
  bool Quiet = false;
};

// One device's thread on the simulated machine: its own timeline of the machine's clock, paced
// on its own, so that enclosures run side by side as real ones on their own buses do.
class SimulatedDeviceThread final : public DeviceThreadMachine {
 public:
  SimulatedDeviceThread(sim::SimulatedSystem& system, double pace)
      : timeline_(system.Clock()), pacing_(pace), platform_(system) {
    platform_.SetKeepHistory(false);
    if (pacing_.Enabled()) {
      platform_.SetPacing(&pacing_);
    }
  }
  Platform& ThePlatform() override { return withoutHotPlug_; }

 private:
  sim::VirtualClock::Timeline timeline_;
  WallClockPacing pacing_;
  SimPlatform platform_;
  WithoutHotPlug withoutHotPlug_{platform_};
};

class OsDeviceThread final : public DeviceThreadMachine {
 public:
  explicit OsDeviceThread(std::unique_ptr<Platform> platform)
      : platform_(std::move(platform)), withoutHotPlug_(*platform_) {}
  Platform& ThePlatform() override { return withoutHotPlug_; }

 private:
  std::unique_ptr<Platform> platform_;
  WithoutHotPlug withoutHotPlug_;
};

// The simulated machine of the simulator executable, with its memories and sample images in
// the state folder.
class SimulatedMachine {
 public:
  SimulatedMachine(const std::string& state, double pace, CliEnvironment& env)
      : folder_(state.empty() ? DefaultSimStateFolder() : PathFromUtf8(state)),
        pace_(pace),
        pacing_(pace) {
    sim::AddDemoMachine(system_);
    for (const std::string& file : folder_.Restore(system_)) {
      *env.Err << "q71xfw: left out (size does not fit): " << file << "\n";
    }
    for (const std::string& file : WritePresetSampleImages(folder_.Root() / "images")) {
      *env.Err << "q71xfw: cannot write: " << file << "\n";
    }
    if (env.PrepareSimulation) {
      env.PrepareSimulation(system_);
    }
    platform_.emplace(system_);
    platform_->SetKeepHistory(false);
    if (pacing_.Enabled()) {
      platform_->SetPacing(&pacing_);
    }
  }
  Platform& ThePlatform() { return *platform_; }
  DeviceThreadMachineSource DeviceThreads() {
    return [this] { return std::make_unique<SimulatedDeviceThread>(system_, pace_); };
  }
  sim::SimulatedSystem& System() { return system_; }
  std::filesystem::path JournalFolder() const { return folder_.JournalFolder(); }
  std::filesystem::path LockFolder() const { return folder_.Root() / "locks"; }
  std::vector<std::string> Save() { return folder_.Save(system_); }
  std::vector<std::string> CatchUp(const std::string& path) {
    return folder_.CatchUp(system_, path);
  }

 private:
  SimStateFolder folder_;
  sim::SimulatedSystem system_;
  double pace_;
  WallClockPacing pacing_;
  std::optional<SimPlatform> platform_;
};

// "key: value" a line each; an object's fields as "key.field: value".
void WriteFields(std::ostream& out, const std::string& prefix, const nlohmann::json& object) {
  for (const auto& [key, value] : object.items()) {
    if (value.is_object()) {
      WriteFields(out, prefix + key + ".", value);
    } else {
      out << prefix << key << ": "
          << (value.is_string() ? value.get<std::string>() : JsonText(value)) << "\n";
    }
  }
}

void WriteText(std::ostream& out, std::ostream& err, const VerbRequest& request,
               const VerbOutcome& outcome) {
  const nlohmann::json& data = outcome.Data;
  if (data.contains("runs")) {
    WriteSummaryTable(out, data["runs"]);
  } else if (data.contains("backups")) {
    for (const nlohmann::json& backup : data["backups"]) {
      if (!backup["readable"].get<bool>()) {
        out << backup["record"].get<std::string>()
            << "  UNREADABLE: " << backup["problem"].get<std::string>() << "\n";
        continue;
      }
      out << backup["device"].get<std::string>() << "  " << backup["created"].get<std::string>()
          << "  " << backup["file"].get<std::string>()
          << (backup["intact"].get<bool>() ? "" : "  NOT INTACT") << "\n";
    }
  } else if (data.contains("devices")) {
    for (const nlohmann::json& device : data["devices"]) {
      out << device["index"].get<int>() << "  " << device["path"].get<std::string>() << "  "
          << device["id"].get<std::string>() << "  " << device["chip"].get<std::string>() << " rev "
          << device["revision"].get<int>() << "  " << device["flash"].get<std::string>() << "  fw "
          << device["firmware_version"].get<std::string>() << "  "
          << device["volumes"].get<std::string>()
          << (device["recovery_pending"].get<bool>() ? "  RECOVERY PENDING" : "")
          << (device["in_use_by"].is_null()
                  ? ""
                  : "  IN USE BY PROCESS " + std::to_string(device["in_use_by"].get<long>()))
          << "\n";
    }
  } else if (data.contains("device") && request.Verb == "info") {
    WriteFields(out, "", data["device"]);
  }
  if (data.contains("auto_backup") && data["auto_backup"].is_object()) {
    out << "backup: " << data["auto_backup"]["file"].get<std::string>() << "\n";
  }
  if (data.contains("comparison")) {
    WriteComparisonText(out, data["comparison"]);
  }
  if (data.contains("run")) {
    for (const nlohmann::json& box : data["run"]["boxes"]) {
      out << "message: " << box.get<std::string>() << "\n";
    }
  }
  std::ostream& to = outcome.Code == ExitCode::Success ? out : err;
  if (!outcome.Message.empty()) {
    to << (outcome.Code == ExitCode::Success ? "" : "q71xfw: ") << outcome.Message << "\n";
  }
}

void WriteJson(std::ostream& out, const VerbRequest& request, const VerbOutcome& outcome,
               const std::optional<HeldStop>& stop = std::nullopt) {
  nlohmann::json document = outcome.Data;
  document["schema"] = kReportSchemaVersion;
  document["program_version"] = Q71X_PROGRAM_VERSION;
  document["verb"] = request.Verb;
  document["exit_code"] = static_cast<int>(outcome.Code);
  document["code"] = ExitCodeName(outcome.Code);
  document["ok"] = outcome.Code == ExitCode::Success;
  document["power_cycle"] = outcome.PowerCycle;
  document["message"] = outcome.Message;
  if (!outcome.Hint.empty()) {
    document["hint"] = outcome.Hint;
  }
  if (stop) {
    // What the run itself ended on stays readable beside the stop.
    document["run_code"] = document["code"];
    document["stopped_by"] = stop->Name;
    document["exit_code"] = stop->ExitCode();
    document["code"] = kStoppedCodeName;
    document["ok"] = false;
  }
  out << JsonText(document, 2) << "\n";
}

// The trace never replaces a file unless asked to: it may be the one a report needs.
std::optional<std::string> TraceWouldReplace(const std::string& trace, bool force) {
  std::error_code error;
  if (trace.empty() || force ||
      !std::filesystem::exists(std::filesystem::symlink_status(PathFromUtf8(trace), error))) {
    return std::nullopt;
  }
  return trace + " exists; give --force to replace it";
}

// Swaps the run's standard error for one of JSON lines, for the life of the scope.
class ErrorAsEvents {
 public:
  ErrorAsEvents(CliEnvironment& env, bool on) : env_(env), raw_(env.Err) {
    if (on && raw_ != nullptr) {
      events_.emplace(*raw_);
      console_.emplace(*events_);
      env_.Err = &*events_;
    }
  }
  ~ErrorAsEvents() {
    console_.reset();
    events_.reset();
    env_.Err = raw_;
  }
  ErrorAsEvents(const ErrorAsEvents&) = delete;
  ErrorAsEvents& operator=(const ErrorAsEvents&) = delete;
  // The platform the run uses: its debug output goes to standard error (into the events when
  // they are on) with -v, and nowhere without.
  Platform& Over(Platform& platform, bool verbose) {
    debug_.emplace(platform, !verbose ? nullptr : events_ ? &*events_ : raw_);
    return *debug_;
  }

 private:
  CliEnvironment& env_;
  std::ostream* raw_;
  std::optional<EventLineStream> events_;
  std::optional<ConsoleLinesAsEvents> console_;
  std::optional<DebugOutputTo> debug_;
};

VerbOutcome UsageRefusal(std::string message) {
  VerbOutcome outcome;
  outcome.Code = ExitCode::Usage;
  outcome.Message = std::move(message);
  return outcome;
}

// Splits the arguments of a verb that takes several devices into its devices and its file;
// a usage problem when they do not add up.
std::optional<std::string> TakeDeviceArguments(VerbRequest& request,
                                               std::vector<std::string> positionals) {
  const VerbSpec& verb = *FindVerb(request.Verb);
  if (!verb.Several) {
    if (request.All) {
      return "--all goes with update, erase, backup and verify";
    }
    return std::nullopt;
  }
  if (verb.File != VerbFile::None) {
    if (positionals.empty()) {
      return verb.File == VerbFile::Image ? "IMAGE is required" : "FILE is required";
    }
    request.File = positionals.back();
    positionals.pop_back();
  }
  if (request.All && !positionals.empty()) {
    return "--all takes no DEVICE: it names every device";
  }
  if (!request.All && positionals.empty()) {
    return "DEVICE is required";
  }
  if (positionals.size() == 1) {
    request.Device = positionals.front();
  } else {
    request.Devices = std::move(positionals);
  }
  return std::nullopt;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, CliEnvironment& env) {
  CLI::App app{
      "Lists QV4071x-family bridges and backs up, checks, updates, erases, verifies and "
      "restores their firmware.",
      "q71xfw"};
  app.set_version_flag("-V,--version", Q71X_PROGRAM_VERSION);
  app.require_subcommand(1);
  // Global options may follow the verb, as scripts tend to write them.
  app.fallthrough();
  GlobalOptions global;
  VerbRequest request;
  app.add_flag("--json", global.Json, "One JSON document on standard output");
  app.add_flag("--yes,-y", request.Yes, "Confirm update, erase and restore without asking");
  app.add_flag("--force", request.Force,
               "Take an image the chip check refuses (with a warning); verify compares it anyway; "
               "with info and --unit, put back a recovery-journal area not proven to be the "
               "device's");
  app.add_option("--unit", request.ForcedUnitId,
                 "With info --force: the device's id (as info and the refusal name it), spelled "
                 "out to put back the recovery journal's area on it");
  app.add_flag("--no-backup", request.NoBackup,
               "No automatic backup before update, erase and restore");
  app.add_option("--flash-part", request.FlashPart, FlashPartHelp())
      ->check(CLI::Range(0, kParallelPartCount - 1));
  app.add_flag("--a1-chip", request.A1Chip,
               "Parallel-flash families: the bridge is an A1 chip, which runs from its ROM (the "
               "window's \"A1 Chip\" box)");
  app.add_flag("--sim", global.Sim, "Work on the simulated enclosures instead of the machine's");
  app.add_option("--state", global.State, "The simulator's state folder (with --sim)");
  app.add_option("--pace", global.Pace, std::string(kPaceOptionHelp) + " (with --sim)")
      ->check([](const std::string& text) {
        return ParsePace(text) ? std::string() : std::string("a number of 0 or more");
      });
  app.add_flag("--progress", global.Progress,
               "With --json: progress events as JSON lines on stderr");
  app.add_option("--trace", global.Trace, "Record every exchange with a device to FILE");
  CLI::Option* verbose =
      app.add_flag("-v,--verbose", global.Verbose,
                   "Debug lines on stderr too: every failed command with its sense, the probes");
  app.add_flag("-q,--quiet", global.Quiet,
               "Nothing on stderr but what went wrong (and a confirmation question)")
      ->excludes(verbose);

  app.add_subcommand("list", "Every bridge with its chip, flash and firmware version");
  app.add_subcommand("backups",
                     "The automatic backups kept, by device, each checked against its "
                     "record");
  CLI::App* info = app.add_subcommand("info", "The chip check's facts for one device");
  CLI::App* check = app.add_subcommand("check",
                                       "Whether an image belongs to the chip; writes "
                                       "nothing");
  CLI::App* backup = app.add_subcommand("backup", "Read the firmware into a new file");
  CLI::App* update = app.add_subcommand("update", "Write an image (after an automatic backup)");
  CLI::App* erase = app.add_subcommand("erase", "Erase the firmware (after an automatic backup)");
  CLI::App* verify = app.add_subcommand(
      "verify", "Whether the device holds what an update with IMAGE leaves; reads only");
  CLI::App* restore = app.add_subcommand(
      "restore",
      "Write a backup of this program back (after an automatic backup); every family: serial "
      "flash, NVRAM, DF, 1394, parallel flash, disk-kept. Refused (4) when the record is missing, "
      "the SHA-256 or size is wrong, or the chip or its update procedure differ");
  app.add_flag("--all", request.All,
               "update, verify: every device the image fits; erase, backup: every device the "
               "chip check takes; all at once, as several DEVICE arguments are");
  for (CLI::App* verb : {info, check, restore}) {
    verb->add_option("DEVICE", request.Device, "List index, device path, unit id or chip name")
        ->required();
  }
  check->add_option("IMAGE", request.File, "Firmware image")->required();
  restore->add_option("BACKUP", request.File,
                      "A backup with its .json record; default: the newest intact automatic "
                      "backup of DEVICE");
  // Several devices run at once; the file, where the verb has one, is the last argument.
  std::vector<std::string> positionals;
  const char* severalHelp =
      "One or more devices (list index, device path, unit id or chip name), run at once";
  for (CLI::App* verb : {update, verify}) {
    verb->add_option("DEVICE...IMAGE", positionals,
                     std::string(severalHelp) + "; then the firmware image");
  }
  backup->add_option("DEVICE...FILE", positionals,
                     std::string(severalHelp) +
                         "; then the new backup file (with several devices, each file is named "
                         "FILE with the device's id before its extension)");
  erase->add_option("DEVICE", positionals, severalHelp);

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    *env.Out << app.help();
    return 0;
  } catch (const CLI::CallForVersion&) {
    *env.Out << Q71X_PROGRAM_VERSION << "\n";
    return 0;
  } catch (const CLI::ParseError& error) {
    VerbOutcome outcome;
    outcome.Code = ExitCode::Usage;
    outcome.Message = UsageProblem(app, args, error);
    if (global.Json) {
      WriteJson(*env.Out, request, outcome);
    } else {
      *env.Err << "q71xfw: " << outcome.Message << "\nRun q71xfw --help for the verbs.\n";
    }
    return static_cast<int>(ExitCode::Usage);
  }
  request.Verb = app.get_subcommands().front()->get_name();
  if (const std::optional<std::string> problem = TakeDeviceArguments(request, positionals)) {
    VerbOutcome outcome = UsageRefusal(*problem);
    if (global.Json) {
      WriteJson(*env.Out, request, outcome);
    } else {
      *env.Err << "q71xfw: " << outcome.Message << "\n";
    }
    return static_cast<int>(ExitCode::Usage);
  }
  const bool several = request.All || request.Devices.size() > 1;

  ErrorAsEvents errorEvents(env, global.Json && global.Progress);
  QuietScope quiet(env, global.Quiet);
  const HeldStopNotice notice([&quiet](const HeldStop& stop) {
    quiet.Errors() << "q71xfw: " << stop.Name
                   << ": the device is being written; stopping once it is safe\n"
                   << std::flush;
  });
  VerbOutcome outcome;
  const std::optional<std::string> traceReplaces = TraceWouldReplace(global.Trace, request.Force);
  RunPlatforms layers(traceReplaces ? std::string() : global.Trace);
  if ((!global.State.empty() || !global.Pace.empty()) && !global.Sim) {
    outcome.Code = ExitCode::Usage;
    outcome.Message = global.State.empty() ? "--pace needs --sim" : "--state needs --sim";
  } else if (several && !global.Trace.empty()) {
    outcome.Code = ExitCode::Usage;
    outcome.Message = "--trace records one device's run; name one device";
  } else if (traceReplaces) {
    outcome.Code = ExitCode::Usage;
    outcome.Message = *traceReplaces;
  } else if (!layers.TraceProblem().empty()) {
    outcome.Code = layers.TraceAccessDenied() ? ExitCode::AccessDenied : ExitCode::Usage;
    outcome.Message = layers.TraceProblem();
  } else {
    std::optional<SimulatedMachine> machine;
    std::unique_ptr<Platform> osPlatform;
    Platform* platform = nullptr;
    if (global.Sim) {
      machine.emplace(global.State, ParsePace(global.Pace).value_or(0), env);
      platform = &machine->ThePlatform();
    } else if (env.OsPlatform) {
      osPlatform = env.OsPlatform();
      platform = osPlatform.get();
    }
    if (platform == nullptr) {
      outcome.Code = ExitCode::Usage;
      outcome.Message = "this build has no device access; use --sim";
    } else {
      const std::unique_ptr<RunProgress> progress =
          MakeRunProgress(global.Json, global.Progress, env);
      const auto moved = [&](std::uint64_t bytes) {
        // Between two commands: where a held stop request is told without splitting a line.
        PollHeldStop();
        if (progress) {
          progress->Moved(bytes);
        }
      };
      ScopedActivePlatform use(errorEvents.Over(layers.Over(*platform, moved), global.Verbose));
      // The simulated machine's journal lives with its memories.
      RecoveryJournal journal(machine ? machine->JournalFolder()
                                      : RecoveryJournal::FolderUnder(env.DataFolder));
      const ScopedUnitLockFolder locks(machine ? machine->LockFolder() : env.LockFolder);
      // The units stay owned until the simulated machine's memories are saved.
      std::vector<UnitOwnership> owned;
      // Another program may have saved a unit between this one's start and its claim. Several
      // device threads catch up one at a time: the state folder's record of its files is shared.
      std::mutex catchingUp;
      const auto catchUp = [&](const std::string& path) {
        const std::lock_guard<std::mutex> one(catchingUp);
        for (const std::string& file : machine->CatchUp(path)) {
          quiet.Errors() << "q71xfw: left out (size does not fit): " << file << "\n";
        }
      };
      if (several) {
        SeveralRunSettings settings;
        settings.Json = global.Json;
        settings.Progress = global.Progress;
        settings.Verbose = global.Verbose;
        settings.Quiet = global.Quiet;
        settings.JournalFolder = UsableJournal(journal) != nullptr ? journal.Folder() : "";
        settings.Machine = machine ? machine->DeviceThreads() : [&env] {
          return std::unique_ptr<DeviceThreadMachine>(
              std::make_unique<OsDeviceThread>(env.OsPlatform()));
        };
        if (machine) {
          settings.OnClaim = catchUp;
        }
        outcome = RunOnSeveral(request, env, journal, settings, owned);
      } else {
        HeadlessSession session(UsableJournal(journal), GuardedRunScopes());
        session.Observe(progress.get());
        if (machine) {
          session.OnClaim(catchUp);
        }
        outcome = RunVerb(session, request, env);
        owned.push_back(session.Close());
      }
      JudgeRefusedOpens(outcome, layers.RefusedPaths(), platform->AccessNotice());
      if (const std::optional<std::string> problem = layers.Finish()) {
        quiet.Errors() << "q71xfw: " << *problem << "\n";
        if (outcome.Code == ExitCode::Success) {
          outcome.Code = ExitCode::OperationFailed;
          outcome.Message = *problem;
        }
      }
      if (machine && env.InspectSimulation) {
        env.InspectSimulation(machine->System());
      }
      if (machine) {
        for (const std::string& file : machine->Save()) {
          quiet.Errors() << "q71xfw: cannot write: " << file << "\n";
        }
      }
    }
  }
  const std::optional<HeldStop> stop = HeldStopRequest();
  if (global.Json) {
    WriteJson(*env.Out, request, outcome, stop);
  } else {
    WriteText(*env.Out, quiet.Errors(), request, outcome);
  }
  if (!outcome.Hint.empty()) {
    quiet.Errors() << "q71xfw: hint: " << outcome.Hint << "\n";
  }
  if (stop) {
    quiet.Errors() << "q71xfw: stopped by " << stop->Name << " after the run ended\n" << std::flush;
    return stop->ExitCode();
  }
  return static_cast<int>(outcome.Code);
}

}  // namespace q71x::cli
