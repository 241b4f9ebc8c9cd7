// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/access_verdict.h"

#include <algorithm>

namespace q71x::cli {
namespace {

// A device named by index or chip cannot be told from a refused one that never made the list;
// a chosen device is refused only when its own path was.
bool RefusalExplains(const VerbOutcome& outcome, const std::vector<std::string>& refused) {
  if (outcome.Code == ExitCode::NoSuchDevice) {
    return true;
  }
  if (outcome.Code != ExitCode::OperationFailed || !outcome.Data.contains("device")) {
    return false;
  }
  const nlohmann::json& path = outcome.Data["device"]["path"];
  return path.is_string() &&
         std::find(refused.begin(), refused.end(), path.get<std::string>()) != refused.end();
}

}  // namespace

void JudgeRefusedOpens(VerbOutcome& outcome, const std::vector<std::string>& refused,
                       const std::string& notice) {
  if (refused.empty()) {
    return;
  }
  outcome.Data["access_denied"] = refused;
  std::string paths;
  for (const std::string& path : refused) {
    paths += (paths.empty() ? "" : ", ") + path;
  }
  const std::string what = "access denied: the system refused to open " + paths +
                           (notice.empty() ? std::string() : " (" + notice + ")");
  if (RefusalExplains(outcome, refused)) {
    outcome.Code = ExitCode::AccessDenied;
    outcome.Message = what + "; " + outcome.Message;
  } else if (outcome.Code == ExitCode::Success) {
    outcome.Message += "; " + what;
  }
}

}  // namespace q71x::cli
