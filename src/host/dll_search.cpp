// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/host/dll_search.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace q71x {

void LoadLibrariesFromSystemFolderOnly() {
#ifdef _WIN32
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
#endif
}

}  // namespace q71x
