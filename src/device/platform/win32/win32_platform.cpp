// SPDX-License-Identifier: GPL-2.0-or-later
// clang-format off
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>
#include <setupapi.h>
#include <initguid.h>
#include <devguid.h>
// clang-format on

#include "src/device/platform/win32/win32_platform.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "src/device/platform/interface_path_facets.h"

namespace q71x::win32_platform {
namespace {

// GUID_DEVINTERFACE_DISK and GUID_DEVINTERFACE_CDROM, spelled out so that the build does not
// depend on which header of the tool chain instantiates them.
constexpr GUID kDiskInterface = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
constexpr GUID kCdromInterface = {
    0x53F56308, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
constexpr DWORD kDetailBlockSize = 1024;

// The direct record with room for the sense bytes behind it, so a refusal comes back with its
// reason. The transport's record asks for no sense; the backend asks on its own behalf.
struct PassThroughWithSense {
  SCSI_PASS_THROUGH_DIRECT Direct;
  ULONG Filler;  // keeps the sense area aligned, as the port driver's own samples do
  UCHAR Sense[kSenseBufferBytes];
};

HANDLE ToHandle(DeviceHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

StructureSizes PlatformStructureSizes() {
  return StructureSizes{sizeof(SCSI_PASS_THROUGH_DIRECT), sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A),
                        sizeof(SP_DEVICE_INTERFACE_DATA)};
}

DeviceHandle Win32Platform::OpenDevice(const std::string& path, AccessMode mode) {
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  if (mode == AccessMode::ExclusiveReadWrite) {
    share = 0;
  } else if (mode == AccessMode::QueryOnly) {
    access = 0;
    share = 0;
  }
  HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
  lastError_ = GetLastError();
  if (handle == INVALID_HANDLE_VALUE) {
    return kInvalidDeviceHandle;
  }
  return reinterpret_cast<DeviceHandle>(handle);
}

bool Win32Platform::IsAccessDenied(std::uint32_t errorCode) const {
  return errorCode == ERROR_ACCESS_DENIED;
}

bool Win32Platform::IsBusy(std::uint32_t errorCode) const {
  return errorCode == ERROR_SHARING_VIOLATION || errorCode == ERROR_BUSY;
}

bool Win32Platform::SendPassThrough(DeviceHandle handle, PassThroughRecord& record) {
  // The transport's record carries the values; the platform's structure is built from it so
  // that its size is the one this build target has.
  PassThroughWithSense request;
  std::memset(&request, 0, sizeof request);
  SCSI_PASS_THROUGH_DIRECT& direct = request.Direct;
  direct.Length = static_cast<USHORT>(sizeof direct);
  direct.PathId = record.PathId;
  direct.TargetId = record.TargetId;
  direct.Lun = record.Lun;
  direct.CdbLength = record.CdbLength;
  direct.SenseInfoLength = static_cast<UCHAR>(sizeof request.Sense);
  direct.DataIn = record.DataIn;
  direct.DataTransferLength = record.DataTransferLength;
  direct.TimeOutValue = record.TimeOutValue;
  direct.DataBuffer = record.DataBuffer;
  direct.SenseInfoOffset = static_cast<ULONG>(offsetof(PassThroughWithSense, Sense));
  std::memcpy(direct.Cdb, record.Cdb, sizeof direct.Cdb);

  DWORD returned = 0;
  const BOOL ok = DeviceIoControl(ToHandle(handle), IOCTL_SCSI_PASS_THROUGH_DIRECT, &request,
                                  sizeof request, &request, sizeof request, &returned, nullptr);
  lastError_ = GetLastError();
  record.DataTransferLength = direct.DataTransferLength;
  record.ScsiStatus = direct.ScsiStatus;
  // The port driver writes back how many sense bytes it filled in.
  record.Outcome = OutcomeOfWindowsRequest(ok != FALSE, lastError_, direct.ScsiStatus,
                                           request.Sense, direct.SenseInfoLength);
  return ok != FALSE;
}

bool Win32Platform::QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) {
  STORAGE_DEVICE_NUMBER number;
  std::memset(&number, 0, sizeof number);
  DWORD returned = 0;
  const BOOL ok = DeviceIoControl(ToHandle(handle), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0,
                                  &number, sizeof number, &returned, nullptr);
  lastError_ = GetLastError();
  out.DeviceType = number.DeviceType;
  out.DeviceNumber = number.DeviceNumber;
  out.PartitionNumber = number.PartitionNumber;
  return ok != FALSE;
}

std::uint32_t Win32Platform::MaxTransferBytes(const std::string& devicePath) {
  HANDLE handle = CreateFileA(devicePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return 0;
  }
  STORAGE_PROPERTY_QUERY query;
  std::memset(&query, 0, sizeof query);
  query.PropertyId = StorageAdapterProperty;
  query.QueryType = PropertyStandardQuery;
  STORAGE_ADAPTER_DESCRIPTOR adapter;
  std::memset(&adapter, 0, sizeof adapter);
  DWORD returned = 0;
  const BOOL ok = DeviceIoControl(handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                                  &adapter, sizeof adapter, &returned, nullptr);
  CloseHandle(handle);
  if (ok == FALSE || returned < offsetof(STORAGE_ADAPTER_DESCRIPTOR, AlignmentMask)) {
    return 0;
  }
  std::uint32_t limit = adapter.MaximumTransferLength;
  // A buffer that does not start on a page boundary spans one page more than its length.
  constexpr std::uint32_t kPageBytes = 4096;
  if (adapter.MaximumPhysicalPages > 1) {
    const std::uint64_t byPages =
        static_cast<std::uint64_t>(adapter.MaximumPhysicalPages - 1) * kPageBytes;
    if (byPages < limit) {
      limit = static_cast<std::uint32_t>(byPages);
    }
  }
  // Our data buffers start on 8192-byte boundaries, which meets any alignment below that; the
  // pieces are kept whole multiples of the adapter's alignment as well.
  const std::uint32_t alignment = static_cast<std::uint32_t>(adapter.AlignmentMask) + 1;
  return alignment > 1 ? limit / alignment * alignment : limit;
}

void Win32Platform::CloseDevice(DeviceHandle handle) {
  CloseHandle(ToHandle(handle));
}

bool Win32Platform::EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) {
  paths.clear();
  const GUID& guid = cls == InterfaceClass::Disk ? kDiskInterface : kCdromInterface;
  HDEVINFO set =
      SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) {
    return false;
  }
  std::vector<unsigned char> block(kDetailBlockSize);
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = sizeof data;
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data)) {
      break;
    }
    std::fill(block.begin(), block.end(), 0);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, kDetailBlockSize, nullptr, nullptr)) {
      break;  // the first failing member ends the enumeration
    }
    paths.emplace_back(detail->DevicePath);
  }
  SetupDiDestroyDeviceInfoList(set);
  return true;
}

