// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/win32/win32_file_drop.h"

#include <shellapi.h>

#include <initializer_list>

namespace q71x::win32 {
namespace {

// Not in the SDK headers: the message by which the shell hands the dropped names' memory across.
constexpr UINT kCopyGlobalData = 0x0049;

}  // namespace

void AcceptFilesFromExplorer(HWND window) {
  for (const UINT message :
       {static_cast<UINT>(WM_DROPFILES), static_cast<UINT>(WM_COPYDATA), kCopyGlobalData}) {
    ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr);
  }
  DragAcceptFiles(window, TRUE);
}

}  // namespace q71x::win32
