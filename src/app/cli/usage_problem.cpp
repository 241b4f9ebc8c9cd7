// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/usage_problem.h"

#include <CLI/CLI.hpp>
#include <optional>

namespace q71x::cli {
namespace {

// The first word that is neither an option nor an option's value: where the verb belongs.
std::optional<std::string> VerbWord(const CLI::App& app, const std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      return i + 1 < args.size() ? std::optional(args[i + 1]) : std::nullopt;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      return arg;
    }
    if (arg.find('=') != std::string::npos) {
      continue;
    }
    const CLI::Option* option = app.get_option_no_throw(arg);
    if (option != nullptr && option->get_expected_min() > 0) {
      ++i;
    }
  }
  return std::nullopt;
}

}  // namespace

std::string UsageProblem(const CLI::App& app, const std::vector<std::string>& args,
                         const CLI::ParseError& error) {
  std::string verbs;
  bool known = false;
  const std::optional<std::string> word = VerbWord(app, args);
  for (const CLI::App* verb : app.get_subcommands([](const CLI::App*) { return true; })) {
    verbs += (verbs.empty() ? "" : ", ") + verb->get_name();
    known = known || (word && *word == verb->get_name());
  }
  if (word && !known) {
    return "unknown verb '" + *word + "'; verbs are: " + verbs;
  }
  if (!word && std::string(error.what()).find("subcommand") != std::string::npos) {
    return "no verb given; verbs are: " + verbs;
  }
  return error.what();
}

}  // namespace q71x::cli
