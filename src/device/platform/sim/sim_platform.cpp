// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/sim/sim_platform.h"

#include <span>

#include "sim/unit_descriptors.h"

namespace q71x {

SimPlatform::SimPlatform(sim::SimulatedSystem& system) : system_(system) {}

SimPlatform::~SimPlatform() {
  system_.SetDeviceChangeListener(nullptr);
}

DeviceHandle SimPlatform::OpenDevice(const std::string& path, AccessMode mode) {
  const auto machine = system_.Hold();
  if (!system_.Exists(path)) {
    lastError_ = sim::kErrorFileNotFound;
    return kInvalidDeviceHandle;
  }
  // A query without access rights is allowed where reading and writing the device is not.
  if (mode != AccessMode::QueryOnly && system_.OpenRefused(path)) {
    lastError_ = sim::kErrorAccessDenied;
    return kInvalidDeviceHandle;
  }
  if (mode == AccessMode::ExclusiveReadWrite && system_.Faults().OnExclusiveOpen(path)) {
    lastError_ = sim::kErrorSharingViolation;
    return kInvalidDeviceHandle;
  }
  const DeviceHandle handle = nextHandle_++;
  open_[handle] = OpenObject{path, mode, sim::VolumePathLetter(path).has_value()};
  lastError_ = 0;
  return handle;
}

bool SimPlatform::SendPassThrough(DeviceHandle handle, PassThroughRecord& record) {
  const auto it = open_.find(handle);
  if (it == open_.end()) {
    lastError_ = sim::kErrorInvalidHandle;
    return false;
  }
  if (it->second.IsVolume) {
    lastError_ = sim::kErrorInvalidFunction;
    return false;
  }
  if (record.DataTransferLength > 0 && record.DataBuffer == nullptr) {
    lastError_ = sim::kErrorInvalidParameter;
    return false;
  }
  sim::Request request;
  request.CdbLength = record.CdbLength;
  std::copy(std::begin(record.Cdb), std::end(record.Cdb), request.Cdb.begin());
  request.DataIn = record.DataIn != 0;
  request.WireLength = record.DataTransferLength;
  request.TimeoutSeconds = record.TimeOutValue;
  if (record.DataBuffer != nullptr) {
    request.Data = std::span<std::uint8_t>(record.DataBuffer, record.DataTransferLength);
  }
  const sim::Reply reply = system_.Execute(it->second.Path, request);
  FollowPace();
  record.DataTransferLength = reply.Transferred;
  record.ScsiStatus = reply.ScsiStatus;
  lastError_ = reply.ErrorCode;
  // The simulator reports as the Windows storage stack does.
  record.Outcome = OutcomeOfWindowsRequest(reply.Ok, reply.ErrorCode, reply.ScsiStatus,
                                           reply.Sense.data(), reply.SenseLength);
  return reply.Ok;
}

bool SimPlatform::QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) {
  const auto it = open_.find(handle);
  if (it == open_.end()) {
    lastError_ = sim::kErrorInvalidHandle;
    return false;
  }
  const std::optional<sim::DeviceNumber> number = system_.QueryDeviceNumber(it->second.Path);
  if (!number) {
    lastError_ = sim::kErrorInvalidFunction;
    return false;
  }
  out.DeviceType = number->DeviceType;
  out.DeviceNumber = number->Number;
  out.PartitionNumber = number->Partition;
  lastError_ = 0;
  return true;
}

void SimPlatform::CloseDevice(DeviceHandle handle) {
  open_.erase(handle);
}

bool SimPlatform::EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) {
  return system_.InterfacePaths(
      cls == InterfaceClass::Disk ? sim::InterfaceKind::Disk : sim::InterfaceKind::Cdrom, paths);
}

SystemUnitFacets SimPlatform::UnitFacetsOf(const std::string& devicePath) {
  const sim::Enclosure* enclosure = system_.FindPlugged(devicePath);
  if (enclosure == nullptr) {
    return {};
  }
  return SystemUnitFacets{sim::PresentedUsbSerial(*enclosure), enclosure->PortPath,
                          enclosure->Guid1394};
}

std::uint32_t SimPlatform::MaxTransferBytes(const std::string& devicePath) {
  const sim::Enclosure* enclosure = system_.FindPlugged(devicePath);
  return reportsTransferLimit_ && enclosure != nullptr ? enclosure->MaxTransferBytes : 0;
}

std::vector<VolumeInfo> SimPlatform::ListVolumes() {
  std::vector<VolumeInfo> volumes;
  for (const sim::MachineVolume& volume : system_.Volumes()) {
    VolumeInfo info;
    info.Name = std::string(1, volume.Volume.Letter);
    info.QueryPath = std::string("\\\\.\\") + volume.Volume.Letter + ":";
    info.IsSystem = volume.Volume.IsSystem;
    info.IsRemote = volume.Volume.IsRemote;
    volumes.push_back(std::move(info));
  }
  return volumes;
}

void SimPlatform::SleepMs(std::uint32_t ms) {
  if (keepHistory_) {
    sleeps_.push_back(ms);
  }
  system_.Clock().AdvanceMs(ms);
  FollowPace();
}

void SimPlatform::SetPacing(WallClockPacing* pacing) {
  pacing_ = pacing;
  if (pacing_ != nullptr) {
    pacing_->StartAt(system_.Clock().NowUs());
  }
}

void SimPlatform::FollowPace() {
  if (pacing_ != nullptr) {
    pacing_->CatchUp(system_.Clock().NowUs());
  }
}

void SimPlatform::SetDeviceChangeListener(DeviceChangeListener listener) {
  if (!listener) {
    system_.SetDeviceChangeListener(nullptr);
    return;
  }
  system_.SetDeviceChangeListener([listener = std::move(listener)](sim::PlugEvent event) {
    listener(event == sim::PlugEvent::Arrival ? DeviceChange::Arrival : DeviceChange::Removal);
  });
}

}  // namespace q71x
