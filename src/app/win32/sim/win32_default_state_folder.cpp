// Where the native Windows build keeps the simulator's state: the user's local application data.

// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include "src/app/sim/sim_state_folder.h"

namespace q71x {

std::filesystem::path DefaultSimStateFolder() {
  PWSTR folder = nullptr;
  std::filesystem::path base;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder))) {
    base = folder;  // wide: the user's name may hold any character
  }
  CoTaskMemFree(folder);
  if (base.empty()) {
    base = std::filesystem::current_path();
  }
  return base / L"q71xfwtool-sim";
}

}  // namespace q71x
