// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/bot/bulk_only_command.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "gadget/bot/bulk_only.h"
#include "gadget/tests/preset_bridge.h"

namespace q71x::gadget {
namespace {

// The host's ends of the two bulk pipes. Host to gadget keeps packet boundaries, as USB does (a
// wrapper is a short packet that ends its transfer); each test fits in the buffers.
class BulkOnlyCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, toGadget_), 0);
    ASSERT_EQ(::pipe(toHost_), 0);
    const sim::Enclosure& enclosure =
        testing::AddPresetBridge(system_, "qv40714-winbond", /*withDisk=*/true);
    target_ = std::make_unique<ScsiTarget>(system_, enclosure.Path, [] { return 0; });
  }
  void TearDown() override {
    for (int fd : {toGadget_[0], toGadget_[1], toHost_[0], toHost_[1]}) {
      if (fd >= 0) {
        ::close(fd);
      }
    }
  }
  void Send(std::initializer_list<std::uint8_t> cdb, std::uint32_t length, bool dataIn,
            std::uint32_t tag = 0x0A0B0C0D) {
    std::vector<std::uint8_t> cbw(kCbwLength, 0);
    const std::uint8_t head[] = {0x55,
                                 0x53,
                                 0x42,
                                 0x43,
                                 static_cast<std::uint8_t>(tag),
                                 static_cast<std::uint8_t>(tag >> 8),
                                 static_cast<std::uint8_t>(tag >> 16),
                                 static_cast<std::uint8_t>(tag >> 24),
                                 static_cast<std::uint8_t>(length),
                                 static_cast<std::uint8_t>(length >> 8),
                                 static_cast<std::uint8_t>(length >> 16),
                                 static_cast<std::uint8_t>(length >> 24),
                                 static_cast<std::uint8_t>(dataIn ? 0x80 : 0x00),
                                 0,
                                 static_cast<std::uint8_t>(cdb.size())};
    std::copy(std::begin(head), std::end(head), cbw.begin());
    std::copy(cdb.begin(), cdb.end(), cbw.begin() + 15);
    ASSERT_EQ(::write(toGadget_[1], cbw.data(), cbw.size()), static_cast<ssize_t>(cbw.size()));
  }
  void SendData(const std::vector<std::uint8_t>& data) {
    ASSERT_EQ(::write(toGadget_[1], data.data(), data.size()), static_cast<ssize_t>(data.size()));
  }
  BulkOnlyResult Serve() { return ServeBulkOnlyCommand(toGadget_[0], toHost_[1], *target_, lock_); }
  std::vector<std::uint8_t> Receive(std::size_t length) {
    std::vector<std::uint8_t> bytes(length);
    std::size_t done = 0;
    while (done < length) {
      const ssize_t got = ::read(toHost_[0], bytes.data() + done, length - done);
      if (got <= 0) {
        ADD_FAILURE() << "the gadget sent " << done << " of " << length << " bytes";
        break;
      }
      done += static_cast<std::size_t>(got);
    }
    return bytes;
  }
  struct Status {
    std::uint32_t Tag;
    std::uint32_t Residue;
    std::uint8_t Value;
  };
  Status ReceiveStatus() {
    const auto csw = Receive(kCswLength);
    EXPECT_EQ(csw[0], 0x55);
    EXPECT_EQ(csw[3], 0x53);
    auto le32 = [&](std::size_t at) {
      return csw[at] | (csw[at + 1] << 8) | (csw[at + 2] << 16) |
             (static_cast<std::uint32_t>(csw[at + 3]) << 24);
    };
    return Status{le32(4), le32(8), csw[12]};
  }
  bool NothingMoreSent() {
    ::close(toHost_[1]);
    toHost_[1] = -1;
    std::uint8_t byte = 0;
    return ::read(toHost_[0], &byte, 1) == 0;
  }

  int toGadget_[2] = {-1, -1};
  int toHost_[2] = {-1, -1};
  sim::SimulatedSystem system_;
  std::unique_ptr<ScsiTarget> target_;
  std::mutex lock_;
};

TEST_F(BulkOnlyCommandTest, AShortDataInIsPaddedAndTheResidueTellsWhatWasMeant) {
  Send({0x12, 0, 0, 0, 36}, 64, true, 0x11223344);
  ASSERT_EQ(Serve(), BulkOnlyResult::Served);
  const auto data = Receive(64);
  EXPECT_EQ(std::vector<std::uint8_t>(data.begin() + 36, data.end()),
            std::vector<std::uint8_t>(28, 0x00));
  const Status status = ReceiveStatus();
  EXPECT_EQ(status.Tag, 0x11223344u);
  EXPECT_EQ(status.Residue, 28u);
  EXPECT_EQ(status.Value, 0);
  EXPECT_TRUE(NothingMoreSent());
}

TEST_F(BulkOnlyCommandTest, ARefusedCommandStillFillsItsDataPhaseAndFails) {
  Send({0xE0, 0x00, 0x00}, 16, true);
  ASSERT_EQ(Serve(), BulkOnlyResult::Served);
  EXPECT_EQ(Receive(16), std::vector<std::uint8_t>(16, 0x00));
  const Status status = ReceiveStatus();
  EXPECT_EQ(status.Value, 1);
  EXPECT_EQ(status.Residue, 16u);
  EXPECT_EQ(target_->PendingSense(), kInvalidFieldInCdb);
}

TEST_F(BulkOnlyCommandTest, DataOutIsTakenWholeBeforeTheCommandRuns) {
  std::vector<std::uint8_t> sector(512);
  for (std::size_t i = 0; i < sector.size(); ++i) {
    sector[i] = static_cast<std::uint8_t>(i ^ 0x5A);
  }
  Send({0x2A, 0, 0, 0, 0, 9, 0, 0, 1}, 512, false);
  SendData(sector);
  ASSERT_EQ(Serve(), BulkOnlyResult::Served);
  const Status written = ReceiveStatus();
  EXPECT_EQ(written.Value, 0);
  EXPECT_EQ(written.Residue, 0u);

  Send({0x28, 0, 0, 0, 0, 9, 0, 0, 1}, 512, true);
  ASSERT_EQ(Serve(), BulkOnlyResult::Served);
  EXPECT_EQ(Receive(512), sector);
  EXPECT_EQ(ReceiveStatus().Value, 0);
}

TEST_F(BulkOnlyCommandTest, AnythingButAWrapperIsNotACommandAndGetsNoAnswer) {
  SendData(std::vector<std::uint8_t>(kCbwLength, 0x55));
  EXPECT_EQ(Serve(), BulkOnlyResult::NotACommand);
  EXPECT_TRUE(NothingMoreSent());
}

TEST_F(BulkOnlyCommandTest, APipeThatEndsCutsTheTransfer) {
  Send({0x2A, 0, 0, 0, 0, 9, 0, 0, 1}, 512, false);
  SendData(std::vector<std::uint8_t>(100, 0));
  ::close(toGadget_[1]);
  toGadget_[1] = -1;
  EXPECT_EQ(Serve(), BulkOnlyResult::TransferCut);
  EXPECT_TRUE(NothingMoreSent()) << "no status for a command whose data never came";
}

}  // namespace
}  // namespace q71x::gadget
