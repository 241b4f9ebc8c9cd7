// SPDX-License-Identifier: GPL-2.0-or-later
// The FF 04 family as a bridge carries it out against its serial flash. Every command block is
// written out byte by byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "sim/chip_personalities.h"
#include "sim/serial_flash.h"
#include "sim/serial_flash_parts.h"
#include "tests/sim/sim_host.h"

namespace q71x::sim {
namespace {

using testing::Host;
using testing::Pattern;

class Ff04Test : public ::testing::Test {
 protected:
  // An enclosure with `partName` behind a QV40714 bridge, the flash filled with `fill`.
  Host& Fit(const char* partName, std::uint8_t fill = 0x00) {
    const SerialFlashPart* part = FindSerialFlashPart(partName);
    EXPECT_NE(part, nullptr) << partName;
    Enclosure enclosure;
    enclosure.Path = MakeEnclosurePath(Bus::Usb, InterfaceKind::Disk, partName);
    enclosure.Bridge = BridgeState(*MakeChipPersonality(1, IdentifyRoute::Inquiry));
    enclosure.Bridge.Flash = std::make_unique<SerialFlash>(*part);
    enclosure.Bridge.Flash->Load(0, std::vector<std::uint8_t>(part->SizeBytes, fill));
    enclosure_ = &system_.AddEnclosure(std::move(enclosure));
    host_.emplace(system_, enclosure_->Path);
    return *host_;
  }
  const std::vector<std::uint8_t>& Contents() const { return enclosure_->Bridge.Flash->Contents(); }
  std::vector<std::uint8_t> Contents(std::uint32_t at, std::uint32_t length) const {
    return {Contents().begin() + at, Contents().begin() + at + length};
  }
  static bool AllFf(const std::vector<std::uint8_t>& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](auto b) { return b == 0xFF; });
  }

  SimulatedSystem system_;
  Enclosure* enclosure_ = nullptr;
  std::optional<Host> host_;
};

TEST_F(Ff04Test, SectorEraseThenBlockWriteThenBlockReadGivesTheData) {
  Host& host = Fit("W25X10");
  ASSERT_TRUE(host.EraseSector(0x10000).Ok);  // default opcode D8: 64 KB
  ASSERT_GE(host.PollUntilIdle(), 0);
  EXPECT_TRUE(AllFf(Contents(0x10000, 0x10000)));
  EXPECT_EQ(Contents()[0xFFFF], 0x00);

  const std::vector<std::uint8_t> data = Pattern(8192, 0x11);
  const Reply written = host.WriteBlock(0x12000, data);
  EXPECT_TRUE(written.Ok);
  EXPECT_EQ(written.Transferred, 8192u);
  EXPECT_EQ(host.ReadBlock(0x12000, 8192), data);
}

TEST_F(Ff04Test, BlockWriteOverOldDataGivesTheAnd) {
  Host& host = Fit("W25X10", 0x0F);
  host.WriteBlock(0x100, std::vector<std::uint8_t>(256, 0xF3));
  EXPECT_EQ(host.ReadBlock(0x100, 256), std::vector<std::uint8_t>(256, 0x03));
}

TEST_F(Ff04Test, EraseLeavesTheFlashBusyForItsModeledTime) {
  Host& host = Fit("W25X10");
  const std::uint32_t eraseUs = FindSerialFlashPart("W25X10")->FindEraser(0xD8)->TimeUs;
  host.EraseSector(0);
  EXPECT_EQ(host.Status() & 0x01, 0x01);
  const int polls = host.PollUntilIdle();
  // Polled every 10 ms: as many polls as the erase takes, give or take the bus time.
  EXPECT_NEAR(polls, static_cast<int>(eraseUs / 10000), 2);
  EXPECT_EQ(host.Status() & 0x03, 0x00);
}

