// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Replaces the process-wide message box and open-file dialog for the life of a test.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "src/host/user_dialogs.h"

namespace q71x::testing {

class RecordingDialogs {
 public:
  RecordingDialogs();
  ~RecordingDialogs();
  RecordingDialogs(const RecordingDialogs&) = delete;
  RecordingDialogs& operator=(const RecordingDialogs&) = delete;

  const std::vector<MessageBoxRequest>& Boxes() const { return boxes_; }
  // Runs while a box is open, as the events a real box's own event loop lets through would.
  std::function<void(const MessageBoxRequest&)> WhileBoxOpen;
  std::vector<std::string> BoxTexts() const;
  const std::vector<OpenFileRequest>& FileRequests() const { return fileRequests_; }
  // Answers for the next open-file dialogs, in order; nullopt = cancelled. When none are
  // queued the dialog is cancelled.
  void QueueOpenFileAnswer(std::optional<std::string> answer) {
    answers_.push_back(std::move(answer));
  }

 private:
  std::vector<MessageBoxRequest> boxes_;
  std::vector<OpenFileRequest> fileRequests_;
  std::deque<std::optional<std::string>> answers_;
  MessageBoxHandler previousBox_;
  OpenFileHandler previousFile_;
};

}  // namespace q71x::testing
