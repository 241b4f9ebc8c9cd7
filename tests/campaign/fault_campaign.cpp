// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/campaign/fault_campaign.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "src/image/sample_image.h"
#include "tests/campaign/campaign_rig.h"
#include "tests/campaign/device_memory.h"
#include "tests/campaign/intended_outcome.h"
#include "tests/campaign/journal_recovery.h"
#include "tests/campaign/outcome_texts.h"
#include "tests/campaign/run_judgement.h"

namespace q71x::campaign {
namespace {

struct CaseFiles {
  std::string Image;
  std::string Backup;
  std::vector<std::uint8_t> ImageBytes;
};

// The image of the device's own chip, as the operator would load it.
bool WriteCaseImage(const CampaignDevice& device, const ChipState& state, CaseFiles& files) {
  SampleImageOptions options;
  options.ChipType = state.ChipType;
  options.ChipRevision = state.ChipRevision;
  options.Size = device.ImageBytes;
  options.NvramBlock = device.ImageHasNvram;
  options.Seed = 97;
  files.ImageBytes = BuildSampleImage(options);
  std::ofstream out(files.Image, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(files.ImageBytes.data()),
            static_cast<std::streamsize>(files.ImageBytes.size()));
  return static_cast<bool>(out);
}

RunInputs InputsOf(const CampaignDevice& device, EngineeringAction action, const CaseFiles& files,
                   const testing::RecordingWindow& window) {
  RunInputs inputs;
  inputs.Device = &device;
  inputs.WhatRuns = action;
  inputs.Image = files.ImageBytes;
  inputs.FirmwareSize = window.settings.FirmwareSize;
  inputs.FlashPageSize = window.settings.FlashPageSize;
  inputs.NvramTicked = window.nvram;
  return inputs;
}

// The configuration area the action keeps, as the fresh device held it; empty when the action
// does not keep one.
std::vector<std::uint8_t> KeptConfig(const CampaignDevice& device, const RunIntent& intent,
                                     const MemorySnapshot& fresh) {
  const ConfigRegion region = ConfigRegionOf(device);
  if (region.Bytes == 0 || device.Memory != MemoryKind::SerialFlash ||
      region.Offset + region.Bytes > fresh.Bytes.size()) {
    return {};
  }
  for (std::uint32_t i = region.Offset; i < region.Offset + region.Bytes; ++i) {
    if (intent.Rules[i] != ByteRule::Exact || intent.Bytes[i] != fresh.Bytes[i]) {
      return {};
    }
  }
  return {fresh.Bytes.begin() + region.Offset, fresh.Bytes.begin() + region.Offset + region.Bytes};
}

bool ConfigStillThere(const CampaignDevice& device, const std::vector<std::uint8_t>& kept,
                      const MemorySnapshot& after) {
  const ConfigRegion region = ConfigRegionOf(device);
  return region.Offset + region.Bytes <= after.Bytes.size() &&
         std::equal(kept.begin(), kept.end(), after.Bytes.begin() + region.Offset);
}

struct Baseline {
  std::vector<TracedCommand> Trace;
  std::string Problem;
  bool ClaimedFalsely = false;
};

Baseline RecordBaseline(const CampaignDevice& device, EngineeringAction action, CaseFiles& files) {
  Baseline baseline;
  CampaignRig rig(device, files.Image, files.Backup);
  if (!rig.Ready()) {
    baseline.Problem = "the device cannot be built";
    return baseline;
  }
  rig.Settle(action);
  if (rig.Dispatched() != device.Run) {
    baseline.Problem = "Run dispatches to \"" + std::string(UpdateProcedureName(rig.Dispatched())) +
                       "\" where the campaign's table names \"" +
                       std::string(UpdateProcedureName(device.Run)) + "\"";
    return baseline;
  }
  if (!WriteCaseImage(device, rig.Window().state, files)) {
    baseline.Problem = "the image file cannot be written";
    return baseline;
  }
  rig.System().Log().Clear();
  const MemorySnapshot before = TakeSnapshot(rig.System(), rig.Path(), device);
  const RunIntent intent = IntendedOutcome(InputsOf(device, action, files, rig.Window()), before);
  const RunRecord record = rig.Run();
  const MemorySnapshot after = TakeSnapshot(rig.System(), rig.Path(), device);
  for (const sim::LoggedCommand& command : rig.System().Log().Entries()) {
    baseline.Trace.push_back(TracedCommand{command.Cdb, command.WireLength});
  }
  const Judgement judgement = JudgeRun(device, action, record, intent, before, after, files.Backup);
  if (!judgement.Claimed) {
    baseline.Problem = "the fault-free run ended on \"" + record.FinalStatus + "\"";
  } else if (!judgement.Breach.empty()) {
    baseline.Problem = "the fault-free run claimed success but " + judgement.Breach;
    baseline.ClaimedFalsely = true;
  }
  return baseline;
}

void Note(CaseReport& report, Verdict verdict, const FaultPlan& plan, const TracedCommand& command,
          const std::string& finalStatus, std::string detail) {
  Problem problem;
  problem.Kind = verdict;
  problem.Faults = plan;
  problem.Cdb = command.Cdb;
  problem.FinalStatus = finalStatus;
  problem.Detail = std::move(detail);
  problem.Known =
      ExplainingFinding(*report.Device, report.WhatRuns, verdict, plan.First.Kind, command.Cdb);
  switch (verdict) {
    case Verdict::FalseSuccess:
      ++report.Counts.FalseSuccesses;
      break;
    case Verdict::UnknownText:
      ++report.Counts.UnknownTexts;
      break;
    case Verdict::Unrecovered:
      ++report.Counts.Unrecovered;
      break;
    case Verdict::AreaLost:
      ++report.Counts.ConfigAreasLost;
      break;
    case Verdict::WrongUnit:
      ++report.Counts.AreasOnWrongUnit;
      break;
    case Verdict::NeverWorks:
      break;
  }
  if (problem.Known != nullptr) {
    ++report.Counts.ExplainedByOpenFindings;
  }
  report.Problems.push_back(std::move(problem));
}

std::string Bytes(const std::vector<std::uint8_t>& bytes, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < std::min(count, bytes.size()); ++i) {
    text += (i > 0 ? " " : "") + HexByte(bytes[i]);
  }
  return text;
}

std::string Printable(const std::string& text) {
  std::string shown;
  for (char c : text) {
    shown += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return shown;
}

// The journal's durable writes wait for the disk at every run; a memory-backed folder, where the
// machine has one, keeps the campaign's time on the procedures.
std::filesystem::path JournalFolderFor(const std::filesystem::path& workDir) {
  const std::filesystem::path memory = "/dev/shm";
  std::error_code error;
  if (std::filesystem::is_directory(memory, error)) {
    return memory / ("q71x-campaign-journal-" + workDir.filename().string());
  }
  return workDir / "journal";
}

// The procedures that keep their configuration area in the journal; only their runs have an entry
// that could land on the wrong unit, so only they get the second enclosure (it costs time).
bool KeepsJournal(const CampaignDevice& device) {
  switch (device.Run) {
    case UpdateProcedure::UpdateSerialFlash:
    case UpdateProcedure::UpdateFlashWithNvram:
    case UpdateProcedure::UpdateDfFlash:
    case UpdateProcedure::UpdateDf2Flash:
      return true;
    default:
      return false;
  }
}

// "fail at command 12", "stuck-busy from command 40 on", "... then unplug at command 90".
std::string DescribeFaults(const FaultPlan& plan) {
  const auto one = [](const PlannedFault& fault) {
    return std::string(FaultName(fault.Kind)) +
           (fault.Persistent ? " from command " : " at command ") + std::to_string(fault.Index) +
           (fault.Persistent ? " on" : "");
  };
  return one(plan.First) + (plan.Second ? ", then " + one(*plan.Second) : std::string());
}

bool Pulls(const FaultPlan& plan) {
  return plan.First.Kind == sim::FaultKind::Unplug ||
         (plan.Second && plan.Second->Kind == sim::FaultKind::Unplug);
}

void CountRun(const FaultPlan& plan, bool fired, Figures& counts) {
  ++counts.Runs;
  if (fired) {
    ++counts.FaultsInjected;
  }
  if (plan.Second) {
    ++counts.DoubleFaultRuns;
  } else {
    ++counts.RunsByKind[static_cast<std::size_t>(plan.First.Kind)];
  }
}

// The faulted run, then what the operator does next on the same machine: plug the enclosure
// back in (a power cycle), let the chip check run, let the journal put back what it kept, and
// Run again. Every run keeps a journal, as the front ends do. The other enclosure of the model is
// checked first after the re-plug, so that an entry taken for it would be written there before
// the device's own recovery could close it.
void RunFaultedCase(const CampaignDevice& device, EngineeringAction action, const CaseFiles& files,
                    const std::filesystem::path& journalFolder, const FaultPlan& plan,
                    const TracedCommand& command, CaseReport& report) {
  CampaignRig rig(device, files.Image, files.Backup);
  const bool keepsJournal = KeepsJournal(device);
  if (keepsJournal) {
    rig.AddTwin();
  }
  rig.Settle(action);
  const MemorySnapshot fresh = TakeSnapshot(rig.System(), rig.Path(), device);
  const RunIntent intent = IntendedOutcome(InputsOf(device, action, files, rig.Window()), fresh);
  FrontEndJournal journal(journalFolder);
  rig.System().Log().Clear();
  std::vector<std::size_t> rules{rig.System().Faults().Arm(RuleFor(plan.First, rig.Path()))};
  if (plan.Second) {
    rules.push_back(rig.System().Faults().Arm(RuleFor(*plan.Second, rig.Path())));
  }
  RunRecord faulted;
  {
    const auto installed =
        journal.Install(JournalDeviceOf(rig.Window().state, rig.Probe(), rig.Path()));
    faulted = rig.Run();
  }
  const MemorySnapshot afterFault = TakeSnapshot(rig.System(), rig.Path(), device);
  CountRun(
      plan,
      std::any_of(rules.begin(), rules.end(),
                  [&rig](std::size_t rule) { return rig.System().Faults().FiredCount(rule) > 0; }),
      report.Counts);

  const Judgement judgement =
      JudgeRun(device, action, faulted, intent, fresh, afterFault, files.Backup);
  if (!judgement.Breach.empty()) {
    Note(report, Verdict::FalseSuccess, plan, command, faulted.FinalStatus, judgement.Breach);
  }
  if (!judgement.TextKnown) {
    Note(report, Verdict::UnknownText, plan, command, faulted.FinalStatus, "");
  }

  rig.System().Faults().Clear();
  rig.PowerCycle();
  if (keepsJournal) {
    const JournalRecovery onTwin = journal.Recover(rig.Window(), rig.CheckTwin(), rig.TwinPath());
    if (onTwin.Restored + onTwin.Failed + onTwin.Refused > 0) {
      Note(report, Verdict::WrongUnit, plan, command, faulted.FinalStatus,
           "an entry of the device waits for the other enclosure of its model");
    }
  }
  rig.Settle(action);
  const JournalRecovery restored = journal.Recover(
      rig.Window(), JournalDeviceOf(rig.Window().state, rig.Probe(), rig.Path()), rig.Path());
  report.Counts.AreasRestoredFromJournal += restored.Restored;
  report.Counts.JournalProblems += restored.Problems;
  if (restored.Failed > 0 || restored.Refused > 0 || restored.Problems > 0) {
    Note(report, Verdict::AreaLost, plan, command, faulted.FinalStatus,
         std::to_string(restored.Failed) + " open journal entries not restored, " +
             std::to_string(restored.Refused) + " refused, " + std::to_string(restored.Problems) +
             " unsound files in the journal folder");
  }
  if (restored.Restored > 0) {
    // The chip check the operator runs next sees the restored area.
    rig.Settle(action);
  }
  const MemorySnapshot beforeRecovery = TakeSnapshot(rig.System(), rig.Path(), device);
  const RunIntent recoveryIntent =
      IntendedOutcome(InputsOf(device, action, files, rig.Window()), beforeRecovery);
  const RunRecord recovery = rig.Run();
  const MemorySnapshot afterRecovery = TakeSnapshot(rig.System(), rig.Path(), device);
  const Judgement recovered = JudgeRun(device, action, recovery, recoveryIntent, beforeRecovery,
                                       afterRecovery, files.Backup);
  if (!recovered.Claimed || !recovered.Breach.empty()) {
    Note(report, Verdict::Unrecovered, plan, command, recovery.FinalStatus,
         recovered.Claimed ? recovered.Breach
                           : "recovery run ended on \"" + recovery.FinalStatus + "\"");
  }

  if (keepsJournal && !rig.TwinUnchanged()) {
    Note(report, Verdict::WrongUnit, plan, command, faulted.FinalStatus,
         "the other enclosure of the model no longer holds what it held");
  }

  const std::vector<std::uint8_t> kept = KeptConfig(device, intent, fresh);
  if (!kept.empty() && recovered.Claimed && !ConfigStillThere(device, kept, afterRecovery)) {
    if (Pulls(plan)) {
      ++report.Counts.ConfigAreasLostToUnplug;
    }
    Note(report, Verdict::AreaLost, plan, command, faulted.FinalStatus,
         "the kept configuration area is not in place after the recovery run");
  }
}

}  // namespace

std::string_view FaultName(sim::FaultKind kind) {
  switch (kind) {
    case sim::FaultKind::Fail:
      return "fail";
    case sim::FaultKind::Short:
      return "short";
    case sim::FaultKind::Garbage:
      return "garbage";
    case sim::FaultKind::Timeout:
      return "time-out";
    case sim::FaultKind::Unplug:
      return "unplug";
    case sim::FaultKind::ErrorCode:
      return "error-code";
    case sim::FaultKind::StuckBusy:
      return "stuck-busy";
    case sim::FaultKind::CheckCondition:
      return "check-condition";
    case sim::FaultKind::ShortBy:
      return "short-by-k";
    case sim::FaultKind::GarbageField:
      return "garbage-field";
    case sim::FaultKind::IdenticalGarble:
      return "identical-garble";
  }
  return "";
}

Figures& Figures::operator+=(const Figures& other) {
  Runs += other.Runs;
  FaultsInjected += other.FaultsInjected;
  for (std::size_t i = 0; i < kFaultKinds; ++i) {
    RunsByKind[i] += other.RunsByKind[i];
  }
  DoubleFaultRuns += other.DoubleFaultRuns;
  FalseSuccesses += other.FalseSuccesses;
  UnknownTexts += other.UnknownTexts;
  Unrecovered += other.Unrecovered;
  ConfigAreasLost += other.ConfigAreasLost;
  ConfigAreasLostToUnplug += other.ConfigAreasLostToUnplug;
  AreasRestoredFromJournal += other.AreasRestoredFromJournal;
  JournalProblems += other.JournalProblems;
  AreasOnWrongUnit += other.AreasOnWrongUnit;
  ExplainedByOpenFindings += other.ExplainedByOpenFindings;
  return *this;
}

CaseReport RunCampaignCase(const CampaignDevice& device, EngineeringAction action,
                           const CampaignOptions& options, const std::filesystem::path& workDir) {
  CaseReport report;
  report.Device = &device;
  report.WhatRuns = action;
  CaseFiles files;
  files.Image = (workDir / "image.bin").string();
  files.Backup = (workDir / "backup.bin").string();

  const Baseline baseline = RecordBaseline(device, action, files);
  report.TraceLength = baseline.Trace.size();
  report.BaselineProblem = baseline.Problem;
  report.BaselineClaimedFalsely = baseline.ClaimedFalsely;
  if (!baseline.Problem.empty()) {
    if (!baseline.ClaimedFalsely) {
      report.BaselineFinding = ExplainingBaselineFinding(device, action);
    }
    return report;
  }
  const std::filesystem::path journalFolder = JournalFolderFor(workDir);
  for (const FaultPlan& plan : PlanFaults(device, action, baseline.Trace, options)) {
    RunFaultedCase(device, action, files, journalFolder, plan, baseline.Trace[plan.First.Index - 1],
                   report);
  }
  std::error_code ignored;
  std::filesystem::remove_all(journalFolder, ignored);
  return report;
}

std::size_t UnexplainedProblems(const CaseReport& report) {
  return static_cast<std::size_t>(
      std::count_if(report.Problems.begin(), report.Problems.end(),
                    [](const Problem& problem) { return problem.Known == nullptr; }));
}

std::string DescribeProblem(const CaseReport& report, const Problem& problem) {
  std::ostringstream out;
  out << UpdateProcedureName(report.Device->Run) << " " << EngineeringActionName(report.WhatRuns)
      << " on " << report.Device->Key << ": " << VerdictName(problem.Kind) << ", "
      << DescribeFaults(problem.Faults) << " [" << Bytes(problem.Cdb, 12) << "], ended on \""
      << Printable(problem.FinalStatus) << "\"";
  if (!problem.Detail.empty()) {
    out << ": " << problem.Detail;
  }
  if (problem.Known != nullptr) {
    out << " (open finding " << problem.Known->Id << ")";
  }
  return out.str();
}

std::string FormatFigures(const Figures& figures) {
  std::ostringstream out;
  out << "runs " << figures.Runs << ", faults injected " << figures.FaultsInjected;
  for (const sim::FaultKind kind : kCampaignFaults) {
    out << ", " << FaultName(kind) << " " << figures.RunsByKind[static_cast<std::size_t>(kind)];
  }
  for (const sim::FaultKind kind : kPersistentFaults) {
    out << ", persistent " << FaultName(kind) << " "
        << figures.RunsByKind[static_cast<std::size_t>(kind)];
  }
  out << ", double faults " << figures.DoubleFaultRuns << ", false successes "
      << figures.FalseSuccesses << ", crashes 0"
      << ", unrecovered devices " << figures.Unrecovered << ", unknown texts "
      << figures.UnknownTexts << ", configuration areas lost " << figures.ConfigAreasLost
      << ", of them after a pull " << figures.ConfigAreasLostToUnplug
      << ", areas restored from the journal " << figures.AreasRestoredFromJournal
      << ", unsound journal files " << figures.JournalProblems << ", areas on the wrong unit "
      << figures.AreasOnWrongUnit << ", explained by open findings "
      << figures.ExplainedByOpenFindings;
  return out.str();
}

}  // namespace q71x::campaign