TEST_F(Ff04Test, BlockCommandsWaitForABusyFlashBeforeStarting) {
  Host& host = Fit("W25X10");
  host.EraseSector(0);
  const std::uint64_t busyUntil = enclosure_->Bridge.Flash->BusyUntilUs();
  EXPECT_TRUE(AllFf(host.ReadBlock(0, 64)));
  EXPECT_GE(system_.Clock().NowUs(), busyUntil);
}

TEST_F(Ff04Test, StuckBusyFlashMakesBlockCommandsTimeOut) {
  Host& host = Fit("W25X10");
  system_.Faults().Arm(
      FaultRule{CdbPattern::Prefix({0xFF, 0x04, 0x14}), 1, 1, "", FaultKind::StuckBusy, 0});
  host.EraseSector(0);
  const std::uint64_t before = system_.Clock().NowUs();
  const testing::InResult read = host.In({0xFF, 0x04, 0x10, 0x00, 0x00, 0x00}, 16, 10);
  EXPECT_FALSE(read.reply.Ok);
  EXPECT_EQ(read.reply.ErrorCode, kErrorSemTimeout);
  EXPECT_GE(system_.Clock().NowUs() - before, 10'000'000u);
  EXPECT_EQ(host.PollUntilIdle(600), -1);
}

TEST_F(Ff04Test, PageSizeMustMatchThePartOrTheDataWraps) {
  Host& host = Fit("MX25V512-P32", 0xFF);
  const std::vector<std::uint8_t> data = Pattern(256, 0x01);
  host.WriteBlock(0x0, data);  // the bridge's default 256-byte pages
  EXPECT_NE(host.ReadBlock(0x0, 256), data);

  // SetFlashPageSize: FF 04 25 02 NN, NN = page size / 4.
  EXPECT_TRUE(host.In({0xFF, 0x04, 0x25, 0x02, 0x08}, 2).reply.Ok);
  host.WriteBlock(0x1000, data);
  EXPECT_EQ(host.ReadBlock(0x1000, 256), data);
}

TEST_F(Ff04Test, SetFlashOpcodesExSetsOpcodesAndPageSize) {
  Host& host = Fit("MX25V1006-P32", 0xFF);
  EXPECT_TRUE(host.Out({0xFF, 0x04, 0x0F, 0xC7, 0xD8, 0x02, 0x20, 0x08}).Ok);
  EXPECT_EQ(enclosure_->Bridge.FlashAccess.PageSize, 32u);
  const std::vector<std::uint8_t> data = Pattern(512, 0x09);
  host.WriteBlock(0x2000, data);
  EXPECT_EQ(host.ReadBlock(0x2000, 512), data);
}

TEST_F(Ff04Test, EraseOpcodesComeFromSetFlashOpcodes) {
  Host& host = Fit("AT25F512A");
  // The ROM defaults C7 / D8 mean nothing to this part: the erase does not happen.
  host.EraseChip();
  host.EraseSector(0x8000);
  EXPECT_EQ(Contents()[0x8000], 0x00);

  // FF 04 24 02 O0 O1 O2 O3 01: chip erase 62, sector erase 52, program 02, vendor 4.
  EXPECT_TRUE(host.In({0xFF, 0x04, 0x24, 0x02, 0x62, 0x52, 0x02, 0x04, 0x01}, 2).reply.Ok);
  host.EraseSector(0x8123);
  host.PollUntilIdle();
  EXPECT_TRUE(AllFf(Contents(0x8000, 0x8000)));
  EXPECT_EQ(Contents()[0x7FFF], 0x00);
  host.EraseChip();
  host.PollUntilIdle();
  EXPECT_TRUE(AllFf(Contents()));
}

TEST_F(Ff04Test, MisbuiltSetFlashOpcodesIsRefused) {
  Host& host = Fit("AT25F512A");
  EXPECT_FALSE(host.In({0xFF, 0x04, 0x24, 0x04, 0x62, 0x52, 0x02, 0x04, 0x01}, 2).reply.Ok);
  EXPECT_FALSE(host.In({0xFF, 0x04, 0x24, 0x02, 0x62, 0x52, 0x02, 0x04, 0x00}, 2).reply.Ok);
  EXPECT_EQ(enclosure_->Bridge.FlashAccess.ChipEraseOpcode, 0xC7);
}

