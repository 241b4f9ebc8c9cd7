#include "src/app/win32/sim/sim_options.h"

#include <string_view>

namespace q71x::win32 {

SimOptions ParseSimOptions(const std::vector<std::string>& arguments) {
  constexpr std::string_view kStateEquals = "--state=";
  SimOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--state") {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
        options.Error = "--state needs a folder";
        return options;
      }
      options.StateFolder = arguments[++i];
    } else if (argument.starts_with(kStateEquals) && argument.size() > kStateEquals.size()) {
      options.StateFolder = std::string(argument.substr(kStateEquals.size()));
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
