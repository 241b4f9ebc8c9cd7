// SPDX-License-Identifier: GPL-2.0-or-later
// The native window over simulated enclosures, driven through its own controls as Windows
// delivers their notifications: sizes, captions and bounds as laid out, the core's state shown,
// the view's own changes never coming back as operator events, operator edits in UTF-8, dropped
// files, events posted from other threads, and hot-plug from the simulator's plug events.
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "sim/cdb_pattern.h"
#include "sim/presets.h"
#include "sim/simulated_system.h"
#include "src/app/win32/sim/win32_enclosure_panel.h"
#include "src/app/win32/win32_text.h"
#include "src/app/win32/win32_window.h"
#include "src/device/discovery.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/tool/tool_texts.h"
#include "src/tool/window_description.h"
#include "tests/support/fault_rule.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/temp_folder.h"

namespace q71x::win32 {
namespace {

SIZE ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return {client.right - client.left, client.bottom - client.top};
}

// A control's bounds relative to its parent's client area.
RECT BoundsInParent(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Shown as far as the control itself goes (the window stays hidden during the tests).
bool Shown(HWND control) {
  return (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::wstring TextOf(HWND control) {
  wchar_t text[1024] = {};
  GetWindowTextW(control, text, 1024);
  return text;
}

// Lets the window's messages run until `done` holds or the time is up.
template <typename Predicate>
bool PumpUntil(Predicate done, int timeoutMs = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // Left for the test to see, as the program's loop would.
        PostQuitMessage(static_cast<int>(message.wParam));
        break;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
  return true;
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::AddPreset(system, "qv40714-atmel", {sim::SimVolume{'E'}});
    sim::AddPreset(system, "qv40714-winbond", {sim::SimVolume{'F'}});
    window = std::make_unique<Win32ToolWindow>(GetModuleHandleW(nullptr), "C:\\");
  }
  void TearDown() override {
    window.reset();
    // Destroying the window asks the thread's loop to end; no later test must see that.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  HWND Control_(Control control) { return window->ControlHandle(control); }
  void Click(Control control) { SendMessageW(Control_(control), BM_CLICK, 0, 0); }

  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform usePlatform{platform};
  testing::RecordingDialogs dialogs;
  std::unique_ptr<Win32ToolWindow> window;
};

TEST_F(Win32WindowTest, OpensWithTheCaptionAndTheShortHeight) {
  EXPECT_EQ(TextOf(window->Handle()), Utf8ToWide(kWindowCaption));
  const SIZE size = ClientSize(window->Handle());
  EXPECT_EQ(size.cx, kClientWidth);
  EXPECT_EQ(size.cy, kClientHeight - kRdPanelHeight);
  EXPECT_FALSE(Shown(Control_(Control::RdPanel)));
  // Not resizable and no maximise button.
  const LONG_PTR style = GetWindowLongPtrW(window->Handle(), GWL_STYLE);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
  EXPECT_NE(style & WS_MINIMIZEBOX, 0);
}

TEST_F(Win32WindowTest, ButtonsAndFieldsSitWhereTheLayoutPutsThem) {
  for (Control control : {Control::UpdateBtn, Control::ExitBtn, Control::LoadBtn,
                          Control::FwFilenameEdit, Control::StatusEdit, Control::BackupBtn,
                          Control::DeviceList, Control::FlashTypeList, Control::FwSizeCheck}) {
    const Bounds want = SpecOf(control).Place;
    const RECT got = BoundsInParent(Control_(control));
    EXPECT_EQ(got.left, want.Left) << ControlName(control);
    EXPECT_EQ(got.top, want.Top) << ControlName(control);
    EXPECT_EQ(got.right - got.left, want.Width) << ControlName(control);
    EXPECT_EQ(got.bottom - got.top, want.Height) << ControlName(control);
  }
  // A labelled edit's label ends just left of its edit.
  const RECT label = BoundsInParent(window->LabelHandle(Control::FwFilenameEdit));
  EXPECT_EQ(label.right, SpecOf(Control::FwFilenameEdit).Place.Left - kLabelSpacing);
  EXPECT_EQ(TextOf(window->LabelHandle(Control::FwFilenameEdit)), L"Firmware File ");
  EXPECT_EQ(TextOf(Control_(Control::UpdateBtn)), L"Run");
}

// Every control of the core's description is a window in its parent, reached by the keyboard
// exactly when the description says so, with its caption (a labelled edit's on its label) or
// its items.
TEST_F(Win32WindowTest, BuildsEveryControlOfTheDescription) {
  HWND panel = Control_(Control::RdPanel);
  for (const ControlSpec& spec : WindowDescription()) {
    const char* name = ControlName(spec.Id);
    HWND control = Control_(spec.Id);
    ASSERT_NE(control, nullptr) << name;
    EXPECT_EQ(GetParent(control), spec.InRdPanel ? panel : window->Handle()) << name;
    EXPECT_EQ((GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP) != 0, spec.TabStop) << name;
    if (spec.Kind == ControlKind::ComboBox) {
      // The device list has none of its own: it shows the core's.
      if (!spec.Items.empty()) {
        EXPECT_EQ(SendMessageW(control, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(spec.Items.size()))
            << name;
      }
      for (std::size_t i = 0; i < spec.Items.size(); ++i) {
        wchar_t item[64] = {};
        SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        EXPECT_EQ(item, Utf8ToWide(spec.Items[i].Caption)) << name;
      }
    } else if (HWND label = window->LabelHandle(spec.Id)) {
      EXPECT_EQ(TextOf(label), Utf8ToWide(spec.Text)) << name;
    } else if (spec.Kind == ControlKind::Button || spec.Kind == ControlKind::CheckBox) {
      EXPECT_EQ(TextOf(control), Utf8ToWide(spec.Text)) << name;
    }
  }
}

TEST_F(Win32WindowTest, ShowsTheCoresStateAtStart) {
  HWND list = Control_(Control::DeviceList);
  ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(TextOf(list), Latin1ToWide(window->Core().DeviceItems().front()));
  EXPECT_EQ(TextOf(Control_(Control::ChipLabelEdit)),
            Utf8ToWide(window->Core().Controls(Control::ChipLabelEdit).Text));
  EXPECT_FALSE(IsWindowEnabled(Control_(Control::UpdateBtn)));
  EXPECT_FALSE(Shown(Control_(Control::RefreshBtn)));
  EXPECT_EQ(SendMessageW(Control_(Control::FwPgSizeCheck), CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendMessageW(Control_(Control::FwSizeCheck), CB_GETCOUNT, 0, 0), 6);
}

TEST_F(Win32WindowTest, RdVersionShowsThePanelAndTwoClicksRestoreTheHeight) {
  Click(Control::RdCheckBox);
  EXPECT_TRUE(window->Core().RdVersionTicked());
  EXPECT_TRUE(Shown(Control_(Control::RdPanel)));
  EXPECT_EQ(ClientSize(window->Handle()).cy, kClientHeight);
  Click(Control::RdCheckBox);
  EXPECT_FALSE(window->Core().RdVersionTicked());
  EXPECT_EQ(ClientSize(window->Handle()).cy, kClientHeight - kRdPanelHeight);
}

TEST_F(Win32WindowTest, TheViewsOwnChangesAreNotOperatorEvents) {
  window->ShowText(Control::FwFilenameEdit, "shown.bin");
  window->ShowChecked(Control::NVRAMCheck, true);
  window->ShowSelectedItem(Control::FwSizeCheck, 3);
  EXPECT_EQ(TextOf(Control_(Control::FwFilenameEdit)), L"shown.bin");
  EXPECT_EQ(window->Core().Controls(Control::FwFilenameEdit).Text, "");
  EXPECT_FALSE(window->Core().NvramTicked());
  EXPECT_EQ(window->Core().Settings().FirmwareSize, 65536u);
}

TEST_F(Win32WindowTest, OperatorEditsReachTheCoreInUtf8) {
  // As typing does: the edit changes and tells its parent.
  SetWindowTextW(Control_(Control::BackupFileEdit), L"C:\\Sicherung\\\u56FA\u4EF6.bin");
  EXPECT_EQ(window->Core().BackupFileName(), "C:\\Sicherung\\\xE5\x9B\xBA\xE4\xBB\xB6.bin");
  // A choice in a combo box is the operator's; the core applies the firmware size.
  HWND sizes = Control_(Control::FwSizeCheck);
  SendMessageW(sizes, CB_SETCURSEL, 2, 0);
  SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(sizes), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(sizes));
  EXPECT_EQ(window->Core().Settings().FirmwareSize, 128u * 1024);
}

// A WM_DROPFILES as the shell sends it, with wide names.
HGLOBAL MakeDrop(const std::vector<std::wstring>& names) {
  std::size_t chars = 1;
  for (const std::wstring& name : names) {
    chars += name.size() + 1;
  }
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  auto* out = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
  for (const std::wstring& name : names) {
    std::memcpy(out, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    out += name.size() + 1;
  }
  GlobalUnlock(memory);
  return memory;
}

TEST_F(Win32WindowTest, ADroppedFileWithAnyNameBecomesTheFirmwareFile) {
  const std::wstring name = L"C:\\Firmware\\\u00E9t\u00E9 \U0001F600.bin";
  SendMessageW(window->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({name})), 0);
  EXPECT_EQ(window->Core().FirmwareFileName(), WideToUtf8(name));
  EXPECT_EQ(TextOf(Control_(Control::FwFilenameEdit)), name);
}

TEST_F(Win32WindowTest, TwoDroppedFilesAreRefused) {
  SendMessageW(window->Handle(), WM_DROPFILES,
               reinterpret_cast<WPARAM>(MakeDrop({L"C:\\a.bin", L"C:\\b.bin"})), 0);
  EXPECT_EQ(dialogs.BoxTexts(), std::vector<std::string>{std::string(kDropOneFileText)});
  EXPECT_EQ(window->Core().FirmwareFileName(), "");
}

TEST_F(Win32WindowTest, PostedEventsRunOnTheWindowsThreadLater) {
  const DWORD windowThread = GetCurrentThreadId();
  DWORD ranOn = 0;
  std::thread other([&] { window->PostEvent([&] { ranOn = GetCurrentThreadId(); }); });
  other.join();
  EXPECT_EQ(ranOn, 0u);
  EXPECT_TRUE(PumpUntil([&] { return ranOn != 0; }));
  EXPECT_EQ(ranOn, windowThread);
}

TEST_F(Win32WindowTest, UnpluggingAnEnclosureRefreshesTheListAfterTheDebounce) {
  const std::string second = system.Enclosures()[1]->Path;
  ASSERT_TRUE(system.Unplug(second));
  // Nothing before the window's timer has fired.
  EXPECT_EQ(window->Core().DeviceCount(), 2);
  ASSERT_TRUE(PumpUntil([&] { return window->Core().DeviceCount() == 1; }));
  EXPECT_EQ(SendMessageW(Control_(Control::DeviceList), CB_GETCOUNT, 0, 0), 1);
  ASSERT_TRUE(system.Plug(second));
  ASSERT_TRUE(PumpUntil([&] { return window->Core().DeviceCount() == 2; }));
  EXPECT_EQ(SendMessageW(Control_(Control::DeviceList), CB_GETCOUNT, 0, 0), 2);
}

TEST_F(Win32WindowTest, TheEnclosurePanelPlugsAndUnplugsWhatTheWindowLists) {
  Win32EnclosurePanel panel(GetModuleHandleW(nullptr), system, "C:\\state", 0, 0);
  HWND first = panel.EnclosureBox(0);
  EXPECT_EQ(SendMessageW(first, BM_GETCHECK, 0, 0), BST_CHECKED);
  SendMessageW(first, BM_CLICK, 0, 0);
  EXPECT_EQ(system.FindPlugged(system.Enclosures()[0]->Path), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return window->Core().DeviceCount() == 1; }));
  EXPECT_EQ(SendMessageW(Control_(Control::DeviceList), CB_GETCOUNT, 0, 0), 1);
  SendMessageW(first, BM_CLICK, 0, 0);
  EXPECT_NE(system.FindPlugged(system.Enclosures()[0]->Path), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return window->Core().DeviceCount() == 2; }));
}

// Both enclosures carry the QV40714 chip, so the image named for the first fits the second too:
// after the power cycle the update asks for, the first comes back selected, and meanwhile Run is
// never enabled for the second.
TEST_F(Win32WindowTest, ThePowerCycledEnclosureComesBackSelected) {
  testing::TempFolder folder;
  Win32EnclosurePanel panel(GetModuleHandleW(nullptr), system, "C:\\state", 0, 0);
  dialogs.QueueOpenFileAnswer(folder.Image("qv40714.bin", 1, 1));
  Click(Control::LoadBtn);
  ASSERT_TRUE(IsWindowEnabled(Control_(Control::UpdateBtn)));
  Click(Control::UpdateBtn);
  ASSERT_EQ(window->Core().LastResult(), 1);

  HWND first = panel.EnclosureBox(0);
  SendMessageW(first, BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return window->Core().DeviceCount() == 1; }));
  EXPECT_FALSE(IsWindowEnabled(Control_(Control::UpdateBtn)));
  SendMessageW(first, BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return window->Core().DeviceCount() == 2; }));
  EXPECT_EQ(SendMessageW(Control_(Control::DeviceList), CB_GETCURSEL, 0, 0), 0);
  EXPECT_TRUE(IsWindowEnabled(Control_(Control::UpdateBtn)));

  // Away again, the one left is the operator's once chosen from the list, though it is the item
  // already shown; it stays selected when the other comes back.
  SendMessageW(first, BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return window->Core().DeviceCount() == 1; }));
  ASSERT_FALSE(IsWindowEnabled(Control_(Control::UpdateBtn)));
  const int list = GetDlgCtrlID(Control_(Control::DeviceList));
  for (const WORD code : {WORD{CBN_DROPDOWN}, WORD{CBN_SELENDOK}}) {
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(list, code),
                 reinterpret_cast<LPARAM>(Control_(Control::DeviceList)));
  }
  EXPECT_TRUE(IsWindowEnabled(Control_(Control::UpdateBtn)));
  SendMessageW(first, BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return window->Core().DeviceCount() == 2; }));
  EXPECT_EQ(SendMessageW(Control_(Control::DeviceList), CB_GETCURSEL, 0, 0), 1);
}