TEST_F(Ff04Test, SstBlockWritesUseAutoIncrementOnceTheOpcodesSaySo) {
  Host& host = Fit("SST25VF010A", 0x00);
  // SST powers on protected: ENABLE WRITE STATUS, then WRITE STATUS 00 with its data phase.
  host.Out({0xFF, 0x04, 0x20, 0x01, 0x00, 0x50});
  host.Out({0xFF, 0x04, 0x20, 0x01, 0x01, 0x01});
  host.Out({0xFF, 0x04, 0x22}, {0x00, 0x00});
  EXPECT_EQ(host.Status() & 0x0C, 0x00);

  host.In({0xFF, 0x04, 0x24, 0x02, 0x60, 0x52, 0xAF, 0x02, 0x01}, 2);
  host.EraseChip();
  host.PollUntilIdle();
  EXPECT_TRUE(AllFf(Contents()));
  const std::vector<std::uint8_t> data = Pattern(1024, 0x77);
  EXPECT_TRUE(host.WriteBlock(0x400, data).Ok);
  EXPECT_EQ(host.ReadBlock(0x400, 1024), data);
  EXPECT_FALSE(enclosure_->Bridge.Flash->InAaiMode());
}

TEST_F(Ff04Test, ProtectedFlashRefusesBridgeEraseUntilWriteStatusZero) {
  Host& host = Fit("AT25DF041A");
  host.EraseSector(0);
  host.PollUntilIdle();
  EXPECT_EQ(Contents()[0], 0x00);
  host.WriteBlock(0x100, {0x00});
  // UnprotectSerialFlash's commands: WRITE ENABLE, then WRITE STATUS 00 (data phase 01 00).
  EXPECT_TRUE(host.Out({0xFF, 0x04, 0x20, 0x01, 0x00, 0x06}).Ok);
  EXPECT_EQ(host.Status() & 0x02, 0x02);
  EXPECT_TRUE(host.Out({0xFF, 0x04, 0x20, 0x02, 0x00, 0x01}, {0x01, 0x00}).Ok);
  host.PollUntilIdle();
  EXPECT_EQ(host.Status(), 0x00);
  host.EraseSector(0);
  host.PollUntilIdle();
  EXPECT_TRUE(AllFf(Contents(0, 0x10000)));
}

TEST_F(Ff04Test, RawChannelDrivesTheFlashCommandByCommand) {
  Host& host = Fit("W25X10", 0xFF);
  const testing::InResult id = host.SpiIn(0x9F, 4);
  EXPECT_TRUE(id.reply.Ok);
  EXPECT_EQ(id.data, (std::vector<std::uint8_t>{0xEF, 0x30, 0x11, 0xFF}));

  // Page program through the channel: WRITE ENABLE, 02 with the address, then the page.
  const std::vector<std::uint8_t> page = Pattern(256, 0x30);
  host.Out({0xFF, 0x04, 0x20, 0x01, 0x00, 0x06});
  host.Out({0xFF, 0x04, 0x20, 0x04, 0x01, 0x02, 0x00, 0x03, 0x00});
  EXPECT_TRUE(host.Out({0xFF, 0x04, 0x22}, page).Ok);
  EXPECT_EQ(host.Status() & 0x01, 0x01);
  host.PollUntilIdle();
  EXPECT_EQ(Contents(0x300, 256), page);
}

TEST_F(Ff04Test, RawDataPhaseWithoutACommandIsRefused) {
  Host& host = Fit("W25X10");
  EXPECT_FALSE(host.In({0xFF, 0x04, 0x21}, 4).reply.Ok);
  EXPECT_FALSE(host.Out({0xFF, 0x04, 0x22}, {0x00, 0x00}).Ok);
  EXPECT_FALSE(host.Out({0xFF, 0x04, 0x20, 0x08, 0x00, 0x06}).Ok);  // more than 7 bytes
}

