// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A window program started where no window can open (an ssh session, a container, CI) would
// abort inside the toolkit; it says so instead, and still answers --help and --version.

namespace q71x {

// Call before the QApplication exists. False, after a message on standard error, when there is
// no display to open the window on; --help and --version are then answered on an offscreen one.
bool DisplayForTheWindow(int argc, char* argv[], const char* program);

}  // namespace q71x
