// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The message boxes of a headless run: nobody is there to close them, so each one is kept
// (text, caption) for the report instead, and the run goes on as if OK had been pressed. The
// open-file dialog answers the one name the session was given, once; asked again, it is
// cancelled. Installed for the recorder's lifetime, then the previous handlers come back.

#include <optional>
#include <string>
#include <vector>

#include "src/host/user_dialogs.h"

namespace q71x {

class BoxRecorder {
 public:
  BoxRecorder();
  ~BoxRecorder();
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;

  const std::vector<MessageBoxRequest>& Boxes() const { return boxes_; }
  // The texts of the boxes from `first` on.
  std::vector<std::string> TextsSince(std::size_t first) const;
  void AnswerNextOpenFile(std::string path) { openFileAnswer_ = std::move(path); }

 private:
  std::vector<MessageBoxRequest> boxes_;
  std::optional<std::string> openFileAnswer_;
  MessageBoxHandler previousBox_;
  OpenFileHandler previousOpenFile_;
};

}  // namespace q71x
