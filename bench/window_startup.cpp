// SPDX-License-Identifier: GPL-2.0-or-later
// q71x-window-startup: the window's start-up with 16 simulated enclosures attached, and the cost
// of one chip check on each of them.
//
//   q71x-window-startup [--warm N]
//
// Start-up is timed from just before TQ71xFwTool is constructed to the first paint event the
// window or one of its controls receives (offscreen platform unless QT_QPA_PLATFORM says
// otherwise); the construction alone and the show() call are shown beside it. The first window
// of the process is the cold start an operator sees; --warm N builds N more windows in the same
// process and reports their median. The QApplication is made before the clock starts.
//
// The chip check runs when the selected device or the firmware-file field changes; it is timed
// on each of the 16 devices by selecting it, and once more as a keystroke in the file field with
// a matching image named. The latency model is on, so each check also shows its commands and
// its modeled duration: on real hardware those milliseconds are spent waiting for the device.

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_devices.h"
#include "bench/report_table.h"
#include "bench/sim_machine.h"
#include "sim/hardware_presets.h"
#include "sim/presets.h"
#include "src/app/fwupdate.h"
#include "src/app/labeled_edit.h"
#include "src/image/sample_image.h"
#include "src/tool/chip_probe.h"
#include "tests/support/temp_dir.h"

