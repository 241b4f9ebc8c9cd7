// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/run_summary.h"

#include <algorithm>
#include <optional>

#include "src/app/cli/json_text.h"

namespace q71x::cli {
namespace {

constexpr const char* kSkipped = "skipped";

// What the device's run said: its boxes, then the status it ended on.
nlohmann::json TextsOf(const VerbOutcome& outcome) {
  nlohmann::json texts = nlohmann::json::array();
  if (const auto run = outcome.Data.find("run"); run != outcome.Data.end()) {
    for (const nlohmann::json& box : (*run)["boxes"]) {
      texts.push_back(box);
    }
    if (!(*run)["status"].get<std::string>().empty()) {
      texts.push_back((*run)["status"]);
    }
  }
  return texts;
}

nlohmann::json EntryOf(const DeviceRun& run) {
  const VerbOutcome& outcome = run.Outcome;
  nlohmann::json entry = {
      {"index", run.Target.Index},
      {"path", run.Target.Path},
      {"id", run.Id.empty() ? nlohmann::json() : nlohmann::json(run.Id)},
      {"outcome", run.Skipped ? kSkipped : ExitCodeName(outcome.Code)},
      {"exit_code",
       run.Skipped ? nlohmann::json() : nlohmann::json(static_cast<int>(outcome.Code))},
      {"ok", !run.Skipped && outcome.Code == ExitCode::Success},
      {"power_cycle", outcome.PowerCycle},
      {"message", outcome.Message},
      {"texts", TextsOf(outcome)},
      {"report", outcome.Data},
  };
  if (!outcome.Hint.empty()) {
    entry["hint"] = outcome.Hint;
  }
  return entry;
}

std::string Counted(std::size_t count, const char* what) {
  return std::to_string(count) + " " + what;
}

}  // namespace

VerbOutcome SummaryOf(const std::vector<DeviceRun>& runs) {
  VerbOutcome summary;
  summary.Data["runs"] = nlohmann::json::array();
  std::size_t taken = 0;
  std::size_t succeeded = 0;
  std::optional<ExitCode> failedAlike;
  bool failuresDiffer = false;
  for (const DeviceRun& run : runs) {
    summary.Data["runs"].push_back(EntryOf(run));
    if (run.Skipped) {
      continue;
    }
    ++taken;
    summary.PowerCycle = summary.PowerCycle || run.Outcome.PowerCycle;
    if (run.Outcome.Code == ExitCode::Success) {
      ++succeeded;
    } else if (!failedAlike) {
      failedAlike = run.Outcome.Code;
    } else if (*failedAlike != run.Outcome.Code) {
      failuresDiffer = true;
    }
  }
  if (taken == 0) {
    summary.Code = ExitCode::NoSuchDevice;
    summary.Message = "no device the verb takes";
    return summary;
  }
  summary.Message = Counted(succeeded, "of") + " " + Counted(taken, "device(s) succeeded");
  if (runs.size() > taken) {
    summary.Message += ", " + Counted(runs.size() - taken, "not taken");
  }
  if (failedAlike) {
    summary.Code = failuresDiffer ? ExitCode::OperationFailed : *failedAlike;
  }
  if (summary.PowerCycle) {
    summary.Message += "; power the enclosures marked so off and on now";
  }
  return summary;
}

void WriteSummaryTable(std::ostream& out, const nlohmann::json& runs) {
  out << "DEVICE  ID  OUTCOME  CODE  MESSAGE\n";
  for (const nlohmann::json& run : runs) {
    out << run["index"].get<int>() << "  "
        << (run["id"].is_null() ? std::string("-") : run["id"].get<std::string>()) << "  "
        << run["outcome"].get<std::string>() << "  "
        << (run["exit_code"].is_null() ? std::string("-") : JsonText(run["exit_code"])) << "  "
        << run["message"].get<std::string>()
        << (run["power_cycle"].get<bool>() ? "  POWER CYCLE NOW" : "") << "\n";
  }
}

}  // namespace q71x::cli
