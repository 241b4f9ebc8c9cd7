// SPDX-License-Identifier: GPL-2.0-or-later
// The configuration area after an erase-only run that stops once the erase has been sent, end to
// end against simulated flash: the run reports its failure, the flash holds the device's own area
// again, and the operator's next, fault-free run keeps that area rather than the erased bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "src/update/df/df2_flash_update.h"
#include "src/update/df/df_flash_update.h"
#include "tests/update/df_sim_rig.h"

namespace q71x::testing {
namespace {

constexpr std::uint8_t kRead = 0xFA;
constexpr std::uint8_t kWrite = 0xFB;

int RunEraseOnly(DfSimRig& rig, bool on1394) {
  rig.window.rdVersion = true;
  rig.window.eraseOnly = true;
  return on1394 ? UpdateDf2Flash(rig.window, rig.path) : UpdateDfFlash(rig.window, rig.path);
}

struct StopAfterErase {
  const char* Name;
  DfDeviceSpec Device;
  std::function<void(DfSimRig&)> Arrange;
  std::string Text;
};

std::function<void(DfSimRig&)> Faults(
    std::vector<std::tuple<std::uint8_t, int, sim::FaultKind>> faults) {
  return [faults](DfSimRig& rig) {
    for (const auto& [code, nth, kind] : faults) {
      rig.ArmDfFault(code, nth, kind, 1, kind == sim::FaultKind::Short ? 100 : 23);
    }
  };
}

std::vector<StopAfterErase> Stops() {
  using sim::FaultKind;
  return {
      {"DF: the erase runs but reports failure", Df848Winbond(),
       Faults({{kWrite, 1, FaultKind::ErrorCode}}), "Erase command fail!!"},
      // The first blank check reads noise, so the flash is erased again sector by sector; that
      // erase's first block lands garbled, leaving noise in the sector under the area.
      {"DF: the second erase leaves noise under the area", Df848Winbond(),
       Faults({{kRead, 4, FaultKind::Garbage}, {kWrite, 2, FaultKind::Garbage}}),
       "Data not 0xff !!"},
      // A write-back the restore made good is no failure: the erase's own outcome stands.
      {"DF mxic: the write-back is refused", Df848Mxic(), Faults({{kWrite, 2, FaultKind::Fail}}),
       "Erase flash all success!"},
      {"DF atmel: the write-back lands garbled", Df844Atmel(),
       Faults({{kWrite, 3, FaultKind::Garbage}}), "Erase flash all success!"},
      {"1394: a blank-check read comes back garbled", Qvk846On1394(),
       Faults({{kRead, 41, FaultKind::Garbage}}), "Data not 0xff !!"},
      {"1394: the erase at 0 is lost", Qvk846On1394(), Faults({{kWrite, 1, FaultKind::Fail}}),
       "Data not 0xff !!"},
      {"1394: the write-back lands short", Qvk846On1394(), Faults({{kWrite, 4, FaultKind::Short}}),
       "Erase flash all success!"},
  };
}

TEST(DfConfigAreaRestore, AStopAfterTheEraseLeavesTheAreaForTheNextRunToKeep) {
  for (const StopAfterErase& stop : Stops()) {
    SCOPED_TRACE(stop.Name);
    DfSimRig rig(stop.Device);
    const bool on1394 = stop.Device.On1394;
    const std::uint32_t at = stop.Device.ConfigOffset;
    const std::uint32_t bytes = stop.Device.ConfigBytes;
    stop.Arrange(rig);

    const int result = RunEraseOnly(rig, on1394);

    // The failure is what the operator reads, whatever the restore did after it.
    const bool erased = stop.Text == "Erase flash all success!";
    EXPECT_EQ(on1394 || erased ? 1 : 0, result);
    EXPECT_EQ(stop.Text, rig.window.StatusText());
    EXPECT_EQ(on1394 || erased ? 1u : 0u, rig.dialogs.Boxes().size());
    EXPECT_EQ(rig.config, rig.FlashRange(at, bytes));

    // The retry after the power cycle saves the area as the flash now holds it.
    rig.system.Faults().Clear();
    EXPECT_EQ(1, RunEraseOnly(rig, on1394));
    EXPECT_EQ("Erase flash all success!", rig.window.StatusText());
    EXPECT_EQ(rig.config, rig.FlashRange(at, bytes));
  }
}

// The ATMEL part's second erase, at 0x8000, lands short (zeros behind its first 100 bytes) and
// the first blank-check read fails. That read proves nothing: the flash is erased again and
// checked again, and the success text stands only over flash that reads blank.
TEST(DfConfigAreaRestore, AFailedBlankCheckReadIsNotTakenForBlankFlash) {
  DfSimRig rig(Df844Atmel());
  rig.ArmDfFault(kWrite, 2, sim::FaultKind::Short, 1, 100);
  // The area is saved from two copies, the second read in two halves; the fourth read is the
  // blank check.
  rig.ArmDfFault(kRead, 4, sim::FaultKind::Fail);

  const int result = RunEraseOnly(rig, false);

  EXPECT_EQ(1, result);
  EXPECT_EQ("Erase flash all success!", rig.window.StatusText());
  const std::vector<std::uint8_t> second = rig.FlashRange(0x8000, 0x1000);
  EXPECT_TRUE(std::all_of(second.begin(), second.end(), [](std::uint8_t b) { return b == 0xFF; }))
      << "success claimed over the bytes the short erase left";
  EXPECT_EQ(rig.config, rig.FlashRange(Df844Atmel().ConfigOffset, Df844Atmel().ConfigBytes));
}

TEST(DfConfigAreaRestore, AnAreaTheFailedEraseNeverReachedIsNotWrittenAgain) {
  struct Case {
    const char* Name;
    DfDeviceSpec Device;
    int FailingWrite;  // the erase command the bridge never sees
  };
  for (const Case& c : {Case{"DF", Df848Winbond(), 1}, Case{"1394", Qvk846On1394(), 2}}) {
    SCOPED_TRACE(c.Name);
    DfSimRig rig(c.Device);
    rig.ArmDfFault(kWrite, c.FailingWrite, sim::FaultKind::Fail);
    const auto before = rig.FlashRange(c.Device.ConfigOffset, c.Device.ConfigBytes);

    RunEraseOnly(rig, c.Device.On1394);

    // The area still reads back as saved, so no erasing write follows the failed command.
    EXPECT_EQ(static_cast<std::size_t>(c.FailingWrite), rig.DfCommands(kWrite).size());
    EXPECT_EQ(before, rig.FlashRange(c.Device.ConfigOffset, c.Device.ConfigBytes));
  }
}

TEST(DfConfigAreaRestore, AnUnprovenReadOfTheAreaErasesNothing) {
  // The erase of the area's unit never reaches the flash, so the area and the firmware around it
  // are intact; the restore's look at the area then fails or comes back garbled. Taken for a
  // damaged area, that answer used to cost the unit under the area its contents.
  struct Case {
    const char* Name;
    DfDeviceSpec Device;
    int FailingWrite;
    sim::FaultKind ReadFault;
  };
  const Case cases[] = {
      {"DF, garbled", Df848Winbond(), 1, sim::FaultKind::Garbage},
      {"DF, failed", Df848Mxic(), 1, sim::FaultKind::Fail},
      {"1394, garbled", Qvk846On1394(), 2, sim::FaultKind::Garbage},
      {"1394, short", Qvk846On1394(), 2, sim::FaultKind::Short},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    // The same run with the restore's reads answered well: what the flash must look like.
    DfSimRig reference(c.Device);
    reference.ArmDfFault(kWrite, c.FailingWrite, sim::FaultKind::Fail);
    RunEraseOnly(reference, c.Device.On1394);
    const int restoreRead = static_cast<int>(reference.DfCommands(kRead).size());
    const std::size_t writes = reference.DfCommands(kWrite).size();

    DfSimRig rig(c.Device);
    rig.ArmDfFault(kWrite, c.FailingWrite, sim::FaultKind::Fail);
    rig.ArmDfFault(kRead, restoreRead, c.ReadFault, 1, 64);

    RunEraseOnly(rig, c.Device.On1394);

    EXPECT_EQ(reference.Flash(), rig.Flash());
    EXPECT_EQ(rig.config, rig.FlashRange(c.Device.ConfigOffset, c.Device.ConfigBytes));
    // Whatever the restore wrote after the unproven read is a plain program: no erase mark.
    const auto sent = rig.DfCommands(kWrite);
    for (std::size_t i = writes; i < sent.size(); ++i) {
      EXPECT_EQ(0, sent[i]->Cdb[1] & 0x03) << "write " << i + 1;
    }
  }
}

}  // namespace
}  // namespace q71x::testing
