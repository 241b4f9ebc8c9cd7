// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/simulated_system.h"

#include <algorithm>
#include <cctype>

#include "sim/serial_flash.h"
#include "sim/unit_descriptors.h"

namespace q71x::sim {
namespace {

inline constexpr std::uint32_t kMachineDiskNumber = 0;

bool SamePath(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Deterministic noise for garbage replies, so a failing test can be replayed.
void FillWithNoise(std::span<std::uint8_t> bytes, std::uint64_t seed) {
  std::uint64_t state = seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull;
  for (std::uint8_t& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
}

LoggedCommand StartEntry(const std::string& path, const Request& request, std::uint64_t nowUs) {
  LoggedCommand entry;
  entry.Path = path;
  const std::size_t cdbLength = std::min<std::size_t>(request.CdbLength, request.Cdb.size());
  entry.Cdb.assign(request.Cdb.begin(), request.Cdb.begin() + cdbLength);
  entry.DataIn = request.DataIn;
  entry.WireLength = request.WireLength;
  entry.TimeoutSeconds = request.TimeoutSeconds;
  if (!request.DataIn && !request.Data.empty()) {
    const std::size_t kept = std::min(request.Data.size(), kLoggedDataLimit);
    entry.DataOut.assign(request.Data.begin(), request.Data.begin() + kept);
    entry.DataOutDigest = DigestBytes(request.Data);
  }
  entry.StartUs = nowUs;
  return entry;
}

}  // namespace

std::string MakeEnclosurePath(Bus bus, InterfaceKind kind, const std::string& name) {
  std::string path = "sim:";
  path += bus == Bus::Usb ? "usbstor:" : "sbp2:";
  path += kind == InterfaceKind::Disk ? "disk:" : "cdrom:";
  path += name;
  std::transform(path.begin(), path.end(), path.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return path;
}

std::optional<char> VolumePathLetter(const std::string& path) {
  if (path.size() != 6 || path.compare(0, 4, "\\\\.\\") != 0 || path[5] != ':' ||
      std::isalpha(static_cast<unsigned char>(path[4])) == 0) {
    return std::nullopt;
  }
  return static_cast<char>(std::toupper(static_cast<unsigned char>(path[4])));
}

SimulatedSystem::SimulatedSystem() {
  machineVolumes_.push_back(SimVolume{'C', true, false});
}

Enclosure& SimulatedSystem::AddEnclosure(Enclosure enclosure) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  if (enclosure.DeviceNumber == 0) {
    // The machine's own disk is disk 0; enclosures take the next free number of their type.
    std::uint32_t next = enclosure.DeviceType == kDeviceTypeDisk ? kMachineDiskNumber + 1 : 0;
    for (const auto& existing : enclosures_) {
      if (existing->DeviceType == enclosure.DeviceType) {
        next = std::max(next, existing->DeviceNumber + 1);
      }
    }
    enclosure.DeviceNumber = next;
  }
  // Each USB enclosure has a port of its own on the machine's first bus, in the order added.
  const auto usbBefore = std::count_if(enclosures_.begin(), enclosures_.end(),
                                       [](const auto& e) { return e->BusKind == Bus::Usb; });
  CompleteUnitFacets(enclosure, static_cast<int>(usbBefore) + 1);
  enclosures_.push_back(std::make_unique<Enclosure>(std::move(enclosure)));
  Enclosure& added = *enclosures_.back();
  PowerOnBridge(added.Bridge);
  PowerOnDescriptors(added);
  return added;
}

void SimulatedSystem::ReadDescriptorsAgain() {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  for (auto& enclosure : enclosures_) {
    PowerOnDescriptors(*enclosure);
  }
}

void SimulatedSystem::AddMachineVolume(SimVolume volume) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  machineVolumes_.push_back(volume);
}

Enclosure* SimulatedSystem::Find(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  for (auto& enclosure : enclosures_) {
    if (SamePath(enclosure->Path, path)) {
      return enclosure.get();
    }
  }
  return nullptr;
}

Enclosure* SimulatedSystem::FindPlugged(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  Enclosure* enclosure = Find(path);
  return enclosure != nullptr && enclosure->Plugged ? enclosure : nullptr;
}

void SimulatedSystem::Notify(PlugEvent event) {
  if (listener_) {
    listener_(event);
  }
}

bool SimulatedSystem::Unplug(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  Enclosure* enclosure = FindPlugged(path);
  if (enclosure == nullptr) {
    return false;
  }
  enclosure->Plugged = false;
  Notify(PlugEvent::Removal);
  return true;
}

bool SimulatedSystem::Plug(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  Enclosure* enclosure = Find(path);
  if (enclosure == nullptr || enclosure->Plugged) {
    return false;
  }
  enclosure->Plugged = true;
  PowerOnBridge(enclosure->Bridge);
  PowerOnDescriptors(*enclosure);
  Notify(PlugEvent::Arrival);
  return true;
}

bool SimulatedSystem::InterfacePaths(InterfaceKind kind, std::vector<std::string>& paths) const {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  paths.clear();
  const bool available =
      kind == InterfaceKind::Disk ? diskEnumerationAvailable_ : cdromEnumerationAvailable_;
  if (!available) {
    return false;
  }
  for (const auto& enclosure : enclosures_) {
    if (enclosure->Plugged && enclosure->Kind == kind) {
      paths.push_back(enclosure->Path);
    }
  }
  return true;
}

void SimulatedSystem::SetEnumerationAvailable(InterfaceKind kind, bool available) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  (kind == InterfaceKind::Disk ? diskEnumerationAvailable_ : cdromEnumerationAvailable_) =
      available;
}

std::vector<MachineVolume> SimulatedSystem::Volumes() const {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  std::vector<MachineVolume> volumes;
  for (const SimVolume& volume : machineVolumes_) {
    MachineVolume entry{volume, DeviceNumber{kDeviceTypeDisk, kMachineDiskNumber, 1}, true};
    entry.HasDeviceNumber = !volume.IsRemote;
    volumes.push_back(entry);
  }
  for (const auto& enclosure : enclosures_) {
    if (!enclosure->Plugged) {
      continue;
    }
    std::uint32_t partition = 1;
    for (const SimVolume& volume : enclosure->Volumes) {
      volumes.push_back(MachineVolume{
          volume, DeviceNumber{enclosure->DeviceType, enclosure->DeviceNumber, partition++},
          !volume.IsRemote});
    }
  }
  std::stable_sort(volumes.begin(), volumes.end(),
                   [](const auto& a, const auto& b) { return a.Volume.Letter < b.Volume.Letter; });
  return volumes;
}

std::optional<DeviceNumber> SimulatedSystem::QueryDeviceNumber(const std::string& path) const {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  if (const std::optional<char> letter = VolumePathLetter(path)) {
    for (const MachineVolume& volume : Volumes()) {
      if (volume.Volume.Letter == *letter) {
        return volume.HasDeviceNumber ? std::optional<DeviceNumber>(volume.Device) : std::nullopt;
      }
    }
    return std::nullopt;
  }
  for (const auto& enclosure : enclosures_) {
    if (enclosure->Plugged && SamePath(enclosure->Path, path)) {
      return DeviceNumber{enclosure->DeviceType, enclosure->DeviceNumber, 0};
    }
  }
  return std::nullopt;
}

void SimulatedSystem::SetOpenRefused(const std::string& path, bool refused) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  std::erase_if(refusedPaths_, [&](const std::string& p) { return SamePath(p, path); });
  if (refused) {
    refusedPaths_.push_back(path);
  }
}

