// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/cli/cli_rig.h"

#include <algorithm>
#include <sstream>

#include "sim/hardware_presets.h"
#include "sim/presets.h"
#include "sim/quiet_stdout.h"
#include "sim/simulated_system.h"
#include "src/app/cli/cli_program.h"
#include "src/host/utf8_path.h"
#include "src/simhost/sim_state_folder.h"
#include "tests/support/enclosure_twin.h"

namespace q71x::testing {
namespace {

// Preset paths end in ":<key>".
bool EndsWithKey(const std::string& path, const std::string& key) {
  return path.size() > key.size() && path.compare(path.size() - key.size(), key.size(), key) == 0 &&
         path[path.size() - key.size() - 1] == ':';
}

constexpr const char* kTwinSuffix = "-b";

std::optional<sim::Enclosure> MakeEnclosureOf(const std::string& presetKey) {
  return sim::FindSerialFlashPreset(presetKey) != nullptr
             ? sim::MakePresetEnclosure(presetKey)
             : sim::MakeHardwarePresetEnclosure(presetKey);
}

// Where the preset keeps its configuration area.
std::pair<std::uint32_t, std::uint32_t> ConfigAreaOf(const std::string& presetKey) {
  if (const sim::SerialFlashPreset* preset = sim::FindSerialFlashPreset(presetKey)) {
    return {preset->ConfigOffset, preset->ConfigBytes};
  }
  if (const sim::HardwarePreset* preset = sim::FindHardwarePreset(presetKey)) {
    return {preset->ConfigOffset, preset->ConfigBytes};
  }
  return {0, 0};
}

}  // namespace

std::string CliRig::Identify(const std::string& presetKey, const std::string& serial,
                             const std::string& twinSerial) {
  units_.push_back(Unit{presetKey, serial, twinSerial});
  if (twinSerial.empty()) {
    return {};
  }
  const std::optional<sim::Enclosure> made = MakeEnclosureOf(presetKey);
  return made ? made->Path + kTwinSuffix : std::string();
}

void CliRig::AddUnits(sim::SimulatedSystem& system) const {
  bool twinAdded = false;
  for (const Unit& unit : units_) {
    for (const auto& enclosure : system.Enclosures()) {
      if (EndsWithKey(enclosure->Path, unit.PresetKey)) {
        GiveUnitFacet(*enclosure, unit.Serial);
      }
    }
    if (unit.TwinSerial.empty()) {
      continue;
    }
    std::optional<sim::Enclosure> twin = MakeEnclosureOf(unit.PresetKey);
    if (twin) {
      const auto [offset, bytes] = ConfigAreaOf(unit.PresetKey);
      MakeTwin(*twin, kTwinSuffix, unit.TwinSerial, offset, bytes);
      system.AddEnclosure(std::move(*twin));
      twinAdded = true;
    }
  }
  if (twinAdded) {
    // The machine's own restore ran before the second enclosures were there.
    SimStateFolder(State).Restore(system);
  }
}

CliRun CliRig::Text(std::vector<std::string> args) {
  args.insert(args.begin(), {"--sim", "--state", PathToUtf8(State)});
  std::ostringstream out;
  std::ostringstream err;
  std::istringstream in(Input);
  cli::CliEnvironment env;
  env.Out = &out;
  env.Err = ErrStream != nullptr ? ErrStream : &err;
  env.In = &in;
  env.Terminal = Terminal;
  env.ErrTerminal = ErrTerminal;
  if (SteadyMs) {
    env.SteadyMs = SteadyMs;
  }
  env.DataFolder = Data;
  env.PrepareSimulation = [this](sim::SimulatedSystem& system) {
    if (!Plugged.empty()) {
      // Exactly the named enclosures plugged in: the demo machine leaves some unplugged.
      std::vector<std::string> unplug;
      std::vector<std::string> plug;
      for (const auto& enclosure : system.Enclosures()) {
        const bool wanted =
            std::any_of(Plugged.begin(), Plugged.end(),
                        [&](const std::string& key) { return EndsWithKey(enclosure->Path, key); });
        (wanted ? plug : unplug).push_back(enclosure->Path);
      }
      for (const std::string& path : unplug) {
        system.Unplug(path);
      }
      for (const std::string& path : plug) {
        system.Plug(path);
      }
    }
    AddUnits(system);
    if (Prepare) {
      Prepare(system);
    }
  };
  env.InspectSimulation = Inspect;
  CliRun run;
  {
    sim::QuietStdout quiet;
    run.Code = cli::RunCommandLine(args, env);
  }
  run.Out = out.str();
  run.Err = err.str();
  return run;
}

CliRun CliRig::Json(std::vector<std::string> args) {
  args.insert(args.begin(), "--json");
  CliRun run = Text(std::move(args));
  run.Json = nlohmann::json::parse(run.Out);
  return run;
}

std::string CliRig::PathOf(const std::string& presetKey) {
  const CliRun list = Json({"list"});
  for (const nlohmann::json& device : list.Json["devices"]) {
    const std::string path = device["path"].get<std::string>();
    if (EndsWithKey(path, presetKey)) {
      return path;
    }
  }
  return {};
}

std::string CliRig::ImageOf(const std::string& presetKey) const {
  return PathToUtf8(State / "images" / (presetKey + ".bin"));
}

std::string CliRig::ImageOfSize(const std::string& presetKey, std::size_t size) const {
  std::vector<std::uint8_t> image = ReadFileBytes(ImageOf(presetKey));
  const std::size_t kept = std::min(image.size(), size);
  image.resize(size);
  std::uint32_t noise = static_cast<std::uint32_t>(size) * 2654435761u + 1;
  for (std::size_t i = kept; i < size; ++i) {
    noise = noise * 1103515245u + 12345u;
    image[i] = static_cast<std::uint8_t>(noise >> 16) & 0x7F;
  }
  const std::string file = Dir.File(presetKey + "-" + std::to_string(size) + ".bin");
  WriteFileBytes(file, image);
  return file;
}

std::map<std::string, std::vector<std::uint8_t>> CliRig::Memories(const std::string& path) const {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const auto& entry :
       std::filesystem::directory_iterator(SimStateFolder(State).EnclosureFolder(path))) {
    files[entry.path().filename().string()] = ReadFileBytes(entry.path());
  }
  return files;
}

std::vector<std::uint8_t> CliRig::Memory(const std::string& path, const char* fileName) const {
  return ReadFileBytes(SimStateFolder(State).EnclosureFolder(path) / fileName);
}

std::filesystem::path CliRig::BackupFolder() const {
  return Data / "q71xfw" / "backups";
}

std::vector<std::uint8_t> Code(const std::vector<std::uint8_t>& image) {
  return {image.begin() + std::min<std::ptrdiff_t>(4096, static_cast<std::ptrdiff_t>(image.size())),
          image.end()};
}

bool Contains(const std::vector<std::uint8_t>& haystack, const std::vector<std::uint8_t>& needle) {
  return !needle.empty() && std::search(haystack.begin(), haystack.end(), needle.begin(),
                                        needle.end()) != haystack.end();
}

}  // namespace q71x::testing
