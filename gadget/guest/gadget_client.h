// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The guest test's side of a gadget's control socket.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace q71x::guest {

class GadgetClient {
 public:
  explicit GadgetClient(std::string socketPath) : socketPath_(std::move(socketPath)) {}

  // The gadget's answer ("ok", "error ..."); "no answer" when it could not be reached.
  std::string Unplug() const { return Request("unplug"); }
  std::string Plug() const { return Request("plug"); }
  // Waits until the gadget's serial flash changes and pulls it out then: "ok", or "error ..."
  // when nothing changed within the request's time-out.
  std::string UnplugOnFlashChange() const { return Request("unplug-on-change"); }
  // "ok N": the mass-storage resets the gadget has seen.
  std::string Resets() const { return Request("resets"); }
  // "ok SERIAL": the USB serial number the host reads of the gadget.
  std::string Serial() const { return Request("serial"); }
  // Every memory of the enclosure written into `folder` as the simulator's state folder lays
  // them out (src/simhost/sim_state_folder.h): "ok" or "error ...".
  std::string SaveMemories(const std::string& folder) const { return Request("save " + folder); }
  // The serial flash as the enclosure holds it now, read through a file in `workDir`.
  std::optional<std::vector<std::uint8_t>> ReadFlash(const std::string& workDir,
                                                     std::string& detail) const;

 private:
  std::string Request(const std::string& line) const;
  std::string socketPath_;
};

}  // namespace q71x::guest
