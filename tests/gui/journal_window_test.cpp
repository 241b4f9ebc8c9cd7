// SPDX-License-Identifier: GPL-2.0-or-later
// The window with a recovery journal: its first chip check, at start-up, finds the open entry of
// an enclosure that lost its configuration copy, asks, and puts the copy back into the simulated
// flash.

#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/simulated_system.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/host/question_box.h"
#include "src/tool/tool_texts.h"
#include "tests/gui/gui_support.h"

namespace q71x::testing {
namespace {

constexpr std::uint32_t kCopyAddress = 0x8000;
constexpr std::uint32_t kCopyBytes = 512;

TEST(JournalWindowTest, TheStartUpCheckPutsALostConfigurationCopyBack) {
  EnsureQtApplication();
  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform usePlatform{platform};
  RecordingDialogs dialogs;
  TempFolder folder;
  RecoveryJournal journal{std::filesystem::path(folder.File("journal"))};
  sim::Enclosure* enclosure = sim::AddPreset(system, "qv40714-atmel");
  ASSERT_NE(enclosure, nullptr);
  // The entry goes back only on the unit it was kept for, known by its serial number.
  enclosure->UsbSerial = "7141A0001";
  sim::SerialFlash& flash = *enclosure->Bridge.Flash;
  const std::vector<std::uint8_t> copy(flash.Contents().begin() + kCopyAddress,
                                       flash.Contents().begin() + kCopyAddress + kCopyBytes);

  // What an update cut off after its erase leaves: the copy in the journal, erased in the flash.
  JournalEntry entry;
  entry.Device = TQ71xFwTool(std::make_unique<FakeWindowTimers>()).Core().CheckedDevice();
  entry.Procedure = "UpdateSerialFlash";
  entry.AreaAddress = kCopyAddress;
  entry.EraseAddress = kCopyAddress;
  entry.Area = copy;
  ASSERT_EQ(journal.Record(entry), "");
  flash.Load(kCopyAddress, std::vector<std::uint8_t>(kCopyBytes, 0xFF));

  std::vector<std::string> questions;
  const QuestionHandler previous = SetQuestionHandler([&](const MessageBoxRequest& request) {
    questions.push_back(request.Text);
    return true;
  });
  TQ71xFwTool window(std::make_unique<FakeWindowTimers>(), nullptr, &journal);
  SetQuestionHandler(previous);

  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(dialogs.BoxTexts(), std::vector<std::string>{std::string(kJournalRestoredText)});
  EXPECT_TRUE(std::equal(copy.begin(), copy.end(), flash.Contents().begin() + kCopyAddress));
  EXPECT_TRUE(journal.List().Open.empty());
}

}  // namespace
}  // namespace q71x::testing
