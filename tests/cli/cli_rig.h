// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// q71xfw run in-process over the simulated machine of its --sim option, with a state folder and
// a data folder of the test's own, so that every run can be judged by the memories the state
// folder keeps afterwards.

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "src/app/cli/cli_environment.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

namespace q71x::testing {

struct CliRun {
  int Code = -1;
  std::string Out;
  std::string Err;
  nlohmann::json Json;  // the document, when --json was given
};

class CliRig {
 public:
  // q71xfw --sim --state <state> --json ARGS...
  CliRun Json(std::vector<std::string> args);
  // q71xfw --sim --state <state> ARGS...
  CliRun Text(std::vector<std::string> args);

  // The device path of a preset of the demo machine, from `list --json`.
  std::string PathOf(const std::string& presetKey);
  // The sample image the simulator wrote for a preset.
  std::string ImageOf(const std::string& presetKey) const;
  // The preset's sample image cut or grown to `size` bytes: its header, then code-like bytes
  // (never FF) that differ with the size. Written under the test's folder; returns its path.
  std::string ImageOfSize(const std::string& presetKey, std::size_t size) const;
  // Every memory file of the enclosure in the state folder, by name.
  std::map<std::string, std::vector<std::uint8_t>> Memories(const std::string& path) const;
  // A memory file of an enclosure in the state folder; empty when there is none.
  std::vector<std::uint8_t> Memory(const std::string& path, const char* fileName) const;
  std::filesystem::path BackupFolder() const;

  TempDir Dir;
  std::filesystem::path State = Dir.path() / "state";
  std::filesystem::path Data = Dir.path() / "data";
  bool Terminal = false;
  bool ErrTerminal = false;
  // The progress display's clock; unset: the real one.
  std::function<std::uint64_t()> SteadyMs;
  std::string Input;
  // Where standard error goes instead of CliRun::Err (a real descriptor, for closed pipes).
  std::ostream* ErrStream = nullptr;
  std::function<void(sim::SimulatedSystem&)> Prepare;
  // Called after the verb ran, with the machine it ran on.
  std::function<void(sim::SimulatedSystem&)> Inspect;
  // The demo machine has more enclosures than the list takes; when set, only the presets named
  // here stay plugged in.
  std::vector<std::string> Plugged;

  // Gives the preset's enclosure a unit facet of its own (a USB serial number, or the GUID on
  // 1394) at every run and, with `twinSerial`, adds a second enclosure of the same model with
  // that facet at the first one's path plus "-b" (its memories persist like every other's).
  // Returns the second one's path, or empty.
  std::string Identify(const std::string& presetKey, const std::string& serial,
                       const std::string& twinSerial = {});

 private:
  struct Unit {
    std::string PresetKey;
    std::string Serial;
    std::string TwinSerial;
  };
  void AddUnits(sim::SimulatedSystem& system) const;
  std::vector<Unit> units_;
};

// An image's code, past the header and the descriptor the disk-kept families rewrite.
std::vector<std::uint8_t> Code(const std::vector<std::uint8_t>& image);

// Whether `needle` occurs in `haystack`.
bool Contains(const std::vector<std::uint8_t>& haystack, const std::vector<std::uint8_t>& needle);

}  // namespace q71x::testing
