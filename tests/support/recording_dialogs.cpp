// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/support/recording_dialogs.h"

namespace q71x::testing {

RecordingDialogs::RecordingDialogs() {
  previousBox_ = SetMessageBoxHandler([this](const MessageBoxRequest& box) {
    boxes_.push_back(box);
    if (WhileBoxOpen) {
      WhileBoxOpen(box);
    }
  });
  previousFile_ = SetOpenFileHandler([this](const OpenFileRequest& request) {
    fileRequests_.push_back(request);
    if (answers_.empty()) {
      return std::optional<std::string>{};
    }
    auto answer = answers_.front();
    answers_.pop_front();
    return answer;
  });
}

RecordingDialogs::~RecordingDialogs() {
  SetMessageBoxHandler(std::move(previousBox_));
  SetOpenFileHandler(std::move(previousFile_));
}

std::vector<std::string> RecordingDialogs::BoxTexts() const {
  std::vector<std::string> texts;
  for (const auto& box : boxes_) {
    texts.push_back(box.Text);
  }
  return texts;
}

}  // namespace q71x::testing
