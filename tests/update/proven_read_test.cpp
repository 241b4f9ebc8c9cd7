// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/proven_read.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "src/device/flash_commands.h"
#include "src/update/flash_common.h"
#include "src/update/serial/serial_flash_update.h"
#include "src/update/work_buffer.h"
#include "tests/update/serial_flash_rig.h"

namespace q71x::testing {
namespace {

// A device whose n-th read (from 1) misbehaves in a chosen way; the others return `contents`.
struct FlakyDevice {
  enum class Fault { None, Fails, Short, Garbled };
  std::vector<std::uint8_t> contents;
  int faultyRead = 0;
  Fault fault = Fault::None;
  int reads = 0;

  RangeRead Reader() {
    return [this](ReadPass, std::uint8_t* buffer, std::size_t length) {
      ++reads;
      const Fault now = reads == faultyRead ? fault : Fault::None;
      if (now == Fault::Fails) {
        return 0;
      }
      const std::size_t moved = now == Fault::Short ? length / 2 : length;
      std::memcpy(buffer, contents.data(), moved);
      if (now == Fault::Garbled) {
        buffer[length - 1] ^= 0x40;
      }
      return 1;
    };
  }
};

std::vector<std::uint8_t> Pattern(std::size_t length) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }
  return bytes;
}

TEST(ProvenRead, TrustsOnlyTwoSuccessfulAgreeingReads) {
  using Fault = FlakyDevice::Fault;
  struct Case {
    int faultyRead;
    Fault fault;
    ProvenReadResult expected;
  };
  const Case cases[] = {
      {0, Fault::None, ProvenReadResult::Agreed},
      {1, Fault::Fails, ProvenReadResult::ReadFailed},
      {2, Fault::Fails, ProvenReadResult::ReadFailed},
      {1, Fault::Short, ProvenReadResult::Differed},
      {2, Fault::Short, ProvenReadResult::Differed},
      {1, Fault::Garbled, ProvenReadResult::Differed},
      {2, Fault::Garbled, ProvenReadResult::Differed},
  };
  for (const Case& c : cases) {
    FlakyDevice device{Pattern(512), c.faultyRead, c.fault};
    std::vector<std::uint8_t> buffer(512, 0xEE);
    EXPECT_EQ(ReadTwiceAndCompare(device.Reader(), buffer.data(), buffer.size()), c.expected)
        << "read " << c.faultyRead << " fault " << static_cast<int>(c.fault);
    if (c.expected == ProvenReadResult::Agreed) {
      EXPECT_EQ(buffer, device.contents);
    }
  }
}

TEST(ProvenRead, ADeviceThatAlwaysAnswersShortIsNotTrusted) {
  // Every flash read moves only its first half, the same way each time. The transport hands the
  // unanswered half back as zeros in both copies, so the copies agree; only the moved count can
  // tell the zeros from flash bytes.
  SerialFlashRig rig(Qv40714Winbond());
  constexpr std::uint32_t kLength = 4096;
  rig.ArmFault({0xFF, 0x04, 0x10}, 1, sim::FaultKind::Short, 0, kLength / 2);
  const RangeRead flashRead = SameOnEveryPass([&rig](std::uint8_t* buffer, std::size_t length) {
    return ReadFlashBlock(rig.path, 0, buffer, static_cast<std::uint32_t>(length));
  });
  std::vector<std::uint8_t> buffer(kLength);
  EXPECT_NE(ReadTwiceAndCompare(flashRead, buffer.data(), buffer.size()), ProvenReadResult::Agreed);
}

TEST(ProvenRead, NoSecondCopyMeansNoTrust) {
  FlakyDevice device{Pattern(256)};
  const WorkBufferFaultHook previous =
      SetWorkBufferFaultHook([](std::size_t size) { return size == 256; });
  std::vector<std::uint8_t> buffer(256);
  EXPECT_EQ(ReadTwiceAndCompare(device.Reader(), buffer.data(), buffer.size()),
            ProvenReadResult::NoMemory);
  EXPECT_EQ(ReadBackMatches(device.Reader(), device.contents.data(), 256), 0);
  SetWorkBufferFaultHook(previous);
  EXPECT_EQ(device.reads, 0);
}

TEST(ProvenRead, RefusalNamesTheMissingCopyApartFromUntrustedBytes) {
  EXPECT_EQ(ProvenReadRefusal(ProvenReadResult::Agreed, "memory", "read"), "");
  EXPECT_EQ(ProvenReadRefusal(ProvenReadResult::NoMemory, "memory", "read"), "memory");
  EXPECT_EQ(ProvenReadRefusal(ProvenReadResult::ReadFailed, "memory", "read"), "read");
  EXPECT_EQ(ProvenReadRefusal(ProvenReadResult::Differed, "memory", "read"), "read");
}

TEST(ProvenRead, ReadBackComparesWithWhatWasMeant) {
  FlakyDevice device{Pattern(128)};
  EXPECT_EQ(ReadBackMatches(device.Reader(), device.contents.data(), 128), 1);
  std::vector<std::uint8_t> other = device.contents;
  other[5] ^= 1;
  EXPECT_EQ(ReadBackMatches(device.Reader(), other.data(), 128), 0);
  device.faultyRead = device.reads + 1;
  device.fault = FlakyDevice::Fault::Fails;
  EXPECT_EQ(ReadBackMatches(device.Reader(), device.contents.data(), 128), 0);
}

// A bridge that spoils one command block the same wrong way every time it is sent: two reads made
// of the same blocks would agree on the wrong bytes. Whatever the operator retries, neither the
// backup nor the configuration copy kept across the erase may be taken from it.
TEST(ProvenRead, OneCommandSpoiledTheSameWayEveryTimeIsNotTrusted) {
  constexpr std::uint32_t kTwoBytesAt = 2u << 16;
  struct Case {
    const char* name;
    std::initializer_list<std::uint8_t> spoiled;  // the read command's block, by its address
    std::uint32_t field;                          // where in its answer the bytes go wrong
    bool backup;
  };
  for (const Case& c :
       {Case{"backup, 100 bytes into the flash", {0xFF, 0x04, 0x10, 0, 0, 0}, 100, true},
        Case{"configuration copy, its first bytes", {0xFF, 0x04, 0x10, 0, 0x80, 0}, 0, false}}) {
    SCOPED_TRACE(c.name);
    SerialFlashRig rig(Qv40714Winbond());
    const std::size_t spoiled = rig.system.Faults().Arm(
        FaultRuleFor(sim::CdbPattern::Prefix(c.spoiled), 1, sim::FaultKind::IdenticalGarble, 0,
                     c.field | kTwoBytesAt));
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (c.backup) {
        EXPECT_EQ(0, BackupFlashToFile(rig.window, rig.path, 0));
        EXPECT_FALSE(std::filesystem::exists(rig.window.backupFile));
      } else {
        rig.WriteImage(16384);
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(0, UpdateSerialFlash(rig.window, rig.path));
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ("Backup NVRAM command fail!", rig.window.StatusText());
      }
      EXPECT_EQ(rig.oldFlash, rig.Flash());
    }
    EXPECT_GE(rig.system.Faults().FiredCount(spoiled), 2u) << "the spoiled block was sent again";
  }
}

}  // namespace
}  // namespace q71x::testing
