// SPDX-License-Identifier: GPL-2.0-or-later
// q71x-guest-cli-test: runs inside the test VM after q71x-guest-test, against gadgets of every
// family the gadget can show on USB, through the command-line program as a script runs it.
//
//   q71x-guest-cli-test --q71xfw PATH --gadget KEY=SOCKET [--gadget KEY=SOCKET ...]
//                       [--work-dir DIR]
//
// Prints one PASS or FAIL line per check and ends with "N passed, N failed"; the exit status is
// 0 only when nothing failed.

#include <cstdio>
#include <string>

#include "gadget/guest/cli_steps.h"

namespace {

using namespace q71x::guest;

bool ParseOptions(int argc, char** argv, CliGuestConfig& config) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    const std::string value = argv[i + 1];
    if (flag == "--q71xfw") {
      config.Program = value;
    } else if (flag == "--work-dir") {
      config.WorkDir = value;
    } else if (flag == "--gadget" && value.find('=') != std::string::npos) {
      const std::size_t equals = value.find('=');
      config.Gadgets.push_back({value.substr(0, equals), value.substr(equals + 1)});
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && !config.Program.empty() && !config.Gadgets.empty();
}

}  // namespace

int main(int argc, char** argv) {
  CliGuestConfig config;
  if (!ParseOptions(argc, argv, config)) {
    std::fputs(
        "usage: q71x-guest-cli-test --q71xfw PATH --gadget KEY=SOCKET [--gadget ...] "
        "[--work-dir DIR]\n",
        stderr);
    return 2;
  }
  StepLog log;
  CheckCommandLine(log, config);
  std::printf("guest cli: %d passed, %d failed\n", log.Passed(), log.Failed());
  return log.Failed() == 0 && log.Passed() > 0 ? 0 : 1;
}
