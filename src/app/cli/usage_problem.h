// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The usage error a person reads: a word where the verb belongs is named, with the verbs there
// are, instead of the parser's "A subcommand is required".

#include <string>
#include <vector>

namespace CLI {
class App;
class ParseError;
}  // namespace CLI

namespace q71x::cli {

std::string UsageProblem(const CLI::App& app, const std::vector<std::string>& args,
                         const CLI::ParseError& error);

}  // namespace q71x::cli
