// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/host/question_box.h"

#include <cstdio>
#include <utility>

#include "src/host/thread_seams.h"

namespace q71x {
namespace {

QuestionHandler& Handler() {
  static QuestionHandler processWide;
  thread_local QuestionHandler threadOwn;
  return SeamSlot(processWide, threadOwn);
}

}  // namespace

bool AskYesNo(const std::string& text, const std::string& caption) {
  if (Handler()) {
    return Handler()(MessageBoxRequest{text, caption, MessageIcon::Warning});
  }
  std::fprintf(stderr, "[%s] %s (answered no)\n", caption.c_str(), text.c_str());
  return false;
}

QuestionHandler SetQuestionHandler(QuestionHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}

}  // namespace q71x
