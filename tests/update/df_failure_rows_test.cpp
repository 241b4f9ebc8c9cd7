// SPDX-License-Identifier: GPL-2.0-or-later
// Every failure the DF-family and 1394-family procedures report, reached by fault injection in
// the simulated bridge or by a refused work buffer: the text left in the status field, the
// result, whether the power-cycle box follows and what the flash holds afterwards.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "src/update/df/df2_flash_update.h"
#include "src/update/df/df_flash_update.h"
#include "tests/update/df_sim_rig.h"
#include "tests/update/df_test_support.h"

namespace q71x::testing {
namespace {

enum class Action { Program, EraseOnly, Backup };
enum class FlashAfter {
  Untouched,     // byte for byte as before the run
  ConfigKept,    // the device's configuration area, put back after the erase took it
  ImageInPlace,  // the image the run programmed, behind the device's own configuration area
};

struct FailureRow {
  const char* Name;
  DfDeviceSpec Device;
  Action Run;
  std::function<void(DfSimRig&)> Arrange;
  std::string Text;  // the failure text, last in the field unless FinalText says otherwise
  int Result;
  bool Box;
  FlashAfter Flash;
  std::string FinalText = {};  // a later attempt's text that replaced the failure text
  std::size_t RefuseSize = 0;  // a work buffer of this size is refused...
  int RefuseNth = 1;           // ...on its n-th request
};

std::function<void(DfSimRig&)> Fault(std::uint8_t code, int nth, sim::FaultKind kind,
                                     int times = 1) {
  return [=](DfSimRig& rig) { rig.ArmDfFault(code, nth, kind, times, 77); };
}

std::function<void(DfSimRig&)> Nothing() {
  return [](DfSimRig&) {};
}

// The first plain program (mode byte 00) of a DF write: the configuration area going back.
std::function<void(DfSimRig&)> FailPlainWrite() {
  return [](DfSimRig& rig) {
    sim::FaultRule rule;
    rule.Pattern = sim::CdbPattern::Prefix({0xDF, 0x00}).With(11, 0xFB);
    rig.system.Faults().Arm(rule);
  };
}

// Every read-back of the attempts fails at its second 8 KB block, and the last attempt's
// whole-flash erase block at 0 goes over the bus garbled: the erase runs, noise lands where the
// configuration area was.
std::function<void(DfSimRig&)> LastAttemptGarblesTheConfigurationArea() {
  return [](DfSimRig& rig) {
    sim::FaultRule readBack;
    readBack.Pattern = sim::CdbPattern::Prefix({0xDF}).With(11, 0xFA).With(9, 0x20);
    readBack.Times = 0;
    rig.system.Faults().Arm(readBack);
    sim::FaultRule lastErase;
    lastErase.Pattern =
        sim::CdbPattern::Prefix({0xDF}).With(11, 0xFB).With(8, 0).With(9, 0).With(10, 0);
    lastErase.Nth = 3;
    lastErase.Kind = sim::FaultKind::Garbage;
    lastErase.Value = 41;
    rig.system.Faults().Arm(lastErase);
  };
}

constexpr std::uint8_t kRead = 0xFA;
constexpr std::uint8_t kWrite = 0xFB;
const std::string kProgrammingSuccess = "Programming Success!!";

std::vector<FailureRow> DfTransferBackupEraseRows() {
  const DfDeviceSpec dev = Df848Winbond();
  return {
      {"backup: buffer refused",
       dev,
       Action::Backup,
       Nothing(),
       "Allocate read buffer Error!!",
       0,
       false,
       FlashAfter::Untouched,
       {},
       65536},
      {"backup: flash read fails", dev, Action::Backup, Fault(kRead, 3, sim::FaultKind::Fail),
       "Read Back to Backup Error!!", 0, false, FlashAfter::Untouched},
      {"backup: file cannot be created", dev, Action::Backup,
       [](DfSimRig& rig) { rig.window.backupFile = rig.dir.File("no-such-folder/old.bak"); },
       "Open Backup File Error!!", 0, false, FlashAfter::Untouched},
      {"erase-only: erase pattern refused",
       dev,
       Action::EraseOnly,
       Nothing(),
       "Allocate read buffer Error!!",
       0,
       false,
       FlashAfter::Untouched,
       {},
       65536},
      {"erase-only: configuration buffer refused",
       dev,
       Action::EraseOnly,
       Nothing(),
       "Allocate buffers Error!!",
       0,
       false,
       FlashAfter::Untouched,
       {},
       4096},
      {"erase-only: configuration area unreadable", dev, Action::EraseOnly,
       Fault(kRead, 1, sim::FaultKind::Fail), "Backup NVRAM command fail!", 0, false,
       FlashAfter::Untouched},
      {"erase-only: erase command fails", dev, Action::EraseOnly,
       Fault(kWrite, 1, sim::FaultKind::Fail), "Erase command fail!!", 0, false,
       FlashAfter::ConfigKept},
      {"erase-only: erase command runs but reports failure", dev, Action::EraseOnly,
       Fault(kWrite, 1, sim::FaultKind::ErrorCode), "Erase command fail!!", 0, false,
       FlashAfter::ConfigKept},
      {"erase-only: read buffer refused",
       dev,
       Action::EraseOnly,
       Nothing(),
       "Allocate read buffer Error!!",
       0,
       false,
       FlashAfter::ConfigKept,
       {},
       65536,
       2},
      {"erase-only: still not blank", dev, Action::EraseOnly,
       Fault(kRead, 4, sim::FaultKind::Garbage, 0), "Data not 0xff !!", 0, false,
       FlashAfter::ConfigKept},
      // The restore puts the area back: the erase's own outcome stands.
      {"erase-only: configuration area not written back", dev, Action::EraseOnly, FailPlainWrite(),
       "Erase flash all success!", 1, true, FlashAfter::ConfigKept},
  };
}

std::vector<FailureRow> DfProgrammingRows() {
  const DfDeviceSpec dev = Df848Winbond();
  return {
      {"configuration buffer refused",
       dev,
       Action::Program,
       Nothing(),
       "Allocate buffers Error!!",
       0,
       false,
       FlashAfter::Untouched,
       {},
       4096},
      {"configuration area unreadable", dev, Action::Program, Fault(kRead, 1, sim::FaultKind::Fail),
       "Backup NVRAM command fail!", 0, false, FlashAfter::Untouched},
      {"image cannot be opened", dev, Action::Program,
       [](DfSimRig& rig) { rig.window.firmwareFile = rig.dir.File("missing.bin"); },
       "Open File Error!!", 0, false, FlashAfter::Untouched},
      {"image buffer refused",
       dev,
       Action::Program,
       Nothing(),
       "Allocate buffers Error!!",
       0,
       false,
       FlashAfter::Untouched,
       {},
       32768},
      {"read-back buffer refused",
       dev,
       Action::Program,
       Nothing(),
       "Allocate buffers Error!!",
       0,
       false,
       FlashAfter::Untouched,
       {},
       32768,
       2},
      {"a write fails, the next attempt succeeds", dev, Action::Program,
       Fault(kWrite, 2, sim::FaultKind::Fail), "Write Bin File fail!", 1, true,
       FlashAfter::ImageInPlace, kProgrammingSuccess},
      {"a read-back fails, the next attempt succeeds", dev, Action::Program,
       Fault(kRead, 4, sim::FaultKind::Fail), "Read command fail!", 1, true,
       FlashAfter::ImageInPlace, kProgrammingSuccess},
      {"a read-back differs, the next attempt succeeds", dev, Action::Program,
       Fault(kRead, 4, sim::FaultKind::Garbage), "Data compare fail !!", 1, true,
       FlashAfter::ImageInPlace, kProgrammingSuccess},
      {"every attempt fails", dev, Action::Program, Fault(kRead, 4, sim::FaultKind::Garbage, 0),
       "Data compare fail !!", 1, false, FlashAfter::ImageInPlace},
      {"every attempt fails, the last one over the configuration area", dev, Action::Program,
       LastAttemptGarblesTheConfigurationArea(), "Read command fail!", 1, false,
       FlashAfter::ImageInPlace, "Data compare fail !!"},
  };
}

std::vector<FailureRow> Df2Rows() {
  const DfDeviceSpec dev = Qvk846On1394();
  return {
      {"erase-only: erase pattern refused",
       dev,
       Action::EraseOnly,
       Nothing(),
       "Allocate read buffer Error!!",
       1,
       true,
       FlashAfter::Untouched,
       {},
       65536},
      {"erase-only: configuration buffer refused",
       dev,
       Action::EraseOnly,
       Nothing(),
       "Allocate buffers Error!!",
       1,
       true,
       FlashAfter::Untouched,
       {},
       1024},
      {"erase-only: configuration area unreadable", dev, Action::EraseOnly,
       Fault(kRead, 1, sim::FaultKind::Fail), "Backup NVRAM command fail!", 1, true,
       FlashAfter::Untouched},
      {"erase-only: erase at 0x8000 fails", dev, Action::EraseOnly,
       Fault(kWrite, 2, sim::FaultKind::Fail), "Erase flash command fail!", 1, true,
       FlashAfter::ConfigKept},
      {"erase-only: erase at 0x8000 runs but reports failure", dev, Action::EraseOnly,
       Fault(kWrite, 2, sim::FaultKind::ErrorCode), "Erase flash command fail!", 1, true,
       FlashAfter::ConfigKept},
      {"erase-only: erase at 0 garbled", dev, Action::EraseOnly,
       Fault(kWrite, 1, sim::FaultKind::Garbage), "Data not 0xff !!", 1, true,
       FlashAfter::ConfigKept},
      {"erase-only: read buffer refused",
       dev,
       Action::EraseOnly,
       Nothing(),
       "Allocate read buffer Error!!",
       1,
       true,
       FlashAfter::ConfigKept,
       {},
       65536,
       2},
      {"erase-only: not blank", dev, Action::EraseOnly,
       Fault(kRead, 10, sim::FaultKind::Garbage, 0), "Data not 0xff !!", 1, true,
       FlashAfter::ConfigKept},
      {"erase-only: configuration area not written back", dev, Action::EraseOnly,
       Fault(kWrite, 3, sim::FaultKind::Fail), "Erase flash all success!", 1, true,
       FlashAfter::ConfigKept},
      {"program: image cannot be opened", dev, Action::Program,
       [](DfSimRig& rig) { rig.window.firmwareFile = rig.dir.File("missing.bin"); },
       "Open File Error!!", 0, false, FlashAfter::Untouched},
      {"program: configuration buffer refused",
       dev,
       Action::Program,
       Nothing(),
       "Allocate buffers Error!!",
       1,
       true,
       FlashAfter::Untouched,
       {},
       1024},
      {"program: configuration area unreadable", dev, Action::Program,
       Fault(kRead, 1, sim::FaultKind::Fail), "Backup NVRAM command fail!", 1, true,
       FlashAfter::Untouched},
      {"program: image buffer refused",
       dev,
       Action::Program,
       Nothing(),
       "Allocate buffers Error!!",
       1,
       true,
       FlashAfter::Untouched,
       {},
       32768 + 1024},
      {"program: write fails", dev, Action::Program, Fault(kWrite, 1, sim::FaultKind::Fail),
       "Write Bin File fail!", 1, true, FlashAfter::Untouched},
      {"program: read-back fails", dev, Action::Program, Fault(kRead, 10, sim::FaultKind::Fail),
       "Read command fail!", 1, true, FlashAfter::ImageInPlace},
      {"program: read-back differs", dev, Action::Program,
       Fault(kRead, 10, sim::FaultKind::Garbage), "Data compare fail !!", 1, true,
       FlashAfter::ImageInPlace},
  };
}

void CheckRow(const FailureRow& row) {
  SCOPED_TRACE(row.Name);
  DfSimRig rig(row.Device);
  const bool on1394 = row.Device.On1394;
  std::vector<std::uint8_t> image;
  if (row.Run == Action::Program) {
    image = rig.WriteImage(on1394 ? 20000 : 32768);
  }
  rig.window.rdVersion = row.Run != Action::Program;
  rig.window.eraseOnly = row.Run == Action::EraseOnly;
  rig.window.backupOnly = row.Run == Action::Backup;
  row.Arrange(rig);
  const auto before = rig.Flash();

  int result = -1;
  {
    std::optional<ScopedWorkBufferFault> refuse;
    if (row.RefuseSize != 0) {
      refuse.emplace(RefuseNthBuffer(row.RefuseSize, row.RefuseNth));
    }
    result = on1394 ? UpdateDf2Flash(rig.window, rig.path) : UpdateDfFlash(rig.window, rig.path);
  }

  EXPECT_EQ(row.Result, result);
  EXPECT_EQ(row.FinalText.empty() ? row.Text : row.FinalText, rig.window.StatusText());
  EXPECT_NE(0u, CountOf(rig.window.statusHistory, row.Text));
  EXPECT_EQ(row.Box ? 1u : 0u, rig.dialogs.Boxes().size());
  if (row.Run == Action::Backup) {
    EXPECT_FALSE(std::filesystem::exists(rig.window.backupFile));
  }

  const std::uint32_t configAt = row.Device.ConfigOffset;
  switch (row.Flash) {
    case FlashAfter::Untouched:
      EXPECT_EQ(before, rig.Flash());
      break;
    case FlashAfter::ConfigKept:
      EXPECT_EQ(rig.config, rig.FlashRange(configAt, row.Device.ConfigBytes));
      break;
    case FlashAfter::ImageInPlace: {
      // The DF family keeps the device's own first 4 KB; the 1394 family programs a short
      // image as the whole 32 KB firmware area and leaves the area after it alone.
      EXPECT_EQ(rig.config, rig.FlashRange(configAt, row.Device.ConfigBytes));
      const std::size_t from = on1394 ? 0 : 4096;
      image.resize(on1394 ? 32768 : image.size(), 0x00);
      EXPECT_EQ(std::vector<std::uint8_t>(image.begin() + from, image.end()),
                rig.FlashRange(static_cast<std::uint32_t>(from),
                               static_cast<std::uint32_t>(image.size() - from)));
      break;
    }
  }
}

TEST(DfFailureRows, TransferBackupAndEraseOnly) {
  for (const FailureRow& row : DfTransferBackupEraseRows()) {
    CheckRow(row);
  }
}

TEST(DfFailureRows, Programming) {
  for (const FailureRow& row : DfProgrammingRows()) {
    CheckRow(row);
  }
}

TEST(DfFailureRows, Qvk846On1394) {
  for (const FailureRow& row : Df2Rows()) {
    CheckRow(row);
  }
}

}  // namespace
}  // namespace q71x::testing
