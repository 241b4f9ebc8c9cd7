// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Process-wide yes/no questions, beside the message boxes of user_dialogs.h: the window installs
// a real box, the command line its own confirmation, tests a recorder. With nothing installed
// the question goes to standard error and is answered no, so nothing is done that nobody asked
// for.

#include <functional>
#include <string>

#include "src/host/user_dialogs.h"

namespace q71x {

// True when the operator answered yes.
using QuestionHandler = std::function<bool(const MessageBoxRequest&)>;

bool AskYesNo(const std::string& text, const std::string& caption);

// An empty handler restores the default. Returns the handler it replaced.
QuestionHandler SetQuestionHandler(QuestionHandler handler);

}  // namespace q71x
