// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/quiet_scope.h"

namespace q71x::cli {

QuietScope::QuietScope(CliEnvironment& env, bool quiet)
    : env_(env), loud_(env.Err), ask_(env.Ask), errTerminal_(env.ErrTerminal) {
  if (!quiet || env_.Err == nullptr) {
    return;
  }
  env_.Ask = ask_ != nullptr ? ask_ : loud_;
  env_.Err = &silent_;
  // No bar: it would only be drawn into nothing.
  env_.ErrTerminal = false;
  previousConsole_ = SetConsoleLineSink([](std::string_view) {});
}

QuietScope::~QuietScope() {
  if (previousConsole_) {
    SetConsoleLineSink(std::move(*previousConsole_));
  }
  env_.Err = loud_;
  env_.Ask = ask_;
  env_.ErrTerminal = errTerminal_;
}

}  // namespace q71x::cli
