// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The chip check's recovery question in a headless session: nobody is there to answer a box, so
// the question is answered no (the check only reports the open entry) unless the program gave an
// answerer, which confirms with the operator (the terminal or --yes). Installed for the
// answerer's lifetime, then the previous handler comes back.

#include <cstddef>
#include <functional>

#include "src/host/question_box.h"

namespace q71x {

class RecoveryAnswers {
 public:
  RecoveryAnswers();
  ~RecoveryAnswers();
  RecoveryAnswers(const RecoveryAnswers&) = delete;
  RecoveryAnswers& operator=(const RecoveryAnswers&) = delete;

  // From now on questions go to `answer`; empty: every question is answered no.
  void AnswerWith(QuestionHandler answer) { answer_ = std::move(answer); }
  // How many questions were answered yes so far.
  std::size_t YesCount() const { return yes_; }

 private:
  QuestionHandler answer_;
  std::size_t yes_ = 0;
  QuestionHandler previous_;
};

}  // namespace q71x
