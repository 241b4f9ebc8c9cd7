// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What a command-line run gets from the process: its streams, whether someone is at a terminal
// to confirm, where the user's data lives, the clock, and the platform of the real machine. The
// executable fills it from the process; tests fill it with their own.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>

#include "src/device/platform/platform.h"

namespace q71x::sim {
class SimulatedSystem;
}

namespace q71x::cli {

struct CliEnvironment {
  std::ostream* Out = nullptr;  // the report (text or the JSON document)
  std::ostream* Err = nullptr;  // diagnostics and the confirmation question
  std::ostream* Ask = nullptr;  // the confirmation question when it must not go to Err (-q)
  std::istream* In = nullptr;   // the confirmation answer
  bool Terminal = false;        // standard input and error are a terminal
  bool ErrTerminal = false;     // standard error is a terminal (the progress bar)
  std::filesystem::path DataFolder;
  // Where the programs of this tool take their locks on units (empty: none); a simulated
  // machine keeps its own in its state folder.
  std::filesystem::path LockFolder;
  std::function<std::chrono::system_clock::time_point()> Now = [] {
    return std::chrono::system_clock::now();
  };
  // Milliseconds on a clock that never goes back: the progress display's rate and pace.
  std::function<std::uint64_t()> SteadyMs = [] {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
  };
  // The operating system's platform; null when this build has none.
  std::function<std::unique_ptr<Platform>()> OsPlatform;
  // Run on the simulated machine after its state is restored, before any device is listed
  // (tests arm faults here).
  std::function<void(sim::SimulatedSystem&)> PrepareSimulation;
  // Run on the simulated machine after the verb, before its state is saved (tests read the
  // command log here).
  std::function<void(sim::SimulatedSystem&)> InspectSimulation;
};

}  // namespace q71x::cli
