// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/campaign/cli_run_campaign.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>

#include "sim/simulated_system.h"
#include "src/app/cli/run_guard.h"
#include "src/host/utf8_path.h"
#include "src/simhost/sim_state_folder.h"
#include "tests/campaign/fault_campaign.h"
#include "tests/campaign/open_findings.h"
#include "tests/cli/cli_rig.h"

namespace q71x::campaign {
namespace {

namespace fs = std::filesystem;
using Memory = std::vector<std::uint8_t>;

// The journal proves a unit by its serial number (its GUID on 1394); without one nothing goes
// back by itself.
std::string UnitSerialOf(const CampaignDevice& device) {
  return std::string(device.Key).find("1394") != std::string::npos ? "0030e0f4c5a1c0de"
                                                                   : "QVCAMPAIGN71";
}

// A text member of a document that may be missing or not an object.
std::string TextOf(const nlohmann::json& document, const char* member) {
  if (!document.is_object() || !document.contains(member) || !document[member].is_string()) {
    return {};
  }
  return document[member].get<std::string>();
}

nlohmann::json BackupOf(const nlohmann::json& document) {
  return document.is_object() && document.contains("auto_backup") ? document.at("auto_backup")
                                                                  : nlohmann::json();
}

const char* MemoryFileOf(const CampaignDevice& device) {
  switch (device.Memory) {
    case MemoryKind::SerialFlash:
      return kFlashFileName;
    case MemoryKind::ParallelFlash:
      return kParallelFlashFileName;
    case MemoryKind::Disk:
      return kDiskAreaFileName;
  }
  return kFlashFileName;
}

// One device of the demo machine, alone on it, with what a fault-free update does to it.
class CliCase {
 public:
  explicit CliCase(const CampaignDevice& device) : device_(device) {
    rig_.Plugged = {device.Key};
    rig_.Identify(device.Key, UnitSerialOf(device));
    path_ = rig_.PathOf(device.Key);
    image_ = rig_.ImageOf(device.Key);
    if (path_.empty()) {
      problem_ = "the demo machine has no device " + std::string(device.Key);
      return;
    }
    pristine_ = rig_.Memories(path_);
    RecordFaultFreeUpdate();
  }

  const std::string& Problem() const { return problem_; }
  const std::vector<TracedCommand>& Trace() const { return trace_; }
  const std::string& Path() const { return path_; }
  testing::CliRig& Rig() { return rig_; }

  // Puts the enclosure's memories back as they were before the first update, with no journal
  // entry and no backup left from an earlier run.
  void Reset() {
    const fs::path folder = SimStateFolder(rig_.State).EnclosureFolder(path_);
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (pristine_.count(entry.path().filename().string()) == 0) {
        fs::remove(entry.path());
      }
    }
    for (const auto& [name, bytes] : pristine_) {
      testing::WriteFileBytes(folder / name, bytes);
    }
    std::error_code ignored;
    fs::remove_all(rig_.State / "journal", ignored);
    fs::remove_all(rig_.BackupFolder(), ignored);
  }

  std::vector<std::string> UpdateArgs(std::vector<std::string> options) const {
    options.insert(options.end(), {"--yes", "update", path_, image_});
    return options;
  }

  Memory Now() const { return rig_.Memory(path_, MemoryFileOf(device_)); }
  bool Untouched(const Memory& memory) const {
    const auto found = pristine_.find(MemoryFileOf(device_));
    return found != pristine_.end() && memory == found->second;
  }
  bool Updated(const Memory& memory) const { return memory == updated_; }

  // The journal's recovery, as the operator runs it after a stopped or failed update.
  void RecoverFromJournal(CliFigures& figures) {
    const testing::CliRun info = rig_.Json({"--yes", "info", path_});
    if (TextOf(info.Json, "message") == "Write NVRAM back from journal Success!!") {
      ++figures.AreasRestoredFromJournal;
    }
  }

  // Whether `restore` of a backup the run claimed gives back the memory it was read from.
  std::string RestoreProblem(const nlohmann::json& backup) {
    const std::string file = TextOf(backup, "file");
    const testing::CliRun restore = rig_.Json({"--yes", "--no-backup", "restore", path_, file});
    if (restore.Code != 0) {
      return "restore of the claimed backup ended on \"" + TextOf(restore.Json, "message") + "\"";
    }
    const Memory before = pristine_.at(MemoryFileOf(device_));
    const Memory after = Now();
    const auto offset = backup.value<std::uint64_t>("offset", 0);
    const auto end = std::min<std::uint64_t>(offset + backup.value<std::uint64_t>("size", 0),
                                             std::min(before.size(), after.size()));
    for (std::uint64_t address = offset; address < end; ++address) {
      if (before[address] != after[address]) {
        std::ostringstream out;
        out << "the restored backup leaves 0x" << std::hex << address << " different";
        return out.str();
      }
    }
    return {};
  }

