// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/host/user_dialogs.h"

#include <cstdio>
#include <utility>

#include "src/host/thread_seams.h"

namespace q71x {
namespace {

MessageBoxHandler& BoxHandler() {
  static MessageBoxHandler processWide;
  thread_local MessageBoxHandler threadOwn;
  return SeamSlot(processWide, threadOwn);
}

OpenFileHandler& FileHandler() {
  static OpenFileHandler processWide;
  thread_local OpenFileHandler threadOwn;
  return SeamSlot(processWide, threadOwn);
}

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
  if (BoxHandler()) {
    BoxHandler()(MessageBoxRequest{text, caption, icon});
    return;
  }
  std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
}

std::optional<std::string> ShowOpenFileDialog(const OpenFileRequest& request) {
  if (FileHandler()) {
    return FileHandler()(request);
  }
  return std::nullopt;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  return std::exchange(BoxHandler(), std::move(handler));
}

OpenFileHandler SetOpenFileHandler(OpenFileHandler handler) {
  return std::exchange(FileHandler(), std::move(handler));
}

}  // namespace q71x