namespace q71x::bench {
namespace {

// A control of the window by its layout name (the window keeps its controls to itself).
template <typename W>
W* Child(QWidget& window, const char* name) {
  W* found = window.findChild<W*>(QString::fromLatin1(name));
  if (found == nullptr) {
    std::fprintf(stderr, "no control named %s\n", name);
    std::exit(2);
  }
  return found;
}

constexpr int kEnclosures = 16;
constexpr int kPaintWaitMs = 5000;

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Notes the first paint event any widget receives after it is armed.
class FirstPaint final : public QObject {
 public:
  void Arm() { painted_ = false; }
  bool Painted() const { return painted_; }
  Clock::time_point At() const { return at_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!painted_ && event->type() == QEvent::Paint) {
      painted_ = true;
      at_ = Clock::now();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool painted_ = true;
  Clock::time_point at_;
};

// The first 16 presets, serial-flash families first, disk-class ones with a drive letter each.
void AttachEnclosures(sim::SimulatedSystem& system) {
  std::vector<std::string> keys;
  for (const sim::SerialFlashPreset& preset : sim::SerialFlashPresets()) {
    keys.push_back(preset.Key);
  }
  for (const sim::HardwarePreset& preset : sim::HardwarePresets()) {
    keys.push_back(preset.Key);
  }
  keys.resize(kEnclosures);
  char letter = 'E';
  for (const std::string& key : keys) {
    if (sim::Enclosure* enclosure = AddBenchDevice(system, key);
        enclosure != nullptr && enclosure->Kind == sim::InterfaceKind::Disk) {
      enclosure->Volumes.push_back(sim::SimVolume{letter++, false, false});
    }
  }
}

struct StartupFigures {
  double ConstructMs = 0;
  double ShowMs = 0;
  double FirstPaintMs = -1;  // -1: no paint arrived
  int Devices = 0;
  std::uint64_t Commands = 0;
  double ModeledMs = 0;
};

StartupFigures StartWindow(SimMachine& machine, FirstPaint& paint,
                           std::unique_ptr<TQ71xFwTool>& window) {
  StartupFigures figures;
  machine.Counter().ResetTally();
  const std::uint64_t modeledStart = machine.NowUs();
  paint.Arm();
  const Clock::time_point start = Clock::now();
  window = std::make_unique<TQ71xFwTool>();
  figures.ConstructMs = MsSince(start);
  window->show();
  figures.ShowMs = MsSince(start);
  QElapsedTimer guard;
  guard.start();
  while (!paint.Painted() && guard.elapsed() < kPaintWaitMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  if (paint.Painted()) {
    figures.FirstPaintMs = std::chrono::duration<double, std::milli>(paint.At() - start).count();
  }
  figures.Devices = window->Core().DeviceCount();
  figures.Commands = machine.Counter().Tally().Commands;
  figures.ModeledMs = static_cast<double>(machine.NowUs() - modeledStart) / 1000.0;
  return figures;
}

struct CheckFigures {
  std::uint64_t Commands = 0;
  double ModeledMs = 0;
  double HostMs = 0;
};

template <typename Action>
CheckFigures TimeCheck(SimMachine& machine, Action action) {
  machine.Counter().ResetTally();
  const std::uint64_t modeledStart = machine.NowUs();
  const Clock::time_point start = Clock::now();
  action();
  CheckFigures figures;
  figures.HostMs = MsSince(start);
  figures.Commands = machine.Counter().Tally().Commands;
  figures.ModeledMs = static_cast<double>(machine.NowUs() - modeledStart) / 1000.0;
  return figures;
}

// The enclosure's own name: the last part of its device path.
std::string DeviceName(const TQ71xFwTool& window, int item) {
  const std::string& path = window.Core().Devices()[static_cast<std::size_t>(item)].DevicePath;
  return path.substr(path.rfind(':') + 1);
}

// The command blocks logged from entry `from` on, in order.
std::vector<std::vector<std::uint8_t>> LoggedBlocks(SimMachine& machine, std::size_t from) {
  std::vector<std::vector<std::uint8_t>> blocks;
  const auto& entries = machine.System().Log().Entries();
  for (std::size_t i = from; i < entries.size(); ++i) {
    blocks.push_back(entries[i].Cdb);
  }
  return blocks;
}

// The benchmarks time the chip check's device part without the window (ProbeChip); this
// says whether that part sends the very blocks the window's check sent to the same device.
bool ProbesSendTheSameBlocks(SimMachine& machine, const std::string& path,
                             const std::vector<std::vector<std::uint8_t>>& windowBlocks) {
  const std::size_t from = machine.System().Log().Size();
  ChipState state;
  ProgramSettings settings;
  ProbeChip(path, state, settings);
  return LoggedBlocks(machine, from) == windowBlocks;
}

void PrintChipChecks(SimMachine& machine, TQ71xFwTool& window) {
  TextTable table({{"item", Align::Right},
                   {"device", Align::Left},
                   {"chip", Align::Left},
                   {"commands", Align::Right},
                   {"modeled ms", Align::Right},
                   {"host ms", Align::Right},
                   {"probes send the same", Align::Left}});
  for (int item = 0; item < Child<QComboBox>(window, "DeviceList")->count() && item < kEnclosures;
       ++item) {
    // Item 0 is already selected after start-up; going through another item makes the change.
    Child<QComboBox>(window, "DeviceList")->setCurrentIndex(item == 0 ? 1 : 0);
    const std::size_t logStart = machine.System().Log().Size();
    const CheckFigures figures =
        TimeCheck(machine, [&] { Child<QComboBox>(window, "DeviceList")->setCurrentIndex(item); });
    const bool same = ProbesSendTheSameBlocks(
        machine, window.Core().Devices()[static_cast<std::size_t>(item)].DevicePath,
        LoggedBlocks(machine, logStart));
    table.AddRow({Format("%d", item), DeviceName(window, item),
                  Child<TLabeledEdit>(window, "ChipLabelEdit")->text().toStdString(),
                  Format("%llu", static_cast<unsigned long long>(figures.Commands)),
                  Format("%.1f", figures.ModeledMs), Format("%.3f", figures.HostMs),
                  same ? "yes" : "NO"});
  }
  table.Print(stdout);
}

// One keystroke in the firmware-file field with item 0 selected and a matching image named.
void PrintKeystrokeCheck(SimMachine& machine, TQ71xFwTool& window) {
  testing::TempDir folder;
  SampleImageOptions image;
  image.ChipType = window.Core().State().ChipType;
  image.ChipRevision = window.Core().State().ChipRevision;
  const std::string file = folder.File("image.bin");
  if (WriteSampleImage(file, image) != 1) {
    std::printf("keystroke check: cannot write the image\n");
    return;
  }
  Child<QComboBox>(window, "DeviceList")->setCurrentIndex(0);
  Child<TLabeledEdit>(window, "FwFilenameEdit")
      ->setText(QString::fromStdString(file.substr(0, file.size() - 1)));
  const CheckFigures figures = TimeCheck(machine, [&] {
    Child<TLabeledEdit>(window, "FwFilenameEdit")->setText(QString::fromStdString(file));
  });
  std::printf(
      "keystroke in the firmware-file field (item 0, matching image): %llu commands, %.1f "
      "modeled ms, %.3f host ms\n",
      static_cast<unsigned long long>(figures.Commands), figures.ModeledMs, figures.HostMs);
}

int Run(int argc, char** argv) {
  int warm = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--warm") == 0 && i + 1 < argc) {
      warm = std::max(0, std::atoi(argv[++i]));
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  const Clock::time_point appStart = Clock::now();
  QApplication application(argc, argv);
  const double applicationMs = MsSince(appStart);

  SimMachine machine(true);
  AttachEnclosures(machine.System());
  FirstPaint paint;
  application.installEventFilter(&paint);

  std::unique_ptr<TQ71xFwTool> window;
  const StartupFigures cold = StartWindow(machine, paint, window);
  std::printf("QApplication construction (not in start-up): %.1f ms\n", applicationMs);
  std::printf(
      "cold start-up, %d devices listed: construct %.1f ms, show %.1f ms, first paint %.1f ms "
      "(%llu commands, %.1f modeled ms)\n",
      cold.Devices, cold.ConstructMs, cold.ShowMs, cold.FirstPaintMs,
      static_cast<unsigned long long>(cold.Commands), cold.ModeledMs);

  if (warm > 0) {
    std::vector<double> paints;
    for (int i = 0; i < warm; ++i) {
      window.reset();
      paints.push_back(StartWindow(machine, paint, window).FirstPaintMs);
    }
    const Spread spread = SpreadOf(paints);
    std::printf("warm start-up, %d more windows: first paint median %.1f ms (%.1f-%.1f)\n", warm,
                spread.Median, spread.Min, spread.Max);
  }

  std::printf("\nchip check per device (selecting it in the device list)\n");
  PrintChipChecks(machine, *window);
  PrintKeystrokeCheck(machine, *window);
  window.reset();
  return cold.FirstPaintMs < 0 ? 1 : 0;
}

}  // namespace
}  // namespace q71x::bench

int main(int argc, char** argv) {
  return q71x::bench::Run(argc, argv);
}
