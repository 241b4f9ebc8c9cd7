// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Registration of the window for USB device-interface arrival and removal messages. Only
// Windows has them; elsewhere the platform's own hot-plug source feeds the same debounce and
// these do nothing.

class QWidget;

namespace q71x {

// The registration handle, or null when there is none (failure is not reported: hot-plug then
// simply never triggers).
void* RegisterUsbDeviceNotification(QWidget& window);
void UnregisterUsbDeviceNotification(void* registration);

}  // namespace q71x
