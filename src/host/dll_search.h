// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The Windows programs are often started from a downloads folder, and the common controls, the
// file dialogs and the shell load further libraries by name while they run: a library of that
// name planted beside the executable would run with the program's rights (the window's are an
// administrator's). Called first thing in every entry point, before anything loads a library.

namespace q71x {

// Libraries loaded by name come from the system folder only. Nothing to do off Windows.
void LoadLibrariesFromSystemFolderOnly();

}  // namespace q71x