  // A fault-free update after everything else completes over the memory it always leaves.
  bool CompletesAnUpdate() {
    return rig_.Json(UpdateArgs({"--no-backup"})).Code == 0 && Updated(Now());
  }

 private:
  void RecordFaultFreeUpdate() {
    rig_.Inspect = [this](sim::SimulatedSystem& system) {
      for (const sim::LoggedCommand* command : system.Log().ForPath(path_)) {
        trace_.push_back(TracedCommand{command->Cdb, command->WireLength});
      }
    };
    const testing::CliRun run = rig_.Json(UpdateArgs({}));
    rig_.Inspect = nullptr;
    updated_ = Now();
    if (run.Code != 0 || Untouched(updated_)) {
      problem_ = "the fault-free update ended on \"" + TextOf(run.Json, "message") + "\"";
      return;
    }
    // The judge of every claimed backup must hold for the fault-free one.
    if (const std::string restore = RestoreProblem(BackupOf(run.Json)); !restore.empty()) {
      problem_ = "fault-free: " + restore;
    }
    Reset();
  }

  const CampaignDevice& device_;
  testing::CliRig rig_;
  std::string path_;
  std::string image_;
  std::map<std::string, Memory> pristine_;
  Memory updated_;
  std::vector<TracedCommand> trace_;
  std::string problem_;
};

// Every run of the command line loads and saves the whole state folder, which costs far more than
// a procedure: with a cap, that many indices spread evenly over the trace (the chip check, the
// backup, the erase, the programming and the verify each get some), without one the campaign's
// own sampling.
std::vector<std::size_t> CliIndices(std::size_t traceLength, const CampaignOptions& options) {
  if (options.MaxIndices == 0 || traceLength == 0) {
    return SampledIndices(traceLength, options);
  }
  std::vector<std::size_t> indices;
  for (std::size_t i = 0; i < options.MaxIndices; ++i) {
    const std::size_t index = 1 + (2 * i + 1) * traceLength / (2 * options.MaxIndices);
    if (index <= traceLength && (indices.empty() || indices.back() != index)) {
      indices.push_back(index);
    }
  }
  return indices;
}

void Report(CliFigures& figures, std::uint64_t& count, const std::string& what,
            const std::string& detail, const OpenFinding* known = nullptr) {
  ++count;
  if (known == nullptr) {
    figures.Problems.push_back(what + ": " + detail);
    return;
  }
  ++figures.ExplainedByOpenFindings;
  figures.Explained.push_back(what + ": " + detail + " (open finding " + std::string(known->Id) +
                              ")");
}

std::string FaultText(const PlannedFault& fault, const TracedCommand& command) {
  char cdb[64] = "";
  for (std::size_t i = 0; i < std::min<std::size_t>(command.Cdb.size(), 6); ++i) {
    std::snprintf(cdb + 3 * i, sizeof cdb - 3 * i, "%02X ", command.Cdb[i]);
  }
  return std::string(FaultName(fault.Kind)) + (fault.Persistent ? " from" : " at") + " command " +
         std::to_string(fault.Index) + " [" + cdb + "]";
}

void RunFaulted(const CampaignDevice& device, CliCase& c, const PlannedFault& fault,
                CliFigures& figures) {
  c.Reset();
  std::size_t rule = 0;
  bool fired = false;
  c.Rig().Prepare = [&](sim::SimulatedSystem& system) {
    rule = system.Faults().Arm(RuleFor(fault, c.Path()));
  };
  c.Rig().Inspect = [&](sim::SimulatedSystem& system) {
    fired = system.Faults().FiredCount(rule) > 0;
  };
  const testing::CliRun run = c.Rig().Json(c.UpdateArgs({}));
  c.Rig().Prepare = nullptr;
  c.Rig().Inspect = nullptr;
  ++figures.Runs;
  figures.FaultsFired += fired ? 1 : 0;
  const TracedCommand& command = c.Trace()[fault.Index - 1];
  const std::string what = FaultText(fault, command);
  // The verb's claims are the procedure's: the update's, and the backup action's for its backup.
  const auto known = [&](EngineeringAction action, Verdict verdict) {
    return ExplainingFinding(device, action, verdict, fault.Kind, command.Cdb);
  };
  if (run.Code == 0 && !c.Updated(c.Now())) {
    Report(figures, figures.FalseSuccesses, what, "exit 0 over memory the update does not leave",
           known(EngineeringAction::Update, Verdict::FalseSuccess));
  }
  c.RecoverFromJournal(figures);
  const nlohmann::json backup = BackupOf(run.Json);
  // A wrong backup that was restored leaves its wrong bytes to everything after it.
  const OpenFinding* badBackup = nullptr;
  if (backup.is_object() && backup.value("proven", false)) {
    ++figures.BackupsClaimed;
    if (const std::string problem = c.RestoreProblem(backup); !problem.empty()) {
      badBackup = known(EngineeringAction::BackupOnly, Verdict::FalseSuccess);
      Report(figures, figures.BackupsThatDoNotRestore, what, problem, badBackup);
    } else {
      ++figures.BackupsRestored;
    }
  }
  if (!c.CompletesAnUpdate()) {
    Report(figures, figures.Unrecovered, what, "no fault-free update completes afterwards",
           badBackup);
  }
}

struct StoppedRun {
  int ExitCode = -1;  // 128 + the signal's number when a signal ended the process
  bool Reached = false;
  nlohmann::json Document;  // null when the process wrote none
};

// The child's side: q71xfw's signal handling, standard error on a pipe that nobody reads until
// the stop closes it, the stop at the index-th command sent to the device.
[[noreturn]] void RunChild(CliCase& c, CliStop stop, std::size_t index, const fs::path& document,
                           const fs::path& reached) {
  // The test may run where SIGINT is ignored (started in the background by a script), which
  // q71xfw keeps as it finds it: the child starts as a shell starts a program in the foreground.
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGPIPE, SIG_DFL);
  cli::InstallRunGuard();
  int err[2];
  if (::pipe(err) != 0) {
    ::_exit(120);
  }
  // Room for every progress event of a run, so that the unread pipe never blocks the writer.
  ::fcntl(err[1], F_SETPIPE_SZ, 1 << 20);
  ::dup2(err[1], 2);
  ::close(err[1]);
  const int reader = err[0];
  std::size_t seen = 0;
  c.Rig().ErrStream = &std::cerr;
  c.Rig().Prepare = [&](sim::SimulatedSystem& system) {
    system.SetBeforeCommand([&](const std::string& path) {
      if (path != c.Path() || ++seen != index) {
        return;
      }
      testing::WriteFileBytes(reached, {1});
      if (stop == CliStop::Interrupt) {
        std::raise(SIGINT);
      } else {
        ::close(reader);
      }
    });
  };
  const testing::CliRun run = c.Rig().Text(c.UpdateArgs({"--json", "--progress"}));
  testing::WriteFileBytes(document, std::vector<std::uint8_t>(run.Out.begin(), run.Out.end()));
  std::cerr.flush();
  ::_exit(run.Code);
}

