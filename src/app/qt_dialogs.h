// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Installs Qt message boxes and the Qt open-file dialog behind the process-wide dialog seams.

#include <QString>

#include <string>

class QWidget;

namespace q71x {

// Boxes and dialogs are shown over the application's active window.
void InstallQtDialogs();

// "Name|*.ext|Name|*.*" becomes Qt's "Name (*.ext);;Name (*)": the all-files pattern of the
// filter means every file, dotted or not.
QString QtFileFilter(const std::string& filter);

}  // namespace q71x
