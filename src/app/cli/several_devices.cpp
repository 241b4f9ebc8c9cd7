// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/several_devices.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <sstream>
#include <thread>

#include "src/app/cli/access_verdict.h"
#include "src/app/cli/device_choice.h"
#include "src/app/cli/device_lines.h"
#include "src/app/cli/error_events.h"
#include "src/app/cli/run_guard.h"
#include "src/app/cli/run_platforms.h"
#include "src/app/cli/run_progress.h"
#include "src/app/cli/run_summary.h"
#include "src/app/cli/verb_steps.h"
#include "src/host/thread_seams.h"
#include "src/host/utf8_path.h"
#include "src/update/journal/recovery_journal.h"

namespace q71x::cli {
namespace {

// Whether the verb takes the checked device under --all: the image fits its chip (update,
// verify), or the chip check found a procedure for it (erase, backup). Empty when it does.
std::string NotTaken(HeadlessSession& session, const VerbRequest& request,
                     const DeviceFacts& device) {
  if (FindVerb(request.Verb)->File == VerbFile::Image) {
    const VerbOutcome check = CheckImage(session, request, device);
    return check.Code == ExitCode::Success ? std::string() : check.Message;
  }
  return device.Procedure != UpdateProcedure::None
             ? std::string()
             : "the chip check found no procedure for " +
                   (device.Chip.empty() ? std::string("this device") : device.Chip);
}

// The procedures' console lines of this thread: to the device's lines, or nowhere with -q.
class ThreadConsoleLines {
 public:
  ThreadConsoleLines(std::ostream& lines, const SeveralRunSettings& settings) {
    if (settings.Json) {
      events_.emplace(lines);
    } else {
      previous_ = SetConsoleLineSink([&lines, quiet = settings.Quiet](std::string_view line) {
        if (!quiet) {
          lines << std::string(line) << (line.ends_with('\n') ? "" : "\n") << std::flush;
        }
      });
    }
  }
  ~ThreadConsoleLines() {
    if (!events_) {
      SetConsoleLineSink(std::move(previous_));
    }
  }
  ThreadConsoleLines(const ThreadConsoleLines&) = delete;
  ThreadConsoleLines& operator=(const ThreadConsoleLines&) = delete;

