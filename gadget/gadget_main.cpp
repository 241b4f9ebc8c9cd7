// SPDX-License-Identifier: GPL-2.0-or-later
// q71x-gadget: shows one simulated enclosure to the kernel as a USB mass-storage device through
// FunctionFS, so that the tool's Linux build can be tested through the real usb-storage and sg
// drivers. Runs as root in a machine with a USB device controller (dummy_hcd in the test VM).
//
//   q71x-gadget --preset KEY [--flash PART] [--name NAME] [--udc UDC] [--plain-disk FILE]
//               [--socket PATH]
//
// KEY is a serial-flash preset or a USB hardware preset (DF, parallel-flash and disk-kept
// families). PART puts a larger serial-flash part of the simulator's table on the preset's board,
// holding what the preset's flash held (the rest erased): an image above what one request of the
// kernel carries. The control socket takes "plug", "unplug", "dump FILE" (the serial flash as it
// is now), "save DIR" (every memory of the enclosure, as the simulator's state folder keeps
// them), "resets" (how many mass-storage resets the host sent), "serial" (the USB serial number
// the host reads, which is NAME), "unplug-on-change" (waits until the serial flash changes, as
// an erase or a program does, and unplugs at once: the cable pulled in the middle of an update)
// and "quit" (unplug and end; the configfs tree stays until the
// machine restarts).

#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "gadget/bot/scsi_target.h"
#include "gadget/device/configfs_gadget.h"
#include "gadget/device/control_socket.h"
#include "gadget/device/ffs_function.h"
#include "sim/attached_disk.h"
#include "sim/hardware_presets.h"
#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/serial_flash_parts.h"
#include "src/simhost/sim_state_folder.h"

namespace {

using namespace q71x;
using namespace q71x::gadget;

// The disk in a disk-class enclosure: small, so the kernel's partition scan stays quick.
constexpr std::uint64_t kAttachedDiskSectors = 32768;  // 16 MiB of 512-byte sectors

struct Options {
  std::string Preset;
  std::string FlashPart;
  std::string Name = "q71x";
  std::string Udc;
  std::string PlainDisk;
  std::string Socket;
};

void PrintUsage() {
  std::fputs(
      "usage: q71x-gadget --preset KEY [--flash PART] [--name NAME] [--udc UDC] "
      "[--plain-disk FILE] [--socket PATH]\npresets:\n",
      stderr);
  for (const sim::SerialFlashPreset& preset : sim::SerialFlashPresets()) {
    std::fprintf(stderr, "  %-18s %s%s\n", preset.Key, preset.Description,
                 preset.Kind == sim::InterfaceKind::Cdrom ? " (CD-ROM class)" : "");
  }
  for (const sim::HardwarePreset& preset : sim::HardwarePresets()) {
    if (preset.BusKind == sim::Bus::Usb) {
      std::fprintf(stderr, "  %-18s %s\n", preset.Key, preset.Description);
    }
  }
}

// A serial-flash preset, or a hardware preset on USB: a gadget is a USB device.
std::optional<sim::Enclosure> MakeGadgetEnclosure(const std::string& key) {
  if (std::optional<sim::Enclosure> enclosure = sim::MakePresetEnclosure(key)) {
    return enclosure;
  }
  const sim::HardwarePreset* preset = sim::FindHardwarePreset(key);
  if (preset == nullptr || preset->BusKind != sim::Bus::Usb) {
    return std::nullopt;
  }
  return sim::MakeHardwarePresetEnclosure(key);
}

// The same board with another flash part soldered on, programmed with the old part's bytes.
bool ReplaceFlashPart(sim::Enclosure& enclosure, const std::string& partName) {
  const sim::SerialFlashPart* part = sim::FindSerialFlashPart(partName);
  if (part == nullptr || !enclosure.Bridge.Flash ||
      part->SizeBytes < enclosure.Bridge.Flash->Contents().size()) {
    return false;
  }
  auto flash = std::make_unique<sim::SerialFlash>(*part);
  flash->Load(0, enclosure.Bridge.Flash->Contents());
  enclosure.Bridge.Flash = std::move(flash);
  enclosure.Bridge.Personality.UnprotectsFlashAtBoot =
      (part->PowerOnStatus & part->ProtectMask) != 0;
  return true;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (i + 1 >= argc) {
      return false;
    }
    const std::string value = argv[++i];
    if (flag == "--preset") {
      options.Preset = value;
    } else if (flag == "--flash") {
      options.FlashPart = value;
    } else if (flag == "--name") {
      options.Name = value;
    } else if (flag == "--udc") {
      options.Udc = value;
    } else if (flag == "--plain-disk") {
      options.PlainDisk = value;
    } else if (flag == "--socket") {
      options.Socket = value;
    } else {
      return false;
    }
  }
  if (options.Socket.empty()) {
    options.Socket = "/run/" + options.Name + ".sock";
  }
  return !options.Preset.empty();
}

