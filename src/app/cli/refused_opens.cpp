// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/refused_opens.h"

#include <algorithm>

namespace q71x::cli {

DeviceHandle RefusedOpens::OpenDevice(const std::string& path, AccessMode mode) {
  const DeviceHandle handle = Inner().OpenDevice(path, mode);
  if (handle == kInvalidDeviceHandle && Inner().IsAccessDenied(Inner().LastErrorCode()) &&
      std::find(paths_.begin(), paths_.end(), path) == paths_.end()) {
    paths_.push_back(path);
  }
  return handle;
}

}  // namespace q71x::cli
