// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Process-wide message boxes and the open-file dialog. Any layer may show a box (identification
// and file validation do); the window installs real dialogs, tests install recorders.

#include <functional>
#include <optional>
#include <string>

namespace q71x {

enum class MessageIcon { None, Information, Warning, Error };

struct MessageBoxRequest {
  std::string Text;
  std::string Caption;
  MessageIcon Icon = MessageIcon::None;
};

struct OpenFileRequest {
  std::string Filter;            // "Name|*.ext|Name|*.*|..." pairs
  std::string InitialDirectory;  // empty: the dialog's own choice
  // A name to write to: the dialog takes names of files that do not exist yet and asks before
  // it gives the name of one that does.
  bool ForSaving = false;
};

using MessageBoxHandler = std::function<void(const MessageBoxRequest&)>;
// Returns the chosen path, or nothing when the operator cancelled.
using OpenFileHandler = std::function<std::optional<std::string>(const OpenFileRequest&)>;

// Shows a box with one OK button and returns when the operator closed it.
void ShowMessageBox(const std::string& text, const std::string& caption,
                    MessageIcon icon = MessageIcon::None);
std::optional<std::string> ShowOpenFileDialog(const OpenFileRequest& request);

// Install handlers; an empty handler restores the default (boxes go to standard error, the
// open-file dialog is cancelled). Each returns the handler it replaced.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
OpenFileHandler SetOpenFileHandler(OpenFileHandler handler);

}  // namespace q71x
