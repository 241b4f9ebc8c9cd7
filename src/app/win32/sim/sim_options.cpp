// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/win32/sim/sim_options.h"

#include <optional>
#include <string_view>

#include "src/device/platform/sim/wall_clock_pacing.h"

namespace q71x::win32 {

SimOptions ParseSimOptions(const std::vector<std::string>& arguments) {
  SimOptions options;
  std::size_t i = 0;
  // The value of `--name VALUE` or `--name=VALUE` at the current argument; nullopt when the
  // argument is another option. An empty value is an error.
  auto valueOf = [&](std::string_view name) -> std::optional<std::string> {
    const std::string_view argument = arguments[i];
    if (argument == name) {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
        return std::string();
      }
      return arguments[++i];
    }
    if (argument.size() > name.size() && argument.starts_with(name) &&
        argument[name.size()] == '=') {
      return std::string(argument.substr(name.size() + 1));
    }
    return std::nullopt;
  };
  for (; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (const std::optional<std::string> folder = valueOf("--state")) {
      if (folder->empty()) {
        options.Error = "--state needs a folder";
        return options;
      }
      options.StateFolder = *folder;
    } else if (const std::optional<std::string> pace = valueOf("--pace")) {
      const std::optional<double> factor = ParsePace(*pace);
      if (!factor) {
        options.Error = "--pace takes a number of 0 or more";
        return options;
      }
      options.Pace = *factor;
    } else if (argument == "--rd-version") {
      options.RdVersion = true;
    } else if (argument == "--help" || argument == "-h" || argument == "/?") {
      options.Help = true;
    } else {
      options.Error = "unknown option: " + std::string(argument);
      return options;
    }
  }
  return options;
}

}  // namespace q71x::win32