// Counts the presses that reach the Run button.
int runPresses = 0;
WNDPROC runButtonProc = nullptr;
LRESULT CALLBACK CountingRunProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  runPresses += message == WM_LBUTTONDOWN ? 1 : 0;
  return CallWindowProcW(runButtonProc, button, message, wParam, lParam);
}

// A click that waits in the queue while Run goes on, in a run that fails on its first erase with
// no box: dropped, it starts no second erase and program.
TEST_F(Win32WindowTest, AClickQueuedDuringARunIsDropped) {
  testing::TempFolder folder;
  dialogs.QueueOpenFileAnswer(folder.Image("qv40714.bin", 1, 1));
  Click(Control::LoadBtn);
  for (const std::uint8_t erase : {std::uint8_t{0x13}, std::uint8_t{0x14}}) {
    system.Faults().Arm(testing::FaultRuleFor(sim::CdbPattern::Prefix({0xFF, 0x04, erase}), 1,
                                              sim::FaultKind::Fail));
  }
  int runs = 0;
  window->SetProcedureFinishedHandler([&runs] { ++runs; });
  HWND run = Control_(Control::UpdateBtn);
  runPresses = 0;
  runButtonProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(run, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingRunProc)));
  PostMessageW(run, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(run, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  const std::size_t boxesBefore = dialogs.Boxes().size();

  Click(Control::UpdateBtn);
  PumpUntil([] { return false; }, 300);

  EXPECT_EQ(dialogs.Boxes().size(), boxesBefore);
  EXPECT_EQ(window->Core().LastResult(), 0);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(system.Log().Count(sim::CdbPattern::Prefix({0xFF, 0x04, 0x13})) +
                system.Log().Count(sim::CdbPattern::Prefix({0xFF, 0x04, 0x14})),
            1u);
  EXPECT_EQ(runPresses, 1) << "only the click that started the run reached Run";
  SetWindowLongPtrW(run, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(runButtonProc));
}

TEST_F(Win32WindowTest, TheEnclosurePanelSaysWhatTheListLeavesOutAndStaysOnScreen) {
  // The fixture's two and fifteen more: one ticked enclosure past what the tool lists.
  for (int n = 0; n < kMaxDevices - 1; ++n) {
    sim::Enclosure extra = *sim::MakePresetEnclosure("qv40714-atmel");
    extra.Path += "-" + std::to_string(n);
    system.AddEnclosure(std::move(extra));
  }
  // Asked for a place far past the screen's corner, as beside a window grown with the DPI.
  Win32EnclosurePanel panel(GetModuleHandleW(nullptr), system, "C:\\state", 100000, 100000);
  EXPECT_EQ(TextOf(panel.LeftOutLine()), L"17 ticked: 1 of them not in the tool's list.");
  SendMessageW(panel.EnclosureBox(0), BM_CLICK, 0, 0);
  EXPECT_EQ(TextOf(panel.LeftOutLine()), L"");
  RECT outer{};
  GetWindowRect(panel.Handle(), &outer);
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_GE(outer.left, area.left);
  EXPECT_GE(outer.top, area.top);
  EXPECT_LE(outer.right, area.right);
  EXPECT_LT(outer.top, area.bottom);
}

TEST_F(Win32WindowTest, ExitClosesTheWindowAndEndsTheLoop) {
  Click(Control::ExitBtn);
  EXPECT_TRUE(PumpUntil([&] { return window->Handle() == nullptr; }));
  MSG quit;
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
}  // namespace q71x::win32
