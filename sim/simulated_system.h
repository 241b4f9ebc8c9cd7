// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The simulated machine: its enclosures in the order the system lists them, its own volumes
// (the system drive, network drives), the virtual clock, the command log and the armed faults.
// Every exchange goes through Execute, which charges bus time, applies faults, lets the bridge
// answer and logs the outcome.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/bus_timing.h"
#include "sim/command_log.h"
#include "sim/enclosure.h"
#include "sim/exchange.h"
#include "sim/fault_injector.h"
#include "sim/virtual_clock.h"

namespace q71x::sim {

enum class PlugEvent { Arrival, Removal };

struct DeviceNumber {
  std::uint32_t DeviceType = 0;
  std::uint32_t Number = 0;
  std::uint32_t Partition = 0;
};

// A volume as the machine lists it, with the device it lives on.
struct MachineVolume {
  SimVolume Volume;
  DeviceNumber Device;
  bool HasDeviceNumber = true;  // network drives have none
};

class SimulatedSystem {
 public:
  // Starts with the system drive C: on the machine's own disk (disk number 0).
  SimulatedSystem();
  SimulatedSystem(const SimulatedSystem&) = delete;
  SimulatedSystem& operator=(const SimulatedSystem&) = delete;

  VirtualClock& Clock() { return clock_; }
  // Threads that drive enclosures side by side share the machine: each call below takes its
  // lock, and a sequence of calls (and of the log and the faults) that must not interleave
  // with another thread's holds it itself.
  std::unique_lock<std::recursive_mutex> Hold() { return std::unique_lock(lock_); }
  CommandLog& Log() { return log_; }
  FaultInjector& Faults() { return faults_; }
  BusTiming& Timing() { return timing_; }

  // Adds an enclosure at the end of the list. A device number of 0 asks for the next free one
  // of its device type. The bridge powers on.
  Enclosure& AddEnclosure(Enclosure enclosure);
  // Every bridge builds its descriptors again from its configuration area: what the machine's
  // start does once the memories an earlier run left are in place.
  void ReadDescriptorsAgain();
  // A volume of the machine itself (letter on the machine's disk, or a network drive).
  void AddMachineVolume(SimVolume volume);

  Enclosure* Find(const std::string& path);
  // Plugged enclosures only.
  Enclosure* FindPlugged(const std::string& path);
  const std::vector<std::unique_ptr<Enclosure>>& Enclosures() const { return enclosures_; }

  // Unplugging makes the path vanish; plugging it back powers the bridge on from its ROM and
  // enumerates it again (a port changed meanwhile is where it now is). Both tell the
  // device-change listener.
  bool Unplug(const std::string& path);
  bool Plug(const std::string& path);
  void SetDeviceChangeListener(std::function<void(PlugEvent)> listener) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    listener_ = std::move(listener);
  }

  // Interface paths of plugged enclosures of one class, in list order; false when that class is
  // made unavailable.
  bool InterfacePaths(InterfaceKind kind, std::vector<std::string>& paths) const;
  void SetEnumerationAvailable(InterfaceKind kind, bool available);
  // All volumes, ascending by letter: the machine's and those of plugged enclosures.
  std::vector<MachineVolume> Volumes() const;
  // For a device path or a volume path "\\.\E:"; nullopt when there is no such object now.
  std::optional<DeviceNumber> QueryDeviceNumber(const std::string& path) const;
  // Whether an open of the path would find an object.
  bool Exists(const std::string& path) const;
  // The machine's permissions: a device whose node this user may not read and write is found
  // by enumeration but refused when opened for reading and writing.
  void SetOpenRefused(const std::string& path, bool refused);
  bool OpenRefused(const std::string& path) const;

  // Told the path of every exchange before it is carried out: a test stops the program that
  // drives the machine at a chosen command this way.
  void SetBeforeCommand(std::function<void(const std::string& path)> watcher) {
    beforeCommand_ = std::move(watcher);
  }

  // One exchange with the enclosure at `path`. A data phase above the enclosure's
  // MaxTransferBytes fails with kErrorInvalidParameter before it reaches the bridge.
  Reply Execute(const std::string& path, const Request& request);

 private:
  Reply RunWithFault(Enclosure& enclosure, const Request& request, const FaultAction& fault);
  Reply RunOnBridge(Enclosure& enclosure, const Request& request);
  void Notify(PlugEvent event);

  mutable std::recursive_mutex lock_;
  VirtualClock clock_;
  CommandLog log_;
  FaultInjector faults_;
  BusTiming timing_;
  std::vector<std::unique_ptr<Enclosure>> enclosures_;
  std::vector<SimVolume> machineVolumes_;
  bool diskEnumerationAvailable_ = true;
  bool cdromEnumerationAvailable_ = true;
  std::vector<std::string> refusedPaths_;
  std::function<void(PlugEvent)> listener_;
  std::function<void(const std::string&)> beforeCommand_;
};

// Parses "\\.\E:" (any case); nullopt for anything else.
std::optional<char> VolumePathLetter(const std::string& path);

}  // namespace q71x::sim
