#include "tests/campaign/fault_campaign.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "src/image/sample_image.h"
#include "tests/campaign/campaign_rig.h"
#include "tests/campaign/device_memory.h"
#include "tests/campaign/intended_outcome.h"
#include "tests/campaign/outcome_texts.h"
#include "tests/campaign/run_judgement.h"

namespace q71x::campaign {
namespace {

struct TracedCommand {
  std::vector<std::uint8_t> Cdb;
  std::uint32_t WireLength = 0;
};

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

bool FaultApplies(sim::FaultKind kind, const TracedCommand& command) {
  const bool dataPhase = command.WireLength > 0;
  return (kind != sim::FaultKind::Short && kind != sim::FaultKind::Garbage) || dataPhase;
}

sim::FaultRule RuleFor(sim::FaultKind kind, std::size_t index, const TracedCommand& command,
                       const std::string& path) {
  sim::FaultRule rule;
  rule.Nth = static_cast<int>(index);
  rule.Times = 1;
  rule.Path = path;
  rule.Kind = kind;
  // Half the data moves on a short answer; garbage is seeded by the index, so each case is
  // replayed exactly.
  rule.Value = kind == sim::FaultKind::Short ? command.WireLength / 2
                                             : static_cast<std::uint32_t>(index * 7919u);
  return rule;
}

void Note(CaseReport& report, Verdict verdict, sim::FaultKind fault, std::size_t index,
          const TracedCommand& command, const std::string& finalStatus, std::string detail) {
  Problem problem;
  problem.Kind = verdict;
  problem.Fault = fault;
  problem.Index = index;
  problem.Cdb = command.Cdb;
  problem.FinalStatus = finalStatus;
  problem.Detail = std::move(detail);
  problem.Known = ExplainingFinding(*report.Device, report.WhatRuns, verdict, fault, command.Cdb);
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

// Opt-in (Q71X_CAMPAIGN_DETAIL set): one line for each run that lost the kept area, naming what
// was injected where, so a loss can be replayed alone.
void ReportLostArea(const CampaignDevice& device, EngineeringAction action, sim::FaultKind fault,
                    std::size_t index, const TracedCommand& command,
                    const std::string& finalStatus) {
  if (std::getenv("Q71X_CAMPAIGN_DETAIL") == nullptr) {
    return;
  }
  std::printf("configuration area lost: %s %s on %s, %s at command %zu [%s], ended on \"%s\"\n",
              std::string(UpdateProcedureName(device.Run)).c_str(),
              std::string(EngineeringActionName(action)).c_str(), device.Key,
              std::string(FaultName(fault)).c_str(), index, Bytes(command.Cdb, 12).c_str(),
              Printable(finalStatus).c_str());
}

// The faulted run with its fault at command k, then the recovery run on the same machine.
void RunFaultedCase(const CampaignDevice& device, EngineeringAction action, const CaseFiles& files,
                    sim::FaultKind fault, std::size_t index, const TracedCommand& command,
                    CaseReport& report) {
  CampaignRig rig(device, files.Image, files.Backup);
  rig.Settle(action);
  const MemorySnapshot fresh = TakeSnapshot(rig.System(), rig.Path(), device);
  const RunIntent intent = IntendedOutcome(InputsOf(device, action, files, rig.Window()), fresh);
  rig.System().Log().Clear();
  const std::size_t rule = rig.System().Faults().Arm(RuleFor(fault, index, command, rig.Path()));
  const RunRecord faulted = rig.Run();
  const MemorySnapshot afterFault = TakeSnapshot(rig.System(), rig.Path(), device);
  ++report.Counts.Runs;
  if (rig.System().Faults().FiredCount(rule) > 0) {
    ++report.Counts.FaultsInjected;
  }

  const Judgement judgement =
      JudgeRun(device, action, faulted, intent, fresh, afterFault, files.Backup);
  if (!judgement.Breach.empty()) {
    Note(report, Verdict::FalseSuccess, fault, index, command, faulted.FinalStatus,
         judgement.Breach);
  }
  if (!judgement.TextKnown) {
    Note(report, Verdict::UnknownText, fault, index, command, faulted.FinalStatus, "");
  }

  // What the operator does next: power cycle (plug back in), let the chip check run, Run again.
  rig.System().Faults().Clear();
  rig.PowerCycle();
  rig.Settle(action);
  const MemorySnapshot beforeRecovery = TakeSnapshot(rig.System(), rig.Path(), device);
  const RunIntent recoveryIntent =
      IntendedOutcome(InputsOf(device, action, files, rig.Window()), beforeRecovery);
  const RunRecord recovery = rig.Run();
  const MemorySnapshot afterRecovery = TakeSnapshot(rig.System(), rig.Path(), device);
  const Judgement recovered = JudgeRun(device, action, recovery, recoveryIntent, beforeRecovery,
                                       afterRecovery, files.Backup);
  if (!recovered.Claimed || !recovered.Breach.empty()) {
    Note(report, Verdict::Unrecovered, fault, index, command, recovery.FinalStatus,
         recovered.Claimed ? recovered.Breach
                           : "recovery run ended on \"" + recovery.FinalStatus + "\"");
  }

  const std::vector<std::uint8_t> kept = KeptConfig(device, intent, fresh);
  if (!kept.empty() && recovered.Claimed && !ConfigStillThere(device, kept, afterRecovery)) {
    // Pulled out after the erase, the device keeps no copy of the area and the tool's copy in
    // memory is gone with the run: those losses are counted apart from the ones a procedure
    // could have avoided.
    ++(fault == sim::FaultKind::Unplug ? report.Counts.ConfigAreasLostToUnplug
                                       : report.Counts.ConfigAreasLost);
    ReportLostArea(device, action, fault, index, command, faulted.FinalStatus);
  }
}

// Every n-th index, and always the first and last few: the configuration area is read at the
// start of a run and written back at its end, where a sparse stride would step over it.
std::vector<std::size_t> SampledIndices(std::size_t traceLength, const CampaignOptions& options) {
  constexpr std::size_t kEdge = 6;
  std::size_t stride = std::max<std::size_t>(options.Stride, 1);
  std::size_t most = options.MaxIndices;
  if (options.ReplayBudget > 0 && traceLength > 0) {
    // Each index costs a faulted and a recovery run of about the trace's length per fault kind.
    const std::uint64_t perIndex = std::uint64_t{traceLength} * 2 * std::size(kCampaignFaults);
    const auto affordable =
        static_cast<std::size_t>(std::max<std::uint64_t>(1, options.ReplayBudget / perIndex));
    most = most > 0 ? std::min(most, affordable) : affordable;
  }
  if (most > 0) {
    stride = std::max(stride, (traceLength + most - 1) / most);
  }
  std::vector<std::size_t> indices;
  for (std::size_t k = 1; k <= traceLength; ++k) {
    if (k <= kEdge || k + kEdge > traceLength || (k - 1) % stride == 0) {
      indices.push_back(k);
    }
  }
  return indices;
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
  }
  return "";
}

Figures& Figures::operator+=(const Figures& other) {
  Runs += other.Runs;
  FaultsInjected += other.FaultsInjected;
  FalseSuccesses += other.FalseSuccesses;
  UnknownTexts += other.UnknownTexts;
  Unrecovered += other.Unrecovered;
  ConfigAreasLost += other.ConfigAreasLost;
  ConfigAreasLostToUnplug += other.ConfigAreasLostToUnplug;
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
  for (const std::size_t k : SampledIndices(baseline.Trace.size(), options)) {
    const TracedCommand& command = baseline.Trace[k - 1];
    for (const sim::FaultKind fault : kCampaignFaults) {
      if (FaultApplies(fault, command)) {
        RunFaultedCase(device, action, files, fault, k, command, report);
      }
    }
  }
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
      << FaultName(problem.Fault) << " at command " << problem.Index << " ["
      << Bytes(problem.Cdb, 12) << "], ended on \"" << Printable(problem.FinalStatus) << "\"";
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
  out << "runs " << figures.Runs << ", faults injected " << figures.FaultsInjected
      << ", false successes " << figures.FalseSuccesses << ", crashes 0"
      << ", unrecovered devices " << figures.Unrecovered << ", unknown texts "
      << figures.UnknownTexts << ", configuration areas lost " << figures.ConfigAreasLost
      << ", configuration areas lost to a pulled enclosure " << figures.ConfigAreasLostToUnplug
      << ", explained by open findings " << figures.ExplainedByOpenFindings;
  return out.str();
}

}  // namespace q71x::campaign