std::uint64_t SteadyMicroseconds() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "q71x-gadget: %s\n", message.c_str());
  return 1;
}

struct Gadget {
  sim::SimulatedSystem System;
  std::string EnclosurePath;
  GadgetLayout Layout;
  std::string Udc;
  std::mutex Lock;  // the enclosure, shared by the bulk thread and the control socket
  FfsFunction Function;
};

std::string DumpFlash(Gadget& gadget, const std::string& file) {
  std::vector<std::uint8_t> contents;
  {
    std::lock_guard<std::mutex> lock(gadget.Lock);
    const sim::Enclosure* enclosure = gadget.System.Find(gadget.EnclosurePath);
    if (enclosure == nullptr || !enclosure->Bridge.Flash) {
      return "error no serial flash";
    }
    contents = enclosure->Bridge.Flash->Contents();
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(contents.data()),
            static_cast<std::streamsize>(contents.size()));
  out.close();
  return out ? "ok " + std::to_string(contents.size()) : "error cannot write " + file;
}

std::string SaveMemories(Gadget& gadget, const std::string& folder) {
  std::vector<std::string> failed;
  {
    std::lock_guard<std::mutex> lock(gadget.Lock);
    failed = SimStateFolder(folder).Save(gadget.System);
  }
  return failed.empty() ? "ok" : "error cannot write " + failed.front();
}

// The enclosure follows the cable: pulled out it vanishes, plugged back it boots from its ROM.
std::string Unplug(Gadget& gadget) {
  std::string error;
  if (!UnbindGadget(gadget.Layout, error)) {
    return "error " + error;
  }
  std::lock_guard<std::mutex> lock(gadget.Lock);
  gadget.System.Unplug(gadget.EnclosurePath);
  return "ok";
}

// Polled rather than hooked into the bulk thread: unbinding from that thread would wait for
// itself. A few milliseconds late is still long before the update could end.
std::string UnplugOnFlashChange(Gadget& gadget) {
  constexpr auto kPoll = std::chrono::milliseconds(10);
  constexpr auto kGiveUp = std::chrono::seconds(25);  // within the guest client's time-out
  const auto deadline = std::chrono::steady_clock::now() + kGiveUp;
  std::vector<std::uint8_t> armed;
  for (bool changed = false; !changed; std::this_thread::sleep_for(kPoll)) {
    if (std::chrono::steady_clock::now() > deadline) {
      return "error the flash did not change";
    }
    std::lock_guard<std::mutex> lock(gadget.Lock);
    const sim::Enclosure* enclosure = gadget.System.Find(gadget.EnclosurePath);
    if (enclosure == nullptr || !enclosure->Bridge.Flash) {
      return "error no serial flash";
    }
    if (armed.empty()) {
      armed = enclosure->Bridge.Flash->Contents();
    }
    changed = enclosure->Bridge.Flash->Contents() != armed;
  }
  return Unplug(gadget);
}

std::string Plug(Gadget& gadget) {
  {
    std::lock_guard<std::mutex> lock(gadget.Lock);
    gadget.System.Plug(gadget.EnclosurePath);
  }
  std::string error;
  return BindGadget(gadget.Layout, gadget.Udc, error) ? "ok" : "error " + error;
}

