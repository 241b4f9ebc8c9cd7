// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/session/box_recorder.h"

#include <utility>

namespace q71x {

BoxRecorder::BoxRecorder() {
  previousBox_ =
      SetMessageBoxHandler([this](const MessageBoxRequest& request) { boxes_.push_back(request); });
  previousOpenFile_ = SetOpenFileHandler(
      [this](const OpenFileRequest&) { return std::exchange(openFileAnswer_, std::nullopt); });
}

BoxRecorder::~BoxRecorder() {
  SetMessageBoxHandler(std::move(previousBox_));
  SetOpenFileHandler(std::move(previousOpenFile_));
}

std::vector<std::string> BoxRecorder::TextsSince(std::size_t first) const {
  std::vector<std::string> texts;
  for (std::size_t i = first; i < boxes_.size(); ++i) {
    texts.push_back(boxes_[i].Text);
  }
  return texts;
}

}  // namespace q71x
