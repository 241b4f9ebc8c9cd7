// SPDX-License-Identifier: GPL-2.0-or-later
// Several enclosures updated by one q71xfw at the operator's pace: the wall time of 4 and of 16
// enclosures of one model updated side by side (automatic backups included, as an operator
// runs it), against the slowest of the same enclosures updated one program at a time. The
// simulator is paced on the wall clock (--pace), so the figures are what a bench of real
// enclosures on their own buses would show, scaled by the pace.

#include "bench/side_by_side_bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "sim/presets.h"
#include "sim/quiet_stdout.h"
#include "sim/simulated_system.h"
#include "src/app/cli/cli_program.h"

namespace q71x::bench {
namespace {

namespace fs = std::filesystem;

constexpr const char* kKey = "qv40714-atmel";
constexpr int kEnclosures = 16;

// The demo machine's enclosure of the model and 15 more of it, each a unit of its own; nothing
// else plugged in.
void SixteenOfOneModel(sim::SimulatedSystem& system) {
  std::vector<std::string> others;
  for (const auto& enclosure : system.Enclosures()) {
    if (!enclosure->Path.ends_with(std::string(":") + kKey)) {
      others.push_back(enclosure->Path);
    }
  }
  for (const std::string& path : others) {
    system.Unplug(path);
  }
  for (int i = 1; i < kEnclosures; ++i) {
    sim::UnitTraits unit;
    unit.Name = std::string(kKey) + "-" + std::to_string(i);
    if (std::optional<sim::Enclosure> more = sim::MakePresetEnclosure(kKey, {}, unit)) {
      system.AddEnclosure(std::move(*more));
    }
  }
}

struct Timed {
  int Code = -1;
  double WallMs = 0;
};

Timed Run(std::vector<std::string> args, const fs::path& root) {
  args.insert(args.begin(), {"--sim", "--state", (root / "state").string(), "--yes"});
  std::ostringstream out;
  std::ostringstream err;
  std::istringstream in;
  cli::CliEnvironment env;
  env.Out = &out;
  env.Err = &err;
  env.In = &in;
  env.DataFolder = root / "data";
  env.PrepareSimulation = SixteenOfOneModel;
  const sim::QuietStdout quiet;
  const auto start = std::chrono::steady_clock::now();
  Timed timed;
  timed.Code = cli::RunCommandLine(args, env);
  timed.WallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return timed;
}

std::vector<std::string> Indexes(int count) {
  std::vector<std::string> indexes;
  for (int i = 0; i < count; ++i) {
    indexes.push_back(std::to_string(i));
  }
  return indexes;
}

}  // namespace

void SideBySideAtPace(const fs::path& root, double pace) {
  const std::string paceText = std::to_string(pace);
  const std::string image = (root / "state" / "images" / (std::string(kKey) + ".bin")).string();
  Run({"list"}, root);  // the state folder and its sample images
  double slowest = 0;
  for (int i = 0; i < kEnclosures; ++i) {
    const Timed single = Run({"--pace", paceText, "update", std::to_string(i), image}, root);
    if (single.Code != 0) {
      std::printf("side by side: the single update of %d failed (%d)\n", i, single.Code);
      return;
    }
    slowest = std::max(slowest, single.WallMs);
  }
  std::printf("side by side at pace %s (%s, automatic backups included):\n", paceText.c_str(),
              kKey);
  std::printf("  slowest of %d single updates   %8.0f ms\n", kEnclosures, slowest);
  for (const int count : {4, kEnclosures}) {
    std::vector<std::string> args = {"--pace", paceText, "update"};
    const std::vector<std::string> devices = Indexes(count);
    args.insert(args.end(), devices.begin(), devices.end());
    args.push_back(image);
    const Timed together = Run(args, root);
    std::printf("  %2d enclosures at once          %8.0f ms  %.2f x the slowest single%s\n", count,
                together.WallMs, together.WallMs / slowest,
                together.Code == 0 ? "" : "  (a device failed)");
  }
}

}  // namespace q71x::bench
