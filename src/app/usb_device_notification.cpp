// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/usb_device_notification.h"

#include <QWidget>

#ifdef Q_OS_WIN
// clang-format off
#include <windows.h>
#include <dbt.h>
// clang-format on

#include "src/app/fwupdate.h"
#endif

namespace q71x {

#ifdef Q_OS_WIN
namespace {

// GUID_DEVINTERFACE_USB_DEVICE {A5DCBF10-6530-11D2-901F-00C04FB951ED}.
constexpr GUID kUsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

}  // namespace

void* RegisterUsbDeviceNotification(QWidget& window) {
  DEV_BROADCAST_DEVICEINTERFACE_A filter;
  ZeroMemory(&filter, sizeof filter);
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = kUsbDeviceInterface;
  return RegisterDeviceNotificationA(reinterpret_cast<HWND>(window.winId()), &filter,
                                     DEVICE_NOTIFY_WINDOW_HANDLE);
}

void UnregisterUsbDeviceNotification(void* registration) {
  if (registration != nullptr) {
    UnregisterDeviceNotification(static_cast<HDEVNOTIFY>(registration));
  }
}

bool TQ71xFwTool::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  if (eventType == "windows_generic_MSG") {
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message == WM_DEVICECHANGE) {
      Core().DeviceChangeMsg(static_cast<std::uint32_t>(msg->wParam));
      *result = TRUE;
      return true;
    }
  }
  return QWidget::nativeEvent(eventType, message, result);
}

#else

void* RegisterUsbDeviceNotification(QWidget&) {
  return nullptr;
}
void UnregisterUsbDeviceNotification(void*) {}

#endif

}  // namespace q71x
