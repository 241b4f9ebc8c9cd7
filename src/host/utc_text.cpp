// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/host/utc_text.h"

#include <ctime>

namespace q71x {

std::string UtcText(std::chrono::system_clock::time_point when, const char* format) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, format, &utc);
  return text;
}

}  // namespace q71x
