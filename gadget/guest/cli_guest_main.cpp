// SPDX-License-Identifier: GPL-2.0-or-later
// q71x-guest-cli-test: runs inside the test VM after q71x-guest-test, against gadgets of every
// family the gadget can show on USB, through the command-line program as a script runs it.
//
//   q71x-guest-cli-test --q71xfw PATH --gadget KEY=SOCKET [--gadget KEY=SOCKET ...]
//                       [--large-gadget KEY=SOCKET] [--user UID:GID] [--work-dir DIR]
//
// With --user, q71xfw runs as that account (root prepares the work folder and asks the
// gadgets); --large-gadget names a serial-flash gadget with a flash larger than one request of
// the kernel carries, for the large update and the pull in the middle of one.
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
    } else if ((flag == "--gadget" || flag == "--large-gadget") &&
               value.find('=') != std::string::npos) {
      const std::size_t equals = value.find('=');
      const CliGadget gadget{value.substr(0, equals), value.substr(equals + 1)};
      if (flag == "--gadget") {
        config.Gadgets.push_back(gadget);
      } else {
        config.Large = gadget;
      }
    } else if (flag == "--user") {
      config.User = ParseSeatUser(value);
      if (!config.User) {
        return false;
      }
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
        "[--large-gadget KEY=SOCKET] [--user UID:GID] [--work-dir DIR]\n",
        stderr);
    return 2;
  }
  StepLog log;
  CheckCommandLine(log, config);
  std::printf("guest cli: %d passed, %d failed\n", log.Passed(), log.Failed());
  return log.Failed() == 0 && log.Passed() > 0 ? 0 : 1;
}