StoppedRun RunStopped(CliCase& c, CliStop stop, std::size_t index, const fs::path& work) {
  const fs::path document = work / "document.json";
  const fs::path reached = work / "reached";
  std::error_code ignored;
  fs::remove(document, ignored);
  fs::remove(reached, ignored);
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    RunChild(c, stop, index, document, reached);
  }
  StoppedRun run;
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) {
    return run;
  }
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.Reached = fs::exists(reached, ignored);
  if (fs::exists(document, ignored)) {
    const std::vector<std::uint8_t> text = testing::ReadFileBytes(document);
    run.Document = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
  }
  return run;
}

// What the documentation promises of a stop at a command: SIGINT ends the program with 130,
// at once before the run changes the device (no document) or after the run (the document's code
// "stopped", the run's own "ok"); a closed pipe changes nothing (exit 0, "ok").
std::string ExitProblem(CliStop stop, const StoppedRun& run) {
  const int expected = stop == CliStop::Interrupt ? 130 : 0;
  if (run.ExitCode != expected) {
    return "exit " + std::to_string(run.ExitCode) + ", documented " + std::to_string(expected);
  }
  if (stop == CliStop::ClosedPipe && TextOf(run.Document, "code") != "ok") {
    return "the document's code is \"" + TextOf(run.Document, "code") + "\"";
  }
  if (stop == CliStop::Interrupt && run.Document.is_object() &&
      (TextOf(run.Document, "code") != "stopped" || TextOf(run.Document, "run_code") != "ok")) {
    return "the document says \"" + TextOf(run.Document, "code") + "\", run \"" +
           TextOf(run.Document, "run_code") + "\"";
  }
  return {};
}

}  // namespace