 private:
  std::optional<ConsoleLinesAsEvents> events_;
  ConsoleLineSink previous_;
};

std::unique_ptr<RunProgress> DeviceProgress(std::ostream& lines, const CliEnvironment& env,
                                            const SeveralRunSettings& settings) {
  if (settings.Json) {
    return settings.Progress ? std::make_unique<RunProgress>(MakeJsonLines(lines), env.SteadyMs)
                             : nullptr;
  }
  return settings.Quiet ? nullptr
                        : std::make_unique<RunProgress>(MakeStepLines(lines), env.SteadyMs);
}

void RunOnDevice(DeviceRun& run, VerbRequest request, const CliEnvironment& base,
                 SharedLines& shared, const SeveralRunSettings& settings) {
  const OwnSeamsOnThisThread own;
  DeviceLines lines(shared, run.Target.Index);
  std::ostringstream unused;
  CliEnvironment env = base;
  env.Out = &unused;
  env.Err = &lines;
  env.Ask = nullptr;
  env.In = nullptr;
  env.Terminal = false;
  env.ErrTerminal = false;
  const ThreadConsoleLines console(lines, settings);
  const std::unique_ptr<DeviceThreadMachine> machine = settings.Machine();
  const std::unique_ptr<RunProgress> progress = DeviceProgress(lines, env, settings);
  RunPlatforms layers{std::string()};
  const auto moved = [&progress](std::uint64_t bytes) {
    PollHeldStop();
    if (progress) {
      progress->Moved(bytes);
    }
  };
  DebugOutputTo debug(layers.Over(machine->ThePlatform(), moved),
                      settings.Verbose ? &lines : nullptr);
  const ScopedActivePlatform use(debug);
  RecoveryJournal journal(settings.JournalFolder);
  {
    HeadlessSession session(UsableJournal(journal), GuardedRunScopes());
    session.Observe(progress.get());
    if (settings.OnClaim) {
      session.OnClaim(settings.OnClaim);
    }
    request.Device = run.Target.Path;
    const ChosenDevice chosen = ChooseAndClaim(session, request);
    if (!chosen.Device) {
      run.Outcome = chosen.Refusal;
      // Another program's bridge is not one of "all"; a named one is a failure.
      run.Skipped = request.All && run.Outcome.Code == ExitCode::InUse;
    } else {
      run.Id = UnitId(chosen.Device->Unit);
      lines.SetId(run.Id);
      const std::string notTaken = request.All ? NotTaken(session, request, *chosen.Device) : "";
      if (!notTaken.empty()) {
        run.Skipped = true;
        run.Outcome.Message = "not taken: " + notTaken;
      } else {
        if (FindVerb(request.Verb)->File == VerbFile::NewBackup) {
          request.File = BackupFileOf(request.File, run.Id);
        }
        run.Outcome = RunVerbOn(session, request, env, *chosen.Device);
      }
    }
    run.Owned = session.Close();
  }
  JudgeRefusedOpens(run.Outcome, layers.RefusedPaths(), machine->ThePlatform().AccessNotice());
}

}  // namespace

DeviceTargets ChooseDeviceTargets(HeadlessSession& session, const VerbRequest& request) {
  DeviceTargets targets;
  if (request.All) {
    for (int i = 0; i < session.DeviceCount(); ++i) {
      targets.Devices.push_back({i, session.PathOf(i)});
    }
    if (targets.Devices.empty()) {
      targets.Refusal = Fail(ExitCode::NoSuchDevice, "no device found");
    }
    return targets;
  }
  for (const std::string& name : request.Devices) {
    const DeviceChoice choice = ChooseDevice(session, name);
    if (choice.Index < 0) {
      targets.Refusal = Fail(choice.Error, choice.Message);
      return targets;
    }
    const bool twice =
        std::any_of(targets.Devices.begin(), targets.Devices.end(),
                    [&choice](const DeviceTarget& taken) { return taken.Index == choice.Index; });
    if (twice) {
      targets.Refusal =
          Fail(ExitCode::Usage, name + " names device " + std::to_string(choice.Index) +
                                    " a second time; name each device once");
      return targets;
    }
    targets.Devices.push_back({choice.Index, session.PathOf(choice.Index)});
  }
  return targets;
}

std::vector<DeviceRun> RunSideBySide(const std::vector<DeviceTarget>& targets,
                                     const VerbRequest& request, const CliEnvironment& env,
                                     const SeveralRunSettings& settings) {
  std::vector<DeviceRun> runs(targets.size());
  SharedLines shared(*env.Err, settings.Json);
  std::vector<std::thread> threads;
  threads.reserve(targets.size());
  for (std::size_t i = 0; i < targets.size(); ++i) {
    runs[i].Target = targets[i];
    threads.emplace_back([&run = runs[i], &request, &env, &shared, &settings] {
      try {
        RunOnDevice(run, request, env, shared, settings);
      } catch (const std::exception& error) {
        // Nothing of ours throws across a module; whatever did is this device's failure alone.
        run.Outcome = Fail(ExitCode::OperationFailed, std::string("stopped: ") + error.what());
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  return runs;
}

VerbOutcome RunOnSeveral(const VerbRequest& request, CliEnvironment& env, RecoveryJournal& journal,
                         const SeveralRunSettings& settings, std::vector<UnitOwnership>& owned) {
  const VerbSpec& verb = *FindVerb(request.Verb);
  if (verb.File == VerbFile::Image) {
    if (auto refusal = CheckReadable(request.File)) {
      return *refusal;
    }
  }
  DeviceTargets targets;
  {
    // Named before any device's thread starts: naming by id or chip runs the chip check, which
    // must not meet another thread's run.
    HeadlessSession session(UsableJournal(journal), GuardedRunScopes());
    targets = ChooseDeviceTargets(session, request);
  }
  if (targets.Refusal) {
    return *targets.Refusal;
  }
  VerbRequest each = request;
  if (verb.Writes) {
    std::string named;
    for (const DeviceTarget& target : targets.Devices) {
      named += (named.empty() ? "" : ", ") + std::to_string(target.Index);
    }
    std::string question = std::string(verb.Name) + " " +
                           (request.All ? "every device the chip check takes of " : "") +
                           std::to_string(targets.Devices.size()) + " device(s) (" + named + ")" +
                           (request.File.empty() ? "" : " with " + request.File) + "?";
    question[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(question[0])));
    if (!Confirmed(question, request, env)) {
      return NotConfirmed(env);
    }
    each.Yes = true;
  }
  std::vector<DeviceRun> runs = RunSideBySide(targets.Devices, each, env, settings);
  for (DeviceRun& run : runs) {
    owned.push_back(std::move(run.Owned));
  }
  return SummaryOf(runs);
}

std::string BackupFileOf(const std::string& file, const std::string& unitId) {
  std::string id = unitId;
  std::replace(id.begin(), id.end(), '/', '_');
  const std::filesystem::path path = PathFromUtf8(file);
  std::filesystem::path named = path;
  named.replace_filename(
      PathFromUtf8(PathToUtf8(path.stem()) + "-" + id + PathToUtf8(path.extension())));
  return PathToUtf8(named);
}

}  // namespace q71x::cli