std::vector<VolumeInfo> Win32Platform::ListVolumes() {
  std::vector<VolumeInfo> volumes;
  char windowsDir[512] = {};
  GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
  const char systemLetter = windowsDir[0];
  DWORD mask = GetLogicalDrives();
  for (int i = 0; mask != 0; ++i, mask >>= 1) {
    if ((mask & 1) == 0) {
      continue;
    }
    const char letter = static_cast<char>('A' + i);
    const std::string root = std::string(1, letter) + ":\\";
    VolumeInfo volume;
    volume.Name = std::string(1, letter);
    volume.QueryPath = std::string("\\\\.\\") + letter + ":";
    volume.IsSystem = letter == systemLetter;
    volume.IsRemote = GetDriveTypeA(root.c_str()) == DRIVE_REMOTE;
    volumes.push_back(volume);
  }
  return volumes;
}

void Win32Platform::SleepMs(std::uint32_t ms) {
  Sleep(ms);
}

std::uint64_t Win32Platform::MonotonicMs() {
  return GetTickCount64();
}

void Win32Platform::DebugOutput(const std::string& text) {
  OutputDebugStringA(text.c_str());
}

SystemUnitFacets Win32Platform::UnitFacetsOf(const std::string& devicePath) {
  // The interface path names the device instance; nothing needs to be asked of the system.
  return UnitFacetsOfInterfacePath(devicePath);
}

}  // namespace q71x::win32_platform
