#include "src/app/cli/device_choice.h"

#include <algorithm>
#include <cctype>

namespace q71x::cli {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

DeviceChoice Refused(const std::string& message) {
  return DeviceChoice{-1, ExitCode::NoSuchDevice, message};
}

DeviceChoice Found(int index) {
  DeviceChoice choice;
  choice.Index = index;
  return choice;
}

}  // namespace

DeviceChoice ChooseDevice(CliSession& session, const std::string& name) {
  const int count = session.DeviceCount();
  if (count == 0) {
    return Refused("no device found");
  }
  if (!name.empty() && name.size() <= 3 && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
      })) {
    const int index = std::stoi(name);
    if (index >= count) {
      return Refused("no device " + name + " (" + std::to_string(count) + " listed)");
    }
    return Found(index);
  }
  // Paths are listed lower-cased.
  const std::string wanted = Lower(name);
  for (int i = 0; i < count; ++i) {
    if (session.PathOf(i) == wanted) {
      return Found(i);
    }
  }
  // A chip name is known only once the chip check has run on each device.
  std::vector<int> byChip;
  for (int i = 0; i < count; ++i) {
    const DeviceFacts facts = session.Select(i);
    if (!facts.Chip.empty() && Lower(facts.Chip) == wanted) {
      byChip.push_back(i);
    }
  }
  if (byChip.size() == 1) {
    return Found(byChip.front());
  }
  if (byChip.empty()) {
    return Refused("no device named \"" + name + "\"");
  }
  std::string message = "\"" + name + "\" names " + std::to_string(byChip.size()) + " devices (" +
                        std::to_string(byChip.front());
  for (std::size_t i = 1; i < byChip.size(); ++i) {
    message += ", " + std::to_string(byChip[i]);
  }
  return Refused(message + "); name one by index or path");
}

}  // namespace q71x::cli
