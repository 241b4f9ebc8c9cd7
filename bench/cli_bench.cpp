// SPDX-License-Identifier: GPL-2.0-or-later
// q71xfw's own figures: the wall time of `list --json` on the simulated machine of --sim (its 16
// enclosures), and what the progress display costs a run in host CPU.
//
//   q71x-cli-bench [--repeat N] [--pace P] [--side-by-side-only]
//
// The list is timed as a user meets it: the executable started as a process, its report read to
// the end. The progress cost is taken two ways on updates over the simulator, where the host's
// share of a run is largest (the bridges answer at once): the run's CPU time with and without
// --json --progress (medians of alternating runs), and a bound that needs no subtraction of two
// noisy figures: the calls the display got during the run, timed one by one, against the run.
// Last, 4 and 16 enclosures updated side by side at the pace P (default 4) against the slowest
// single update (side_by_side_bench.cpp).

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>
#include <nlohmann/json.hpp>

#include "bench/side_by_side_bench.h"
#include "sim/quiet_stdout.h"
#include "src/app/cli/cli_program.h"
#include "src/app/cli/progress_display.h"
#include "src/app/cli/run_progress.h"

namespace {

namespace fs = std::filesystem;
using q71x::cli::CliEnvironment;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double CpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// User and system time of the child processes waited for so far.
double ChildrenCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  auto ms = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
  };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double WallMs() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// One in-process command line; returns its exit code.
int Run(const std::vector<std::string>& args, const fs::path& data) {
  std::ostringstream out;
  std::ostringstream err;
  std::istringstream in;
  CliEnvironment env;
  env.Out = &out;
  env.Err = &err;
  env.In = &in;
  env.DataFolder = data;
  q71x::sim::QuietStdout quiet;
  return q71x::cli::RunCommandLine(args, env);
}

void ListWallTime(const fs::path& root, int repeat) {
  const fs::path state = root / "list-state";
  const std::string command = std::string(Q71X_CLI_EXECUTABLE) + " --sim --state " +
                              state.string() + " --json list > " + (root / "list.json").string() +
                              " 2>/dev/null";
  double first = WallMs();
  if (std::system(command.c_str()) != 0) {
    std::cout << "list --json failed\n";
    return;
  }
  first = WallMs() - first;
  std::vector<double> times;
  std::vector<double> cpu;
  for (int i = 0; i < repeat; ++i) {
    const double start = WallMs();
    const double cpuStart = ChildrenCpuMs();
    std::system(command.c_str());
    times.push_back(WallMs() - start);
    cpu.push_back(ChildrenCpuMs() - cpuStart);
  }
  std::printf(
      "list --json, 16 simulated enclosures, whole process: first run (state folder made) %.1f "
      "ms; then median %.1f ms (min %.1f, max %.1f, %d runs); target under 100 ms: %s\n",
      first, Median(times), *std::min_element(times.begin(), times.end()),
      *std::max_element(times.begin(), times.end()), repeat,
      Median(times) < 100.0 ? "met" : "NOT met");
  std::printf("  CPU (user + system, the shell included) median %.1f ms (min %.1f, max %.1f)\n",
              Median(cpu), *std::min_element(cpu.begin(), cpu.end()),
              *std::max_element(cpu.begin(), cpu.end()));
}