bool SimulatedSystem::OpenRefused(const std::string& path) const {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  return std::any_of(refusedPaths_.begin(), refusedPaths_.end(),
                     [&](const std::string& p) { return SamePath(p, path); });
}

bool SimulatedSystem::Exists(const std::string& path) const {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  if (const std::optional<char> letter = VolumePathLetter(path)) {
    const auto volumes = Volumes();
    return std::any_of(volumes.begin(), volumes.end(),
                       [&](const MachineVolume& v) { return v.Volume.Letter == *letter; });
  }
  return std::any_of(enclosures_.begin(), enclosures_.end(), [&](const auto& enclosure) {
    return enclosure->Plugged && SamePath(enclosure->Path, path);
  });
}

Reply SimulatedSystem::Execute(const std::string& path, const Request& request) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  if (beforeCommand_) {
    beforeCommand_(path);
  }
  LoggedCommand entry = StartEntry(path, request, clock_.NowUs());
  Reply reply{false, kErrorDeviceNotConnected, 0, kScsiStatusGood};
  Enclosure* enclosure = FindPlugged(path);
  if (enclosure != nullptr && enclosure->MaxTransferBytes != 0 &&
      request.WireLength > enclosure->MaxTransferBytes) {
    // The system refuses the request itself: no bus time, no fault, nothing for the bridge.
    reply = Reply{false, kErrorInvalidParameter, 0, kScsiStatusGood};
  } else if (enclosure != nullptr) {
    clock_.AdvanceUs(timing_.CommandCostUs(enclosure->BusKind, request.WireLength));
    if (const std::optional<FaultAction> fault = faults_.OnCommand(path, entry.Cdb)) {
      entry.FaultApplied = true;
      reply = RunWithFault(*enclosure, request, *fault);
    } else {
      reply = RunOnBridge(*enclosure, request);
    }
  }
  entry.Ok = reply.Ok;
  entry.ErrorCode = reply.ErrorCode;
  entry.Transferred = reply.Transferred;
  entry.EndUs = clock_.NowUs();
  log_.Append(std::move(entry));
  return reply;
}

