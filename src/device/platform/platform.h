// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The one place that touches the operating system. Exactly one backend is active in a process
// (win32, linux or the in-process simulator); every device command, sleep and clock read goes
// through it, so tests can run the whole tool on virtual time.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "src/device/platform/pass_through_outcome.h"

namespace q71x {

using DeviceHandle = std::intptr_t;
inline constexpr DeviceHandle kInvalidDeviceHandle = -1;

enum class AccessMode {
  SharedReadWrite,     // read/write, others may read and write too (data-in commands)
  ExclusiveReadWrite,  // read/write, no sharing (data-out commands)
  QueryOnly,           // no access rights, no sharing (device-number query)
};

// The fields of the platform's direct pass-through record, in its order. The transport fills
// it; a backend carries it out and writes back DataTransferLength (bytes actually moved),
// ScsiStatus and Outcome. DataBuffer points to an 8192-aligned area of DataTransferLength bytes,
// or is null. Outcome is ours, not the platform's: each backend says there why the request ended
// as it did, with the sense bytes it asked the driver for on its own behalf.
struct PassThroughRecord {
  std::uint16_t Length = 0;
  std::uint8_t ScsiStatus = 0;
  std::uint8_t PathId = 0;
  std::uint8_t TargetId = 0;
  std::uint8_t Lun = 0;
  std::uint8_t CdbLength = 0;
  std::uint8_t SenseInfoLength = 0;
  std::uint8_t DataIn = 0;  // 1: data flows from the device; 0: to the device (or no data)
  std::uint32_t DataTransferLength = 0;
  std::uint32_t TimeOutValue = 0;  // seconds
  std::uint8_t* DataBuffer = nullptr;
  std::uint32_t SenseInfoOffset = 0;
  std::uint8_t Cdb[16] = {};
  PassThroughOutcome Outcome;
};

// Reply of the storage device-number query.
struct StorageDeviceNumber {
  std::uint32_t DeviceType = 0;
  std::uint32_t DeviceNumber = 0;
  std::uint32_t PartitionNumber = 0;
};

enum class InterfaceClass { Disk, Cdrom };

// One mounted volume of the machine, in the order the platform lists them (ascending drive
// letter on Windows). Name is what the window shows: a drive letter on Windows and under the
// simulator, a partition or mount point on Linux. QueryPath is opened for the device-number
// query that ties the volume to a device.
struct VolumeInfo {
  std::string Name;
  std::string QueryPath;
  bool IsSystem = false;  // holds the running system (never listed)
  bool IsRemote = false;  // network drive (never listed)
};

enum class DeviceChange { Arrival, Removal, Other };

// What the system knows of the unit behind a device path without sending it anything: the USB
// device's serial number and where it is plugged in, or the IEEE 1394 unit's GUID. Empty fields:
// the system does not say.
struct SystemUnitFacets {
  std::string UsbSerial;
  std::string PortPath;  // "usb:1-1.2" on Linux, the device instance's location on Windows
  std::string Guid1394;  // 16 lower-case hex digits
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Opens an existing device object; kInvalidDeviceHandle when it cannot be opened.
  virtual DeviceHandle OpenDevice(const std::string& path, AccessMode mode) = 0;
  // Issues one pass-through request; the record is both input and output. True when the
  // platform reports the request as carried out.
  virtual bool SendPassThrough(DeviceHandle handle, PassThroughRecord& record) = 0;
  // The error code the platform left for the calling thread by the last request or query.
  virtual std::uint32_t LastErrorCode() = 0;
  virtual bool QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) = 0;
  virtual void CloseDevice(DeviceHandle handle) = 0;

  // Device-interface paths of one class, lower-case or not as the platform has them, in member
  // order, up to the first member whose path cannot be had. False when the set of present
  // devices cannot be obtained.
  virtual bool EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) = 0;
  virtual std::vector<VolumeInfo> ListVolumes() = 0;

  virtual void SleepMs(std::uint32_t ms) = 0;
  virtual std::uint64_t MonotonicMs() = 0;
  virtual void DebugOutput(const std::string& text) = 0;

  // Hot-plug: the backend calls the listener for every device arrival or removal it learns of.
  // A backend without a source of such events ignores the listener.
  using DeviceChangeListener = std::function<void(DeviceChange)>;
  virtual void SetDeviceChangeListener(DeviceChangeListener listener) { (void)listener; }
  // A backend whose hot-plug events arrive on a file descriptor exposes it here (-1: none); the
  // window watches it and calls ProcessDeviceChangeEvents when it becomes readable, which
  // reports the pending events to the listener.
  virtual int DeviceChangeFd() { return -1; }
  virtual void ProcessDeviceChangeEvents() {}

  // The unit facets of a listed device path (see SystemUnitFacets); nothing is sent to it.
  virtual SystemUnitFacets UnitFacetsOf(const std::string& devicePath) {
    (void)devicePath;
    return {};
  }

  // The largest data phase, in bytes, the system carries in one pass-through request to a listed
  // device path; 0 when it does not say. A larger request is refused by the system without
  // reaching the device, so callers cut addressed transfers to this size. Nothing is sent.
  virtual std::uint32_t MaxTransferBytes(const std::string& devicePath) {
    (void)devicePath;
    return 0;
  }

  // A plain-words explanation when bridges are present but cannot be used (for example no
  // permission to open them); empty when there is nothing to say.
  virtual std::string AccessNotice() { return {}; }

  // Whether an error code this backend left (LastErrorCode) after a refused OpenDevice means
  // the system denied access to the device, as opposed to its absence or a busy device: EACCES
  // or EPERM on Linux, ERROR_ACCESS_DENIED on Windows and under the simulator.
  virtual bool IsAccessDenied(std::uint32_t errorCode) const {
    (void)errorCode;
    return false;
  }
  // Whether such an error code means another open holds the device for now (EBUSY on Linux,
  // a sharing violation on Windows and under the simulator): worth trying again shortly.
  virtual bool IsBusy(std::uint32_t errorCode) const {
    (void)errorCode;
    return false;
  }
};

// The active backend. Device code reaches the platform only through this.
Platform& ActivePlatform();
// Installs a backend (not owned) and returns the previous one; null restores the built-in one
// that fails every device operation.
Platform* SetActivePlatform(Platform* platform);

// Installs a backend for the lifetime of a scope (tests, the simulator executable).
class ScopedActivePlatform {
 public:
  explicit ScopedActivePlatform(Platform& platform) : previous_(SetActivePlatform(&platform)) {}
  ~ScopedActivePlatform() { SetActivePlatform(previous_); }
  ScopedActivePlatform(const ScopedActivePlatform&) = delete;
  ScopedActivePlatform& operator=(const ScopedActivePlatform&) = delete;

 private:
  Platform* previous_;
};

}  // namespace q71x
