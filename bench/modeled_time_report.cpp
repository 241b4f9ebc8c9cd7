// SPDX-License-Identifier: GPL-2.0-or-later
// q71x-modeled-time-report: every procedure over the simulator's presets with the latency model
// on. Per run: commands, bytes each way, modeled duration, host CPU, the physical floor and the
// two ratios; then the peak resident memory of the 1 MB backups and the largest updates, each in
// a child process of its own, and whether the performance targets are met.
//
//   q71x-modeled-time-report [--repeat N] [--no-memory] [--only TEXT] [--smoke]
//
// --only keeps the cases whose "procedure action case" line contains TEXT (for a profile of one
// run under valgrind, say); --smoke runs one small case.
//
// Host CPU is the median of N runs (default 5) with the spread beside it; the modeled figures
// are the same on every run, and a run that differs says so.

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "bench/case_measurement.h"
#include "bench/peak_memory.h"
#include "bench/procedure_cases.h"
#include "bench/report_table.h"

namespace q71x::bench {
namespace {

constexpr double kCpuShareTarget = 0.01;
constexpr long kMemoryAllowanceKib = 4 * 1024;
// The streaming procedure's memory counts as independent of the image while it grows by less
// than this share of the growth of the image.
constexpr double kStreamingSlopeLimit = 0.10;

struct Options {
  int Repeat = 5;
  bool Memory = true;
  bool Smoke = false;
  std::string Only;
};

bool Selected(const ProcedureCase& procedureCase, const Options& options) {
  if (options.Only.empty()) {
    return true;
  }
  const std::string line = std::string(UpdateProcedureName(procedureCase.Run)) + " " +
                           std::string(EngineeringActionName(procedureCase.Act)) + " " +
                           procedureCase.Label;
  return line.find(options.Only) != std::string::npos;
}

struct Row {
  const ProcedureCase* Case = nullptr;
  CaseMeasurement First;
  Spread CpuMs;      // the whole process
  Spread DeviceMs;   // inside the simulated device
  Spread ToolCpuMs;  // the process less the simulated device: what the tool itself costs
  bool Deterministic = true;
  bool Counted() const { return First.Problem.empty() && First.EndedInSuccess; }
};

bool SameModeledRun(const CaseMeasurement& a, const CaseMeasurement& b) {
  return a.ModeledUs == b.ModeledUs && a.Bus.Commands == b.Bus.Commands &&
         a.Bus.BytesIn == b.Bus.BytesIn && a.Bus.BytesOut == b.Bus.BytesOut &&
         a.FinalStatus == b.FinalStatus;
}

Row MeasureRow(const ProcedureCase& procedureCase, int repeat) {
  Row row;
  row.Case = &procedureCase;
  std::vector<double> cpuMs;
  std::vector<double> deviceMs;
  std::vector<double> toolMs;
  for (int i = 0; i < repeat; ++i) {
    MeasureOptions options;
    options.LatencyModel = true;
    options.SplitDeviceCpu = true;
    CaseMeasurement measurement = MeasureCase(procedureCase, options);
    if (!measurement.Problem.empty()) {
      row.First = measurement;
      return row;
    }
    if (i == 0) {
      row.First = measurement;
    } else if (!SameModeledRun(row.First, measurement)) {
      row.Deterministic = false;
    }
    const double all = measurement.HostCpuSeconds * 1000.0;
    const double device = measurement.DeviceCpuSeconds * 1000.0;
    cpuMs.push_back(all);
    deviceMs.push_back(device);
    toolMs.push_back(std::max(0.0, all - device));
  }
  row.CpuMs = SpreadOf(cpuMs);
  row.DeviceMs = SpreadOf(deviceMs);
  row.ToolCpuMs = SpreadOf(toolMs);
  return row;
}

std::string Kib(std::uint64_t bytes) {
  return Format("%.1f", static_cast<double>(bytes) / 1024.0);
}

std::string Ended(const Row& row) {
  if (!row.First.Problem.empty()) {
    return "set-up: " + row.First.Problem;
  }
  std::string ended = row.First.EndedInSuccess ? "ok" : "FAILED: \"" + row.First.FinalStatus + "\"";
  if (!row.Deterministic) {
    ended += " (runs differ)";
  }
  return ended;
}

double ShareOfModeled(const Row& row, double ms) {
  return row.First.ModeledUs == 0 ? 0.0 : ms * 1000.0 / static_cast<double>(row.First.ModeledUs);
}

std::vector<std::string> RowLabels(const Row& row) {
  return {std::string(UpdateProcedureName(row.Case->Run)),
          std::string(EngineeringActionName(row.Case->Act)), row.Case->Label};
}

std::vector<std::pair<std::string, Align>> LabelColumns() {
  return {{"procedure", Align::Left}, {"action", Align::Left}, {"case", Align::Left}};
}

void PrintTimeTable(const std::vector<Row>& rows) {
  auto columns = LabelColumns();
  for (const char* heading :
       {"commands", "in KiB", "out KiB", "modeled ms", "erase ms", "program ms", "bus ms",
        "floor ms", "modeled/floor", "flash bus ms", "per-command ms", "sleeps ms"}) {
    columns.emplace_back(heading, Align::Right);
  }
  columns.emplace_back("ended", Align::Left);
  TextTable table(std::move(columns));
  for (const Row& row : rows) {
    std::vector<std::string> cells = RowLabels(row);
    if (row.First.Problem.empty()) {
      const CaseMeasurement& m = row.First;
      const PhysicalFloor& f = m.Floor;
      const double floorUs = static_cast<double>(f.TotalUs());
      for (std::string cell :
           {Format("%llu", static_cast<unsigned long long>(m.Bus.Commands)), Kib(m.Bus.BytesIn),
            Kib(m.Bus.BytesOut), Milliseconds(static_cast<double>(m.ModeledUs)),
            Milliseconds(static_cast<double>(f.EraseUs)),
            Milliseconds(static_cast<double>(f.ProgramUs)),
            Milliseconds(static_cast<double>(f.BusUs)), Milliseconds(floorUs),
            floorUs > 0 ? Format("%.2f", static_cast<double>(m.ModeledUs) / floorUs)
                        : std::string("-"),
            f.FlashBusUs > 0 ? Milliseconds(static_cast<double>(f.FlashBusUs)) : std::string("-"),
            Milliseconds(static_cast<double>(m.Bus.Commands * m.PerCommandUs)),
            Format("%llu", static_cast<unsigned long long>(m.Bus.SleptMs))}) {
        cells.push_back(std::move(cell));
      }
    } else {
      cells.resize(cells.size() + 12);
    }
    cells.push_back(Ended(row));
    table.AddRow(std::move(cells));
  }
  table.Print(stdout);
}

void PrintCpuTable(const std::vector<Row>& rows) {
  auto columns = LabelColumns();
  for (const char* heading : {"modeled ms", "host CPU ms", "(min-max)", "in device ms",
                              "tool CPU ms", "(min-max)", "tool/modeled", "all/modeled"}) {
    columns.emplace_back(heading, heading[0] == '(' ? Align::Left : Align::Right);
  }
  TextTable table(std::move(columns));
  for (const Row& row : rows) {
    if (!row.First.Problem.empty()) {
      continue;
    }
    std::vector<std::string> cells = RowLabels(row);
    for (std::string cell :
         {Milliseconds(static_cast<double>(row.First.ModeledUs)), Format("%.3f", row.CpuMs.Median),
          Format("(%.3f-%.3f)", row.CpuMs.Min, row.CpuMs.Max), Format("%.3f", row.DeviceMs.Median),
          Format("%.3f", row.ToolCpuMs.Median),
          Format("(%.3f-%.3f)", row.ToolCpuMs.Min, row.ToolCpuMs.Max),
          Percent(ShareOfModeled(row, row.ToolCpuMs.Median)),
          Percent(ShareOfModeled(row, row.CpuMs.Median))}) {
      cells.push_back(std::move(cell));
    }
    table.AddRow(std::move(cells));
  }
  table.Print(stdout);
}

struct MemoryRow {
  const ProcedureCase* Case = nullptr;
  PeakMemory Peak;
  PeakMemory DevicePeak;  // the run's platform calls replayed: the simulated device's share
  std::uint32_t SubjectBytes = 0;
  // What the run may add to the process: three times its image plus the allowance.
  long LimitKib() const { return 3 * static_cast<long>(SubjectBytes / 1024) + kMemoryAllowanceKib; }
  bool Within() const { return Peak.Problem.empty() && Peak.GrowthKib() <= LimitKib(); }
};

MemoryRow MeasureMemoryRow(const ProcedureCase& procedureCase) {
  MemoryRow row;
  row.Case = &procedureCase;
  row.SubjectBytes = SubjectBytes(procedureCase);
  row.Peak = MeasurePeakMemory([&](const std::function<void()>& markRunStart) {
    MeasureOptions options;
    options.LatencyModel = true;
    options.DropCommandLog = true;
    options.AtRunStart = markRunStart;
    options.SampleHeap = true;
    const CaseMeasurement outcome = MeasureCase(procedureCase, options);
    return WorkOutcome{outcome.Problem.empty() && outcome.EndedInSuccess,
                       static_cast<long>((outcome.HeapPeakBytes + 1023) / 1024)};
  });
  row.DevicePeak = MeasurePeakMemory([&](const std::function<void()>& markRunStart) {
    MeasureOptions options;
    options.LatencyModel = true;
    options.DropCommandLog = true;
    ReplayDeviceShare(procedureCase, options, markRunStart);
    return WorkOutcome{true, 0};
  });
  return row;
}

void PrintMemoryTable(const std::vector<MemoryRow>& rows) {
  TextTable table({{"procedure", Align::Left},
                   {"action", Align::Left},
                   {"case", Align::Left},
                   {"subject KiB", Align::Right},
                   {"at start KiB", Align::Right},
                   {"peak KiB", Align::Right},
                   {"growth KiB", Align::Right},
                   {"in device KiB", Align::Right},
                   {"tool heap KiB", Align::Right},
                   {"limit KiB", Align::Right},
                   {"verdict", Align::Left}});
  for (const MemoryRow& row : rows) {
    std::string verdict;
    if (!row.Peak.Problem.empty()) {
      verdict = "not measured: " + row.Peak.Problem;
    } else {
      verdict = row.Within() ? "within" : "ABOVE";
      if (!row.Peak.WorkSucceeded) {
        verdict += " (run did not succeed)";
      }
      if (!row.Peak.HighWaterReset) {
        verdict += " (high-water mark not reset)";
      }
    }
    table.AddRow({std::string(UpdateProcedureName(row.Case->Run)),
                  std::string(EngineeringActionName(row.Case->Act)), row.Case->Label,
                  Format("%u", row.SubjectBytes / 1024), Format("%ld", row.Peak.BaselineKib),
                  Format("%ld", row.Peak.PeakKib), Format("%ld", row.Peak.GrowthKib()),
                  row.DevicePeak.Problem.empty() ? Format("%ld", row.DevicePeak.GrowthKib())
                                                 : std::string("-"),
                  Format("%ld", row.Peak.WorkKib), Format("%ld", row.LimitKib()), verdict});
  }
  table.Print(stdout);
}

// Growth of the streaming procedure's heap per byte of image, from the smallest to the largest
// image of the series. The heap figure is exact to the byte; resident size moves in whole pages
// and allocator chunks, coarser than the procedure's few small buffers.
std::optional<double> StreamingSlope(const std::vector<MemoryRow>& series) {
  const MemoryRow* smallest = nullptr;
  const MemoryRow* largest = nullptr;
  for (const MemoryRow& row : series) {
    if (!row.Peak.Problem.empty()) {
      continue;
    }
    if (smallest == nullptr || row.SubjectBytes < smallest->SubjectBytes) {
      smallest = &row;
    }
    if (largest == nullptr || row.SubjectBytes > largest->SubjectBytes) {
      largest = &row;
    }
  }
  if (smallest == nullptr || largest == nullptr ||
      largest->SubjectBytes == smallest->SubjectBytes) {
    return std::nullopt;
  }
  return static_cast<double>(largest->Peak.WorkKib - smallest->Peak.WorkKib) /
         (static_cast<double>(largest->SubjectBytes - smallest->SubjectBytes) / 1024.0);
}

void PrintCpuVerdict(const std::vector<Row>& rows) {
  struct Worst {
    const Row* row = nullptr;
    double share = 0;
  };
  auto verdict = [&](const char* what, auto shareOf) {
    Worst worst;
    int met = 0;
    int counted = 0;
    for (const Row& row : rows) {
      if (!row.Counted()) {
        continue;
      }
      ++counted;
      const double share = shareOf(row);
      met += share < kCpuShareTarget ? 1 : 0;
      if (worst.row == nullptr || share > worst.share) {
        worst = {&row, share};
      }
    }
    std::printf("%s below 1%% of modeled duration: %s (%d of %d runs)", what,
                met == counted && counted > 0 ? "met" : "MISSED", met, counted);
    if (worst.row != nullptr) {
      std::printf("; highest %s in %s %s %s", Percent(worst.share).c_str(),
                  std::string(UpdateProcedureName(worst.row->Case->Run)).c_str(),
                  std::string(EngineeringActionName(worst.row->Case->Act)).c_str(),
                  worst.row->Case->Label);
    }
    std::printf("\n");
  };
  verdict("tool CPU (host CPU less the simulated device)",
          [](const Row& row) { return ShareOfModeled(row, row.ToolCpuMs.Median); });
  verdict("host CPU including the simulated device",
          [](const Row& row) { return ShareOfModeled(row, row.CpuMs.Median); });
  for (const Row& row : rows) {
    if (!row.Counted()) {
      std::printf("left out of the verdicts: %s %s %s (%s)\n",
                  std::string(UpdateProcedureName(row.Case->Run)).c_str(),
                  std::string(EngineeringActionName(row.Case->Act)).c_str(), row.Case->Label,
                  Ended(row).c_str());
    }
  }
}

void PrintMemoryVerdicts(const std::vector<MemoryRow>& largest,
                         const std::vector<MemoryRow>& series) {
  int within = 0;
  int measured = 0;
  for (const MemoryRow& row : largest) {
    if (row.Peak.Problem.empty()) {
      ++measured;
      within += row.Within() ? 1 : 0;
    }
  }
  std::printf(
      "no procedure above 3 x its image size + 4 MB (growth of peak resident): %s for %d "
      "of %d runs\n",
      within == measured && measured > 0 ? "met" : "MISSED", within, measured);
  const std::optional<double> slope = StreamingSlope(series);
  if (!slope) {
    std::printf("streaming procedure memory independent of image size: not measured\n");
  } else {
    std::printf(
        "streaming procedure memory independent of image size: %s (tool heap grows %.3f "
        "KiB per KiB of image; limit %.2f)\n",
        *slope < kStreamingSlopeLimit ? "met" : "MISSED", *slope, kStreamingSlopeLimit);
  }
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      options.Repeat = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--no-memory") == 0) {
      options.Memory = false;
    } else if (std::strcmp(argv[i], "--smoke") == 0) {
      options.Smoke = true;
    } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
      options.Only = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--repeat N] [--no-memory] [--only TEXT] [--smoke]\n",
                   argv[0]);
      std::exit(2);
    }
  }
  return options;
}

