// SPDX-License-Identifier: GPL-2.0-or-later
// The configuration area across the DF-family erases, end to end against simulated flash: a
// short or garbled answer while it is saved stops the run before anything is erased, and a
// write-back that does not leave the saved bytes in the flash is never reported as a success,
// yet leaves the saved bytes in the flash once the run ends.

#include <gtest/gtest.h>

#include "src/update/df/df2_flash_update.h"
#include "src/update/df/df_flash_update.h"
#include "tests/update/df_sim_rig.h"
#include "tests/update/df_test_support.h"

namespace q71x::testing {
namespace {

const std::string kBackupNvramFail = "Backup NVRAM command fail!";
const std::string kWriteNvramBackFail = "Write NVRAM back command fail!";
const std::string kEraseSuccess = "Erase flash all success!";

enum class Step { Program, EraseOnly };

struct Device {
  const char* Name;
  DfDeviceSpec Spec;
  // DF flash reads (FA) that the first copy of the configuration area takes; the second starts
  // with half a block and takes one more.
  int ReadsPerCopy;
};

int ReadsOfBothCopies(const Device& device) {
  return 2 * device.ReadsPerCopy + 1;
}

std::vector<Device> Devices() {
  return {
      {"DF winbond", Df848Winbond(), 1}, {"DF mxic", Df848Mxic(), 1}, {"1394", Qvk846On1394(), 4}};
}

int RunOn(DfSimRig& rig, bool on1394, Step run) {
  rig.window.rdVersion = run == Step::EraseOnly;
  rig.window.eraseOnly = run == Step::EraseOnly;
  if (run == Step::Program) {
    rig.WriteImage(on1394 ? 20000 : 32768);
  }
  return on1394 ? UpdateDf2Flash(rig.window, rig.path) : UpdateDfFlash(rig.window, rig.path);
}

// The 1394 family finishes every erase-only and every opened programming run with result 1 and
// the power-cycle box, whatever the outcome: the status text alone tells.
int FailedResult(bool on1394) {
  return on1394 ? 1 : 0;
}

struct SaveFault {
  const char* Name;
  sim::FaultKind Kind;
  bool SecondCopy;  // the fault hits the second of the two reads
};

TEST(DfConfigAreaSave, AnAnswerThatCannotBeTrustedStopsTheRunBeforeAnythingIsErased) {
  const std::vector<SaveFault> faults = {
      {"first copy short", sim::FaultKind::Short, false},
      {"first copy garbled", sim::FaultKind::Garbage, false},
      {"second copy short", sim::FaultKind::Short, true},
      {"second copy garbled", sim::FaultKind::Garbage, true},
      {"second copy fails", sim::FaultKind::Fail, true},
  };
  for (const Device& device : Devices()) {
    for (const Step run : {Step::Program, Step::EraseOnly}) {
      for (const SaveFault& fault : faults) {
        SCOPED_TRACE(std::string(device.Name) +
                     (run == Step::Program ? ", program, " : ", erase, ") + fault.Name);
        DfSimRig rig(device.Spec);
        // The last block of the chosen copy: a short answer there leaves the most bytes right.
        const int nth = fault.SecondCopy ? ReadsOfBothCopies(device) : device.ReadsPerCopy;
        rig.ArmDfFault(0xFA, nth, fault.Kind, 1, fault.Kind == sim::FaultKind::Short ? 100 : 9);
        const auto before = rig.Flash();

        const int result = RunOn(rig, device.Spec.On1394, run);

        EXPECT_EQ(FailedResult(device.Spec.On1394), result);
        EXPECT_EQ(kBackupNvramFail, rig.window.StatusText());
        EXPECT_TRUE(rig.DfCommands(0xFB).empty());
        EXPECT_EQ(before, rig.Flash());
        EXPECT_EQ(device.Spec.On1394 ? 1u : 0u, rig.dialogs.Boxes().size());
      }
    }
  }
}

TEST(DfConfigAreaSave, BothCopiesAreReadBeforeTheFirstWriteAndTheAreaSurvives) {
  for (const Device& device : Devices()) {
    for (const Step run : {Step::Program, Step::EraseOnly}) {
      SCOPED_TRACE(std::string(device.Name) + (run == Step::Program ? ", program" : ", erase"));
      DfSimRig rig(device.Spec);

      EXPECT_EQ(1, RunOn(rig, device.Spec.On1394, run));

      const auto reads = rig.DfCommands(0xFA);
      const auto writes = rig.DfCommands(0xFB);
      ASSERT_GE(reads.size(), static_cast<std::size_t>(ReadsOfBothCopies(device)));
      ASSERT_FALSE(writes.empty());
      const std::uint32_t block = device.ReadsPerCopy == 1 ? device.Spec.ConfigBytes : 256u;
      for (int i = 0; i < ReadsOfBothCopies(device); ++i) {
        const int second = i - device.ReadsPerCopy;
        const std::uint32_t offset = second < 0    ? i * block
                                     : second == 0 ? 0
                                                   : block / 2 + (second - 1) * block;
        EXPECT_EQ(device.Spec.ConfigOffset + offset, DfSimRig::AddressOf(*reads[i]));
        EXPECT_LT(reads[i]->StartUs, writes.front()->StartUs);
      }
      EXPECT_EQ(rig.config, rig.FlashRange(device.Spec.ConfigOffset, device.Spec.ConfigBytes));
      EXPECT_EQ(run == Step::Program ? "Programming Success!!" : kEraseSuccess,
                rig.window.StatusText());
    }
  }
}

// A block of the write-back: on the DF family its only plain program (mode 00); on the 1394
// family the block at 0x8100, which only the write-back sends.
sim::CdbPattern WriteBackBlock(bool on1394) {
  if (!on1394) {
    return sim::CdbPattern::Prefix({0xDF, 0x00}).With(11, 0xFB);
  }
  sim::CdbPattern block = sim::CdbPattern::Prefix({0xDF}).With(11, 0xFB);
  block.With(8, 0x00).With(9, 0x81).With(10, 0x00);
  return block;
}

// Whether a flash write follows the first read after the first block of the write-back (the
// check of the write-back).
bool WrittenAfterTheCheck(DfSimRig& rig, const sim::CdbPattern& writeBack) {
  const sim::CdbPattern read = DfPattern(kDfFlashRead);
  const sim::CdbPattern write = DfPattern(kDfFlashWrite);
  enum { BeforeWriteBack, BeforeCheck, AfterCheck } at = BeforeWriteBack;
  for (const sim::LoggedCommand& command : rig.system.Log().Entries()) {
    if (at == BeforeWriteBack && writeBack.Matches(command.Cdb)) {
      at = BeforeCheck;
    } else if (at == BeforeCheck && read.Matches(command.Cdb)) {
      at = AfterCheck;
    } else if (at == AfterCheck && write.Matches(command.Cdb)) {
      return true;
    }
  }
  return false;
}

struct WriteBackFault {
  const char* Name;
  sim::FaultKind Kind;
  bool OnReadBack;  // the fault garbles the check's read instead of the write
};

// Once the restore has put the area back, the erase's own outcome stands: the operator hears of
// the area only when it is gone.
TEST(DfConfigAreaWriteBack, AnAreaThatDoesNotReadBackAsSavedIsRestoredAndTheEraseStands) {
  const std::vector<WriteBackFault> faults = {
      {"write short", sim::FaultKind::Short, false},
      {"write garbled", sim::FaultKind::Garbage, false},
      {"read-back garbled", sim::FaultKind::Garbage, true},
  };
  for (const Device& device : Devices()) {
    for (const WriteBackFault& fault : faults) {
      SCOPED_TRACE(std::string(device.Name) + ", " + fault.Name);
      DfSimRig rig(device.Spec);
      const bool on1394 = device.Spec.On1394;
      sim::FaultRule rule;
      rule.Kind = fault.Kind;
      rule.Value = fault.Kind == sim::FaultKind::Short ? 100 : 5;
      if (fault.OnReadBack) {
        // Reads: two saved copies, the blank check (one block per 8 KB page on the DF family,
        // 256 on the 1394 family over its 64 KB), then the check of the write-back.
        const int blankCheckReads = on1394 ? 256 : 8;
        rule.Pattern = sim::CdbPattern::Prefix({0xDF}).With(11, 0xFA);
        rule.Nth = ReadsOfBothCopies(device) + blankCheckReads + 1;
      } else {
        rule.Pattern = WriteBackBlock(on1394);
      }
      rig.system.Faults().Arm(rule);

      const int result = RunOn(rig, on1394, Step::EraseOnly);

      EXPECT_EQ(1, result);
      EXPECT_EQ("Erase flash all success!", rig.window.StatusText());
      EXPECT_EQ(1u, rig.dialogs.Boxes().size());
      const std::vector<std::uint8_t> firmware =
          rig.FlashRange(device.Spec.ConfigOffset + device.Spec.ConfigBytes, 0x1000);
      EXPECT_TRUE(std::all_of(firmware.begin(), firmware.end(), [](auto b) { return b == 0xFF; }))
          << "success claimed over flash that is not blank";
      // A short or garbled write-back left other bytes in the area; they are erased and the
      // saved ones written again. After a garbled check the area was whole all along, and is
      // left alone: nothing is written after the write-back's check.
      EXPECT_EQ(rig.config, rig.FlashRange(device.Spec.ConfigOffset, device.Spec.ConfigBytes));
      EXPECT_EQ(!fault.OnReadBack, WrittenAfterTheCheck(rig, WriteBackBlock(on1394)));
    }
  }
}

}  // namespace
}  // namespace q71x::testing
