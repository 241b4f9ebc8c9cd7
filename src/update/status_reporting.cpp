// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/status_reporting.h"

#include <cstdio>
#include <string>
#include <utility>

#include "src/device/platform/platform.h"
#include "src/host/thread_seams.h"
#include "src/host/user_dialogs.h"
#include "src/update/update_texts.h"

namespace q71x {

void ReportStatus(ToolWindow& window, StatusStyle style, std::string_view text) {
  if (style == StatusStyle::Post) {
    window.PostStatus(std::string(text));
    return;
  }
  window.SetStatus(std::string(text));
  window.RedrawStatus();
}

bool OpenWindowImage(ToolWindow& window, ChipGroup family, StatusStyle style, ImageSource& image) {
  const std::string_view refusal = OpenImageFile(window.FirmwareFileName(), family, image);
  if (!refusal.empty()) {
    ReportStatus(window, style, refusal);
  }
  return refusal.empty();
}

void ReportProgressDot(ToolWindow& window, StatusStyle style) {
  ReportStatus(window, style, window.StatusText() + ".");
}

void ShowMessage(std::string_view text) {
  ShowMessageBox(std::string(text), std::string(kMessageCaptionText));
}

void WriteDebugLine(std::string_view text) {
  ActivePlatform().DebugOutput(std::string(text));
}

namespace {
ConsoleLineSink& ConsoleSink() {
  static ConsoleLineSink processWide;
  thread_local ConsoleLineSink threadOwn;
  return SeamSlot(processWide, threadOwn);
}
}  // namespace

ConsoleLineSink SetConsoleLineSink(ConsoleLineSink sink) {
  return std::exchange(ConsoleSink(), std::move(sink));
}

void WriteConsoleLine(std::string_view text) {
  if (ConsoleSink()) {
    ConsoleSink()(text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace q71x
