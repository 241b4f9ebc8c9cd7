// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/run_caption.h"

#include "src/tool/tool_texts.h"

namespace q71x {

std::string RunCaption(int percent) {
  std::string caption(kWindowCaption);
  if (percent >= 0) {
    caption += " - " + std::to_string(percent) + "%";
  }
  return caption;
}

}  // namespace q71x
