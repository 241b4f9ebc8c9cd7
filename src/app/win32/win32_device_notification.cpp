// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/win32/win32_device_notification.h"

#include <dbt.h>

namespace q71x::win32 {
namespace {

// GUID_DEVINTERFACE_USB_DEVICE {A5DCBF10-6530-11D2-901F-00C04FB951ED}.
constexpr GUID kUsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

}  // namespace

HDEVNOTIFY RegisterUsbDeviceNotification(HWND window) {
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = kUsbDeviceInterface;
  return RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void UnregisterUsbDeviceNotification(HDEVNOTIFY registration) {
  if (registration != nullptr) {
    UnregisterDeviceNotification(registration);
  }
}

}  // namespace q71x::win32
