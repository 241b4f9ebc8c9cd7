// SPDX-License-Identifier: GPL-2.0-or-later
#ifdef _WIN32
#include "src/device/platform/win32/win32_platform.h"

#include <gtest/gtest.h>

namespace q71x::win32_platform {
namespace {

TEST(Win32PlatformTest, StructureSizesOfThisTarget) {
  const StructureSizes sizes = PlatformStructureSizes();
  if (sizeof(void*) == 8) {
    EXPECT_EQ(56u, sizes.PassThroughDirect);
    EXPECT_EQ(8u, sizes.InterfaceDetailHeader);
    EXPECT_EQ(32u, sizes.InterfaceData);
  } else {
    EXPECT_EQ(44u, sizes.PassThroughDirect);
    EXPECT_EQ(5u, sizes.InterfaceDetailHeader);
    EXPECT_EQ(28u, sizes.InterfaceData);
  }
}

TEST(Win32PlatformTest, UnknownPathDoesNotOpenAndVolumesAreLetters) {
  Win32Platform platform;
  EXPECT_EQ(kInvalidDeviceHandle,
            platform.OpenDevice("\\\\?\\usbstor#no&such#device", AccessMode::SharedReadWrite));
  EXPECT_NE(0u, platform.LastErrorCode());
  for (const VolumeInfo& volume : platform.ListVolumes()) {
    ASSERT_EQ(1u, volume.Name.size());
    EXPECT_EQ("\\\\.\\" + volume.Name + ":", volume.QueryPath);
  }
  std::vector<std::string> paths;
  platform.EnumerateInterfaces(InterfaceClass::Disk, paths);  // wine lists none; must not fail
  for (const auto& path : paths) {
    EXPECT_FALSE(path.empty());
  }
}

}  // namespace
}  // namespace q71x::win32_platform
#endif
