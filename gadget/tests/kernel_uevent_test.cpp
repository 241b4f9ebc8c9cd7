// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/guest/kernel_uevent.h"

#include <gtest/gtest.h>

#include <string>

namespace q71x::guest {
namespace {

std::optional<KernelUevent> Parse(const std::string& message) {
  return ParseKernelUevent(std::span<const char>(message.data(), message.size()));
}

TEST(KernelUevent, ReadsActionPathAndSubsystem) {
  using namespace std::string_literals;
  const auto event = Parse(
      "remove@/devices/platform/dummy_hcd.0/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0/"
      "scsi_generic/sg0\0ACTION=remove\0DEVPATH=/devices/x/scsi_generic/sg0\0"
      "SUBSYSTEM=scsi_generic\0MAJOR=21\0MINOR=0\0DEVNAME=sg0\0SEQNUM=1234\0"s);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->Action, "remove");
  EXPECT_EQ(event->DevPath, "/devices/x/scsi_generic/sg0");
  EXPECT_EQ(event->Subsystem, "scsi_generic");
}

TEST(KernelUevent, RefusesUdevdMessagesAndIncompleteOnes) {
  using namespace std::string_literals;
  EXPECT_FALSE(Parse("libudev\0\xfe\xed\xca\xfe"s));
  EXPECT_FALSE(Parse("add@/devices/x\0DEVPATH=/devices/x\0SUBSYSTEM=block\0"s)) << "no action";
  EXPECT_FALSE(Parse("add@/devices/x\0ACTION=add\0"s)) << "no subsystem";
  EXPECT_FALSE(Parse(""));
}

TEST(KernelUevent, AMessageWithoutTheFinalZeroStillParses) {
  using namespace std::string_literals;
  const auto event = Parse("add@/devices/y\0ACTION=add\0SUBSYSTEM=block"s);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->Subsystem, "block");
}

}  // namespace
}  // namespace q71x::guest
