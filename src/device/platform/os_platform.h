// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The operating system's platform of this build, for the executables' entry points: each links
// the backend its build has and defines Q71X_OS_PLATFORM_LINUX or Q71X_OS_PLATFORM_WIN32.
// Q71X_HAS_OS_PLATFORM is defined when there is one.

#if defined(Q71X_OS_PLATFORM_LINUX)
#include "src/device/platform/linux/linux_platform.h"
#define Q71X_HAS_OS_PLATFORM 1
namespace q71x {
using OsPlatform = linux_platform::LinuxPlatform;
}
#elif defined(Q71X_OS_PLATFORM_WIN32)
#include "src/device/platform/win32/win32_platform.h"
#define Q71X_HAS_OS_PLATFORM 1
namespace q71x {
using OsPlatform = win32_platform::Win32Platform;
}
#endif
