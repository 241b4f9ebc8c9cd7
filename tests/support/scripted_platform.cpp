// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/support/scripted_platform.h"

#include <algorithm>
#include <cstring>

namespace q71x::testing {

void ScriptedPlatform::SetInterfaces(InterfaceClass cls, std::vector<std::string> paths,
                                     bool setAvailable) {
  interfaces_[cls] = std::move(paths);
  if (setAvailable) {
    unavailable_.erase(cls);
  } else {
    unavailable_.insert(cls);
  }
}

DeviceHandle ScriptedPlatform::OpenDevice(const std::string& path, AccessMode mode) {
  ++openCount_;
  if (unopenable_.count(path) != 0) {
    lastError_ = 2;
    return kInvalidDeviceHandle;
  }
  const DeviceHandle handle = nextHandle_++;
  open_[handle] = {path, mode};
  lastError_ = 0;
  return handle;
}

bool ScriptedPlatform::SendPassThrough(DeviceHandle handle, PassThroughRecord& record) {
  RecordedCommand command;
  auto it = open_.find(handle);
  if (it != open_.end()) {
    command.Path = it->second.first;
    command.Mode = it->second.second;
  }
  command.Record = record;
  command.Cdb.assign(record.Cdb, record.Cdb + std::min<std::size_t>(record.CdbLength, 16));
  command.HadDataBuffer = record.DataBuffer != nullptr;
  command.AtMs = nowMs_;
  if (record.DataIn == 0 && record.DataBuffer != nullptr) {
    command.DataOut.assign(record.DataBuffer, record.DataBuffer + record.DataTransferLength);
  }
  ScriptedReply reply = responder_ ? responder_(command) : ScriptedReply{};
  if (record.DataIn == 1 && record.DataBuffer != nullptr && !reply.Data.empty()) {
    const std::size_t n = std::min<std::size_t>(reply.Data.size(), record.DataTransferLength);
    std::memcpy(record.DataBuffer, reply.Data.data(), n);
  }
  if (reply.Transferred >= 0) {
    record.DataTransferLength = static_cast<std::uint32_t>(reply.Transferred);
  }
  record.Outcome = outcome_;
  lastError_ = reply.ErrorCode;
  commands_.push_back(std::move(command));
  return reply.Ok;
}

bool ScriptedPlatform::QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) {
  auto it = open_.find(handle);
  if (it == open_.end()) {
    lastError_ = 6;
    return false;
  }
  auto number = deviceNumbers_.find(it->second.first);
  if (number == deviceNumbers_.end()) {
    lastError_ = 1;
    return false;
  }
  out = number->second;
  lastError_ = 0;
  return true;
}

void ScriptedPlatform::CloseDevice(DeviceHandle handle) {
  ++closeCount_;
  open_.erase(handle);
}

bool ScriptedPlatform::EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) {
  paths.clear();
  if (unavailable_.count(cls) != 0) {
    return false;
  }
  auto it = interfaces_.find(cls);
  if (it != interfaces_.end()) {
    paths = it->second;
  }
  return true;
}

void ScriptedPlatform::SleepMs(std::uint32_t ms) {
  sleeps_.push_back(ms);
  nowMs_ += ms;
}

}  // namespace q71x::testing