TEST_F(Ff04Test, AnAbandonedDataPhaseStillDeliversTheCommandBytes) {
  Host& host = Fit("W25X10");
  host.Out({0xFF, 0x04, 0x20, 0x01, 0x01, 0x06});  // WRITE ENABLE announced with a data phase
  EXPECT_EQ(host.Status() & 0x02, 0x02);           // the next command deselects the flash
}

TEST_F(Ff04Test, LegacyIdsComeBackWithAndWithoutDummyBytes) {
  Host& atmel = Fit("AT25F512A");
  EXPECT_EQ(atmel.LegacyId(0x15, false).data, (std::vector<std::uint8_t>{0x1F, 0x65, 0xFF}));
  Host& st = Fit("M25P05");
  EXPECT_EQ(st.LegacyId(0xAB, true).data, (std::vector<std::uint8_t>{0x05, 0x05, 0x05}));
  // Without the dummy bytes the signature has not come yet.
  EXPECT_EQ(st.LegacyId(0xAB, false).data, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF}));
}

TEST_F(Ff04Test, OneByteStatusReadMovesOneByte) {
  Host& host = Fit("W25X10");
  const testing::InResult status = host.In({0xFF, 0x04, 0x12}, 1);
  EXPECT_TRUE(status.reply.Ok);
  EXPECT_EQ(status.reply.Transferred, 1u);
}

TEST_F(Ff04Test, SessionOpenAndCloseAreAcceptedOthersRefused) {
  Host& host = Fit("W25X10");
  EXPECT_TRUE(host.Out({0xFF, 0x04, 0x51, 0x56, 0x55}).Ok);
  EXPECT_TRUE(enclosure_->Bridge.SessionOpen);
  EXPECT_TRUE(host.Out({0xFF, 0x04, 0x51, 0x56, 0xAA}).Ok);
  EXPECT_FALSE(enclosure_->Bridge.SessionOpen);
  EXPECT_FALSE(host.Out({0xFF, 0x04, 0x51, 0x56, 0x00}).Ok);
  EXPECT_TRUE(host.Out({0xFF, 0x04, 0x25}).Ok);  // PrepareFlashWrite
}

TEST_F(Ff04Test, ReplugRestoresTheRomSettingsButKeepsTheFlash) {
  Host& host = Fit("MX25V512-P32", 0xFF);
  host.In({0xFF, 0x04, 0x25, 0x02, 0x08}, 2);
  host.WriteBlock(0x0, Pattern(64, 0x01));
  ASSERT_TRUE(system_.Unplug(host.Path()));
  EXPECT_FALSE(host.In({0xFF, 0x04, 0x12}, 1).reply.Ok);
  ASSERT_TRUE(system_.Plug(host.Path()));
  EXPECT_EQ(enclosure_->Bridge.FlashAccess.PageSize, 256u);
  EXPECT_EQ(host.ReadBlock(0x0, 64), Pattern(64, 0x01));
}

TEST_F(Ff04Test, BusTimeIsChargedPerCommandAndPerByteAndCanBeSwitchedOff) {
  Host& host = Fit("W25X10");
  std::uint64_t before = system_.Clock().NowUs();
  host.ReadBlock(0, 16);
  const std::uint64_t small = system_.Clock().NowUs() - before;
  before = system_.Clock().NowUs();
  host.ReadBlock(0, 65536);
  const std::uint64_t large = system_.Clock().NowUs() - before;
  EXPECT_GE(small, kUsbHighSpeedCost.PerCommandUs);
  EXPECT_GT(large, small + 64 * kUsbHighSpeedCost.PerKibUs);

  system_.Timing().SetEnabled(false);
  before = system_.Clock().NowUs();
  host.ReadBlock(0, 65536);
  EXPECT_EQ(system_.Clock().NowUs(), before);
}

}  // namespace
}  // namespace q71x::sim
