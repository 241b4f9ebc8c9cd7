// SPDX-License-Identifier: GPL-2.0-or-later
// The Qt pieces behind the seams: the window timers and the open-file dialog's filter.

#include "src/app/qt_dialogs.h"
#include "src/app/qt_window_timers.h"
#include "tests/gui/gui_support.h"

namespace q71x::testing {
namespace {

TEST(QtWindowTimersTest, ATimerFiresUntilKilledAndSettingItAgainStartsOver) {
  EnsureQtApplication();
  QtWindowTimers timers;
  std::vector<int> fired;
  timers.SetExpiryHandler([&](int id) {
    fired.push_back(id);
    timers.KillTimer(id);
  });
  timers.SetTimer(2, 1);
  timers.SetTimer(7, 1);
  timers.KillTimer(7);
  QTRY_COMPARE_WITH_TIMEOUT(fired.size(), std::size_t{1}, 5000);
  EXPECT_EQ(fired.front(), 2);
  QTest::qWait(20);
  EXPECT_EQ(fired.size(), 1u);  // killed in its handler, as the debounce does
}

TEST(QtFileFilterTest, TheFilterBecomesQtEntriesAndAllFilesMeansEveryFile) {
  EXPECT_EQ(QtFileFilter("BinaryFile|*.bin|All Files|*.*|QVF Files|*.qvf"),
            QStringLiteral("BinaryFile (*.bin);;All Files (*);;QVF Files (*.qvf)"));
  EXPECT_EQ(QtFileFilter("Images|*.bin;*.qvf"), QStringLiteral("Images (*.bin *.qvf)"));
}

}  // namespace
}  // namespace q71x::testing