void ProgressCost(const fs::path& root, int repeat) {
  const char* const presets[] = {"qv40714-atmel", "qv40712-sst", "qvk846-1394", "qv40709-disk"};
  const fs::path state = root / "update-state";
  const fs::path data = root / "data";
  Run({"--sim", "--state", state.string(), "list"}, data);
  std::printf("\nprogress display, host CPU of one update over the simulator:\n");
  bool allBelow = true;
  for (const char* preset : presets) {
    std::string path;
    {
      std::ostringstream out;
      std::ostringstream err;
      CliEnvironment env;
      env.Out = &out;
      env.Err = &err;
      q71x::sim::QuietStdout quiet;
      q71x::cli::RunCommandLine({"--sim", "--state", state.string(), "--json", "list"}, env);
      const nlohmann::json list = nlohmann::json::parse(out.str());
      for (const nlohmann::json& device : list["devices"]) {
        const std::string candidate = device["path"];
        if (candidate.ends_with(std::string(":") + preset)) {
          path = candidate;
        }
      }
    }
    const std::string image = (state / "images" / (std::string(preset) + ".bin")).string();
    const std::vector<std::string> plain = {"--sim",  "--state", state.string(),
                                            "--json", "--yes",   "--no-backup",
                                            "update", path,      image};
    std::vector<std::string> withProgress = plain;
    withProgress.insert(withProgress.begin() + 3, "--progress");
    std::vector<double> without;
    std::vector<double> with;
    std::vector<double> wall;
    for (int i = 0; i < repeat; ++i) {
      const double wallStart = WallMs();
      double start = CpuMs();
      const int a = Run(plain, data);
      without.push_back(CpuMs() - start);
      wall.push_back(WallMs() - wallStart);
      start = CpuMs();
      const int b = Run(withProgress, data);
      with.push_back(CpuMs() - start);
      if ((a != 0 && a != 6) || (b != 0 && b != 6)) {
        std::printf("%s: the update failed (%d, %d)\n", preset, a, b);
        return;
      }
    }
    // The bound: every transfer of the run counted, and the display drawn as often as it could
    // be in the run's time at ten lines a second, each at its measured cost.
    std::ostringstream sink;
    q71x::cli::RunProgress meter(q71x::cli::MakeJsonLines(sink),
                                 [] { return static_cast<std::uint64_t>(WallMs()); });
    std::ostringstream countOut;
    std::ostringstream countErr;
    CliEnvironment env;
    env.Out = &countOut;
    env.Err = &countErr;
    env.DataFolder = data;
    std::uint64_t now = 0;
    env.SteadyMs = [&now] { return now += q71x::cli::kProgressIntervalMs; };  // a line per call
    {
      q71x::sim::QuietStdout quiet;
      q71x::cli::RunCommandLine(withProgress, env);
    }
    const std::string events = countErr.str();
    const auto lines = static_cast<std::uint64_t>(std::count(events.begin(), events.end(), '\n'));
    // Every clock read drew a line: the transfers counted, and the first and last line.
    const std::uint64_t calls = lines;
    const double runMs = Median(without);
    const double start = CpuMs();
    meter.RunStarting(q71x::EngineeringAction::Update, q71x::UpdateProcedure::UpdateSerialFlash,
                      65536);
    for (std::uint64_t i = 0; i < calls; ++i) {
      meter.Moved(4096);
    }
    const double countCost = CpuMs() - start;
    const double drawsAllowed = Median(wall) / 100.0 + 2;  // the first and the last line too
    const std::unique_ptr<q71x::cli::ProgressDisplay> display = q71x::cli::MakeJsonLines(sink);
    const double drawStart = CpuMs();
    for (int i = 0; i < 1000; ++i) {
      q71x::cli::ProgressSample sample;
      sample.Phase = "update";
      sample.Bytes = static_cast<std::uint64_t>(i);
      sample.Total = 65536;
      sample.Percent = i % 100;
      display->Show(sample);
    }
    const double drawCost = (CpuMs() - drawStart) / 1000.0 * drawsAllowed;
    const double bound = (countCost + drawCost) / runMs * 100.0;
    const double ab = (Median(with) - Median(without)) / Median(without) * 100.0;
    allBelow = allBelow && bound < 1.0;
    std::printf(
        "  %-14s run %.2f ms CPU (median of %d) without, %.2f ms with --progress (A/B %+.2f %%); "
        "bound: %llu transfers counted %.4f ms + %.0f lines %.4f ms = %.3f %% of the run\n",
        preset, runMs, repeat, Median(with), ab, static_cast<unsigned long long>(calls), countCost,
        drawsAllowed, drawCost, bound);
  }
  std::printf("progress display below 1%% of a run's host CPU: %s\n", allBelow ? "yes" : "NO");
}

}  // namespace

int main(int argc, char* argv[]) {
  int repeat = 11;
  double pace = 4;
  bool sideBySideOnly = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--side-by-side-only") {
      sideBySideOnly = true;
    }
    if (i + 1 < argc && std::string(argv[i]) == "--repeat") {
      repeat = std::max(1, std::atoi(argv[i + 1]));
    }
    if (i + 1 < argc && std::string(argv[i]) == "--pace") {
      pace = std::max(0.1, std::atof(argv[i + 1]));
    }
  }
  const fs::path root = fs::temp_directory_path() / ("q71x-cli-bench-" + std::to_string(getpid()));
  fs::create_directories(root);
  if (!sideBySideOnly) {
    ListWallTime(root, repeat);
    ProgressCost(root, repeat);
  }
  q71x::bench::SideBySideAtPace(root / "side-by-side", pace);
  fs::remove_all(root);
  return 0;
}
