// SPDX-License-Identifier: GPL-2.0-or-later
// What a bridge's ROM does for an SST flash: unprotect it at boot where the personality says so,
// pick auto-address-increment programming for its block writes, and close an auto-increment run
// the host left open before its own block commands touch the flash.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "sim/chip_personalities.h"
#include "sim/serial_flash.h"
#include "sim/serial_flash_parts.h"
#include "tests/sim/sim_host.h"

namespace q71x::sim {
namespace {

using testing::Host;
using testing::Pattern;

class BridgeBootTest : public ::testing::Test {
 protected:
  Host& Fit(const std::string& partName, bool unprotectAtBoot,
            std::optional<std::uint8_t> vendor = {}) {
    PersonalityOptions options;
    options.FlashVendorByte = vendor;
    Enclosure enclosure;
    enclosure.Path = MakeEnclosurePath(Bus::Usb, InterfaceKind::Disk,
                                       partName + std::to_string(system_.Enclosures().size()));
    enclosure.Bridge = BridgeState(*MakeChipPersonality(11, IdentifyRoute::Inquiry, options));
    enclosure.Bridge.Personality.UnprotectsFlashAtBoot = unprotectAtBoot;
    enclosure.Bridge.Flash = std::make_unique<SerialFlash>(*FindSerialFlashPart(partName));
    enclosure.Bridge.Flash->Load(0, std::vector<std::uint8_t>(65536, 0x00));
    enclosure_ = &system_.AddEnclosure(std::move(enclosure));
    host_.emplace(system_, enclosure_->Path);
    return *host_;
  }
  std::vector<std::uint8_t> Flash(std::uint32_t at, std::uint32_t length) const {
    const auto& contents = enclosure_->Bridge.Flash->Contents();
    return {contents.begin() + at, contents.begin() + at + length};
  }

  SimulatedSystem system_;
  Enclosure* enclosure_ = nullptr;
  std::optional<Host> host_;
};

TEST_F(BridgeBootTest, ProtectedPartErasesOnlyBehindARomThatUnprotectsIt) {
  Host& locked = Fit("SST25VF016B", false);
  locked.EraseSector(0);
  locked.PollUntilIdle();
  EXPECT_EQ(Flash(0, 4), std::vector<std::uint8_t>(4, 0x00));

  Host& unlocked = Fit("SST25VF016B", true);
  unlocked.EraseSector(0);
  unlocked.PollUntilIdle();
  EXPECT_EQ(Flash(0, 4), std::vector<std::uint8_t>(4, 0xFF));
  // A power cycle protects the part again, and the ROM unprotects it again.
  system_.Unplug(enclosure_->Path);
  system_.Plug(enclosure_->Path);
  enclosure_->Bridge.Flash->Load(0x1000, std::vector<std::uint8_t>(4, 0x00));
  unlocked.EraseSector(0);
  unlocked.PollUntilIdle();
  EXPECT_EQ(Flash(0x1000, 4), std::vector<std::uint8_t>(4, 0xFF));
}

TEST_F(BridgeBootTest, BlockReadClosesAnAutoIncrementRunLeftOpen) {
  Host& host = Fit("SST25VF016B", true);
  host.EraseChip();
  host.PollUntilIdle();
  // Word programming through the raw channel, never ended with WRITE DISABLE.
  host.Out({0xFF, 0x04, 0x20, 0x01, 0x00, 0x06});
  host.Out({0xFF, 0x04, 0x20, 0x04, 0x01, 0xAD, 0x00, 0x00, 0x00});
  host.Out({0xFF, 0x04, 0x22}, {0x12, 0x34});
  host.PollUntilIdle();
  host.Out({0xFF, 0x04, 0x20, 0x03, 0x00, 0xAD, 0x56, 0x78});
  host.PollUntilIdle();
  ASSERT_TRUE(enclosure_->Bridge.Flash->InAaiMode());
  EXPECT_EQ(host.ReadBlock(0, 6), (std::vector<std::uint8_t>{0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF}));
  EXPECT_FALSE(enclosure_->Bridge.Flash->InAaiMode());
}

TEST_F(BridgeBootTest, RomThatKnowsSstProgramsBlocksByAutoIncrement) {
  Host& host = Fit("SST25VF016B", true, 2);
  host.EraseChip();
  host.PollUntilIdle();
  const std::vector<std::uint8_t> data = Pattern(512, 0x21);
  ASSERT_TRUE(host.WriteBlock(0x2000, data).Ok);
  EXPECT_EQ(host.ReadBlock(0x2000, 512), data);

  // Without that knowledge the bridge's page program writes one byte per command on this part.
  Host& plain = Fit("SST25VF016B", true);
  plain.EraseChip();
  plain.PollUntilIdle();
  plain.WriteBlock(0x2000, data);
  EXPECT_NE(plain.ReadBlock(0x2000, 512), data);
}

}  // namespace
}  // namespace q71x::sim
