// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// How a procedure tells the operator where it is. The whole-image procedures post (set the text,
// then let the window handle queued input so it repaints between long commands); the 16 KB block
// procedures only repaint the status field and keep the window's input queued until they end.

#include <functional>
#include <string_view>

#include "src/catalog/chip_tables.h"
#include "src/update/image_source.h"
#include "src/update/tool_window.h"

namespace q71x {

enum class StatusStyle {
  Post,  // set the text, then process pending window messages
  Show,  // set the text, then repaint the status field at once
};

void ReportStatus(ToolWindow& window, StatusStyle style, std::string_view text);
// The same, for procedures that keep to one style throughout.
inline void ShowStatus(ToolWindow& window, std::string_view text) {
  ReportStatus(window, StatusStyle::Show, text);
}
inline void PostStatus(ToolWindow& window, std::string_view text) {
  ReportStatus(window, StatusStyle::Post, text);
}
// Opens the image file the window names for `family`; on a refusal reports it in `style` and
// returns false, before the flash is touched.
bool OpenWindowImage(ToolWindow& window, ChipGroup family, StatusStyle style, ImageSource& image);
// One "." after the current text, per erased unit or transferred block.
void ReportProgressDot(ToolWindow& window, StatusStyle style);

// A box with one OK button and the caption "Message"; returns when the operator closed it.
void ShowMessage(std::string_view text);
// Diagnostics for field engineers: the debugger channel and standard output.
void WriteDebugLine(std::string_view text);
void WriteConsoleLine(std::string_view text);
// Where console lines go instead of standard output (a front end whose standard streams carry a
// format of their own); empty: standard output again. Returns the one it replaces.
using ConsoleLineSink = std::function<void(std::string_view line)>;
ConsoleLineSink SetConsoleLineSink(ConsoleLineSink sink);

}  // namespace q71x
