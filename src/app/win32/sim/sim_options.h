// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The simulator executable's command line:
//   q71xfwtool-sim [--state DIR] [--rd-version] [--pace K] [--help]

#include <string>
#include <vector>

namespace q71x::win32 {

inline constexpr const char* kSimUsage =
    "q71xfwtool-sim [--state DIR] [--rd-version] [--pace K]\n\n"
    "The firmware tool over simulated enclosures. Each enclosure's flash, controller memory and "
    "disk area are kept as plain files in the state folder, with sample images in its \"images\" "
    "folder.\n\n"
    "--state DIR\tKeep the simulated memories in DIR.\n"
    "--rd-version\tStart with \"RD Version\" ticked (the engineering panel shown).\n"
    "--pace K\tLet simulated time follow real time: 1 is real time, 2 twice as fast, 0 as fast as "
    "possible (the default).";

struct SimOptions {
  std::string StateFolder;  // UTF-8; empty: the user's data folder
  bool RdVersion = false;
  double Pace = 0;  // a factor of real time; 0: as fast as possible
  bool Help = false;
  std::string Error;  // set when the command line cannot be taken
};

// `arguments` without the program name, UTF-8.
SimOptions ParseSimOptions(const std::vector<std::string>& arguments);

}  // namespace q71x::win32