Reply SimulatedSystem::RunOnBridge(Enclosure& enclosure, const Request& request) {
  CommandContext context{
      clock_, clock_.NowUs() + static_cast<std::uint64_t>(request.TimeoutSeconds) * 1000000ull,
      timing_.Enabled()};
  Reply reply = ExecuteBridgeCommand(enclosure.Bridge, request, context);
  reply.Transferred = std::min(reply.Transferred, request.WireLength);
  return reply;
}

Reply SimulatedSystem::RunWithFault(Enclosure& enclosure, const Request& request,
                                    const FaultAction& fault) {
  switch (fault.Kind) {
    case FaultKind::Fail:
      return RejectedReply();
    case FaultKind::Timeout:
      clock_.AdvanceUs(static_cast<std::uint64_t>(request.TimeoutSeconds) * 1000000ull);
      return TimedOutReply();
    case FaultKind::ErrorCode: {
      Reply reply = RunOnBridge(enclosure, request);
      reply.Ok = true;
      reply.ErrorCode = fault.Value;
      return reply;
    }
    case FaultKind::Short:
    case FaultKind::ShortBy: {
      // The bridge works on a copy; only the first bytes cross the bus.
      std::vector<std::uint8_t> scratch(request.Data.begin(), request.Data.end());
      const std::size_t moved = BytesMoved(fault, scratch.size());
      if (!request.DataIn) {
        std::fill(scratch.begin() + static_cast<std::ptrdiff_t>(moved), scratch.end(), 0);
      }
      Request copy = request;
      copy.Data = scratch;
      Reply reply = RunOnBridge(enclosure, copy);
      const std::size_t delivered =
          request.DataIn ? std::min<std::size_t>(moved, reply.Transferred) : moved;
      if (request.DataIn) {
        std::copy_n(scratch.begin(), delivered, request.Data.begin());
      }
      reply.Transferred = static_cast<std::uint32_t>(delivered);
      return reply;
    }
    case FaultKind::Garbage: {
      if (request.DataIn) {
        Reply reply = RunOnBridge(enclosure, request);
        FillWithNoise(
            request.Data.first(std::min<std::size_t>(reply.Transferred, request.Data.size())),
            fault.Value + fault.Hit);
        return reply;
      }
      std::vector<std::uint8_t> scratch(request.Data.size());
      FillWithNoise(scratch, fault.Value + fault.Hit);
      Request copy = request;
      copy.Data = scratch;
      return RunOnBridge(enclosure, copy);
    }
    case FaultKind::GarbageField:
    case FaultKind::IdenticalGarble: {
      // The identical garble's noise never changes with the hit, so every answer agrees.
      const std::uint64_t seed =
          fault.Kind == FaultKind::IdenticalGarble ? fault.Value : fault.Value + fault.Hit;
      if (request.DataIn) {
        Reply reply = RunOnBridge(enclosure, request);
        FillWithNoise(FaultedField(fault, request.Data.first(std::min<std::size_t>(
                                              reply.Transferred, request.Data.size()))),
                      seed);
        return reply;
      }
      std::vector<std::uint8_t> scratch(request.Data.begin(), request.Data.end());
      FillWithNoise(FaultedField(fault, scratch), seed);
      Request copy = request;
      copy.Data = scratch;
      return RunOnBridge(enclosure, copy);
    }
    case FaultKind::Unplug:
      enclosure.Plugged = false;
      Notify(PlugEvent::Removal);
      return Reply{false, kErrorDeviceNotConnected, 0, kScsiStatusGood};
    case FaultKind::StuckBusy:
      if (enclosure.Bridge.Flash) {
        enclosure.Bridge.Flash->SetStuckBusy(true);
      }
      if (enclosure.Bridge.Parallel) {
        enclosure.Bridge.Parallel->StuckBusy = true;
      }
      return RunOnBridge(enclosure, request);
    case FaultKind::CheckCondition:
      return CheckConditionReply(static_cast<std::uint8_t>(fault.Value >> 16),
                                 static_cast<std::uint8_t>(fault.Value >> 8),
                                 static_cast<std::uint8_t>(fault.Value));
  }
  return RejectedReply();
}

}  // namespace q71x::sim
