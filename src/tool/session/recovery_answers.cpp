// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/session/recovery_answers.h"

#include <utility>

namespace q71x {

RecoveryAnswers::RecoveryAnswers() {
  previous_ = SetQuestionHandler([this](const MessageBoxRequest& request) {
    const bool yes = answer_ && answer_(request);
    yes_ += yes ? 1 : 0;
    return yes;
  });
}

RecoveryAnswers::~RecoveryAnswers() {
  SetQuestionHandler(std::move(previous_));
}

}  // namespace q71x