void PrintLoadAverage(const char* when) {
  double load[3] = {};
  if (getloadavg(load, 3) == 3) {
    std::printf("load average %s: %.2f %.2f %.2f\n", when, load[0], load[1], load[2]);
  }
}

int Report(const Options& options) {
  PrintLoadAverage("at start");
  std::vector<const ProcedureCase*> timeCases;
  std::vector<const ProcedureCase*> largestCases;
  std::vector<const ProcedureCase*> seriesCases;
  if (options.Smoke) {
    timeCases.push_back(&SmokeCase());
  } else {
    for (const ProcedureCase& procedureCase : ProcedureCases()) {
      if (!Selected(procedureCase, options)) {
        continue;
      }
      if ((procedureCase.Groups & (kEveryPreset | kEngineering | kLargest)) != 0) {
        timeCases.push_back(&procedureCase);
      }
      if ((procedureCase.Groups & kLargest) != 0) {
        largestCases.push_back(&procedureCase);
      }
      if ((procedureCase.Groups & kStreamSeries) != 0) {
        seriesCases.push_back(&procedureCase);
      }
    }
  }

  // Memory first, while this process is still small: every child starts as a copy of it.
  std::vector<MemoryRow> largestRows;
  std::vector<MemoryRow> seriesRows;
  if (options.Memory) {
    for (const ProcedureCase* procedureCase : largestCases) {
      largestRows.push_back(MeasureMemoryRow(*procedureCase));
    }
    for (const ProcedureCase* procedureCase : seriesCases) {
      seriesRows.push_back(MeasureMemoryRow(*procedureCase));
    }
  }

  std::vector<Row> rows;
  for (const ProcedureCase* procedureCase : timeCases) {
    rows.push_back(MeasureRow(*procedureCase, options.Repeat));
  }

  std::printf(
      "\nmodeled time, latency model on; floor = data-sheet erase and program times of the bytes "
      "written + host-bus time of the bytes moved\n");
  PrintTimeTable(rows);
  std::printf(
      "\nhost CPU per run, median of %d runs; in device = CPU of the run's platform calls "
      "replayed on an identical simulated machine\n",
      options.Repeat);
  PrintCpuTable(rows);
  if (options.Memory && !largestRows.empty()) {
    std::printf(
        "\npeak resident memory, one child process per case (ru_maxrss; high-water mark "
        "reset at the start of the run)\n");
    PrintMemoryTable(largestRows);
    std::printf("\nstreaming procedure over growing images\n");
    PrintMemoryTable(seriesRows);
  }
  std::printf("\n");
  PrintCpuVerdict(rows);
  if (options.Memory && !largestRows.empty()) {
    PrintMemoryVerdicts(largestRows, seriesRows);
  }
  PrintLoadAverage("at end");
  return 0;
}

}  // namespace
}  // namespace q71x::bench

int main(int argc, char** argv) {
  return q71x::bench::Report(q71x::bench::ParseOptions(argc, argv));
}
