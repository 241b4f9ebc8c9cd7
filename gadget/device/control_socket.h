// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The gadget's control channel: a Unix stream socket that takes one line per connection and
// answers one line ("ok ..." or "error ..."). The guest test uses it to plug and unplug the
// gadget and to have the flash written to a file.

#include <functional>
#include <optional>
#include <string>

namespace q71x::gadget {

using ControlHandler = std::function<std::string(const std::string& line)>;

// Listening socket at `path` (an old socket file there is replaced); -1 with `error` on failure.
int ListenOnControlSocket(const std::string& path, std::string& error);
// Accepts one connection, answers its line and closes it. False when accept itself failed.
bool ServeOneControlRequest(int listenFd, const ControlHandler& handler);

// Sends `line` and waits up to `timeoutSeconds` for the answer; nullopt when the gadget could not
// be reached or did not answer in time.
std::optional<std::string> SendControlRequest(const std::string& socketPath,
                                              const std::string& line, int timeoutSeconds);

}  // namespace q71x::gadget
