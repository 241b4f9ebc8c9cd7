// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/win32/win32_dialogs.h"

// clang-format off
#include <windows.h>
#include <commdlg.h>
// clang-format on

#include <cwchar>

#include "src/app/win32/win32_text.h"
#include "src/host/question_box.h"
#include "src/host/user_dialogs.h"

namespace q71x::win32 {
namespace {

UINT IconFlags(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return MB_ICONINFORMATION;
    case MessageIcon::Warning:
      return MB_ICONWARNING;
    case MessageIcon::Error:
      return MB_ICONERROR;
    case MessageIcon::None:
      break;
  }
  return 0;
}

// Long paths (up to the wide API's own limit) come back whole; the core decides what it takes.
constexpr std::size_t kLongestPath = 32768;

}  // namespace

void InstallWin32Dialogs() {
  SetMessageBoxHandler([](const MessageBoxRequest& request) {
    const std::wstring text = Utf8ToWide(request.Text);
    const std::wstring caption = Utf8ToWide(request.Caption);
    MessageBoxW(GetActiveWindow(), text.c_str(), caption.c_str(), MB_OK | IconFlags(request.Icon));
  });
  SetQuestionHandler([](const MessageBoxRequest& request) {
    const std::wstring text = Utf8ToWide(request.Text);
    const std::wstring caption = Utf8ToWide(request.Caption);
    return MessageBoxW(GetActiveWindow(), text.c_str(), caption.c_str(),
                       MB_YESNO | MB_DEFBUTTON2 | IconFlags(request.Icon)) == IDYES;
  });
  SetOpenFileHandler([](const OpenFileRequest& request) -> std::optional<std::string> {
    const std::wstring filter = OpenFileFilter(request.Filter);
    const std::wstring initialDir = Utf8ToWide(request.InitialDirectory);
    std::wstring chosen(kLongestPath, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = GetActiveWindow();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen.data();
    dialog.nMaxFile = static_cast<DWORD>(chosen.size());
    dialog.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    // A name to write to may be new; an existing one is named only after the operator agreed.
    if (request.ForSaving) {
      dialog.Flags |= OFN_OVERWRITEPROMPT;
    }
    const BOOL answered = request.ForSaving ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!answered) {
      return std::nullopt;
    }
    chosen.resize(wcslen(chosen.c_str()));
    return WideToUtf8(chosen);
  });
}

}  // namespace q71x::win32