CliFigures& CliFigures::operator+=(const CliFigures& other) {
  Runs += other.Runs;
  FaultsFired += other.FaultsFired;
  BackupsClaimed += other.BackupsClaimed;
  BackupsRestored += other.BackupsRestored;
  StoppedAfterRun += other.StoppedAfterRun;
  AreasRestoredFromJournal += other.AreasRestoredFromJournal;
  FalseSuccesses += other.FalseSuccesses;
  BackupsThatDoNotRestore += other.BackupsThatDoNotRestore;
  Unrecovered += other.Unrecovered;
  WrongExits += other.WrongExits;
  ExplainedByOpenFindings += other.ExplainedByOpenFindings;
  Problems.insert(Problems.end(), other.Problems.begin(), other.Problems.end());
  Explained.insert(Explained.end(), other.Explained.begin(), other.Explained.end());
  return *this;
}

CliFigures RunCliFaultCase(const CampaignDevice& device, const CampaignOptions& options) {
  CliFigures figures;
  CliCase c(device);
  if (!c.Problem().empty()) {
    figures.Problems.push_back(c.Problem());
    return figures;
  }
  // Every plan of every index, then those of the chosen indices.
  CampaignOptions every;
  const std::vector<std::size_t> indices = CliIndices(c.Trace().size(), options);
  for (const FaultPlan& plan : PlanFaults(device, EngineeringAction::Update, c.Trace(), every)) {
    if (std::binary_search(indices.begin(), indices.end(), plan.First.Index)) {
      RunFaulted(device, c, plan.First, figures);
    }
  }
  return figures;
}

CliFigures RunCliStopCase(const CampaignDevice& device, CliStop stop,
                          const CampaignOptions& options) {
  CliFigures figures;
  CliCase c(device);
  if (!c.Problem().empty()) {
    figures.Problems.push_back(c.Problem());
    return figures;
  }
  const std::string name = stop == CliStop::Interrupt ? "SIGINT" : "closed pipe";
  for (const std::size_t index : CliIndices(c.Trace().size(), options)) {
    c.Reset();
    const StoppedRun run = RunStopped(c, stop, index, c.Rig().Dir.path());
    const std::string what = name + " at command " + std::to_string(index);
    ++figures.Runs;
    figures.FaultsFired += run.Reached ? 1 : 0;
    figures.StoppedAfterRun += TextOf(run.Document, "code") == "stopped" ? 1 : 0;
    if (const std::string problem = ExitProblem(stop, run); !problem.empty()) {
      Report(figures, figures.WrongExits, what, problem);
    }
    // Killed before it changed anything, or the run went to its end: never half of each.
    c.RecoverFromJournal(figures);
    const Memory after = c.Now();
    if (!c.Updated(after) && !(c.Untouched(after) && !run.Document.is_object())) {
      Report(figures, figures.Unrecovered, what,
             "after the journal's recovery the device holds neither the old nor the new firmware");
    } else if (!c.Updated(after) && !c.CompletesAnUpdate()) {
      Report(figures, figures.Unrecovered, what, "no fault-free update completes afterwards");
    }
  }
  return figures;
}

std::string FormatCliFigures(const CliFigures& figures) {
  std::ostringstream out;
  out << "runs " << figures.Runs << ", faults injected " << figures.FaultsFired
      << ", backups claimed " << figures.BackupsClaimed << ", backups restored "
      << figures.BackupsRestored << ", stops held to the end of the run " << figures.StoppedAfterRun
      << ", areas restored from the journal " << figures.AreasRestoredFromJournal
      << ", false successes " << figures.FalseSuccesses << ", backups that do not restore "
      << figures.BackupsThatDoNotRestore << ", unrecovered devices " << figures.Unrecovered
      << ", wrong exits " << figures.WrongExits << ", explained by open findings "
      << figures.ExplainedByOpenFindings;
  return out.str();
}

}  // namespace q71x::campaign