std::string HandleControlLine(Gadget& gadget, const std::string& line, bool& quit) {
  if (line == "plug") {
    return Plug(gadget);
  }
  if (line == "unplug") {
    return Unplug(gadget);
  }
  if (line == "unplug-on-change") {
    return UnplugOnFlashChange(gadget);
  }
  if (line.rfind("dump ", 0) == 0) {
    return DumpFlash(gadget, line.substr(5));
  }
  if (line.rfind("save ", 0) == 0) {
    return SaveMemories(gadget, line.substr(5));
  }
  if (line == "serial") {
    return "ok " + gadget.Layout.Name;
  }
  if (line == "resets") {
    return "ok " + std::to_string(gadget.Function.ResetCount());
  }
  if (line == "quit") {
    quit = true;
    return Unplug(gadget);
  }
  return "error unknown command: " + line;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    PrintUsage();
    return 2;
  }
  std::optional<sim::Enclosure> enclosure = MakeGadgetEnclosure(options.Preset);
  if (!enclosure) {
    PrintUsage();
    return Fail("unknown preset " + options.Preset);
  }
  if (!options.FlashPart.empty() && !ReplaceFlashPart(*enclosure, options.FlashPart)) {
    return Fail("no serial-flash part " + options.FlashPart + " as large as the preset's flash");
  }
  // The disk-kept presets bring their own disk, with the firmware behind its reported end.
  if (enclosure->Kind == sim::InterfaceKind::Disk && !enclosure->Bridge.Disk) {
    sim::AttachedDiskGeometry geometry;
    geometry.ReportedSectors = kAttachedDiskSectors;
    geometry.IdentifySectors = kAttachedDiskSectors;
    enclosure->Bridge.Disk.emplace(geometry);
  }

  Gadget gadget;
  gadget.EnclosurePath = gadget.System.AddEnclosure(std::move(*enclosure)).Path;
  gadget.Layout.Name = options.Name;
  if (!options.PlainDisk.empty()) {
    gadget.Layout.PlainDiskImage = options.PlainDisk;
  }
  gadget.Udc = options.Udc.empty() ? FirstUdc() : options.Udc;
  if (gadget.Udc.empty()) {
    return Fail("no USB device controller (load dummy_hcd)");
  }
  ScsiTarget target(gadget.System, gadget.EnclosurePath, SteadyMicroseconds);

  std::string error;
  if (!CreateGadget(gadget.Layout, error)) {
    return Fail(error);
  }
  const std::filesystem::path mountDir = "/dev/ffs-" + options.Name;
  std::filesystem::create_directories(mountDir);
  if (::mount(options.Name.c_str(), mountDir.c_str(), "functionfs", 0, nullptr) != 0) {
    return Fail("cannot mount functionfs at " + mountDir.string() + ": " + std::strerror(errno));
  }
  if (!gadget.Function.Open(mountDir, error)) {
    return Fail(error);
  }
  gadget.Function.Start(target, gadget.Lock);
  const int listenFd = ListenOnControlSocket(options.Socket, error);
  if (listenFd < 0) {
    return Fail(error);
  }
  if (!BindGadget(gadget.Layout, gadget.Udc, error)) {
    return Fail(error);
  }
  std::fprintf(stderr, "q71x-gadget: %s (%s) plugged into %s, control socket %s\n",
               options.Preset.c_str(), gadget.EnclosurePath.c_str(), gadget.Udc.c_str(),
               options.Socket.c_str());

  bool quit = false;
  while (!quit) {
    if (!ServeOneControlRequest(listenFd, [&](const std::string& line) {
          return HandleControlLine(gadget, line, quit);
        })) {
      return Fail("control socket failed: " + std::string(std::strerror(errno)));
    }
  }
  // The bulk and control threads are blocked in FunctionFS reads that only end with the
  // process; leaving without running destructors under them is the clean way out.
  std::fflush(nullptr);
  std::_Exit(0);
}
