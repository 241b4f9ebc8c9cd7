// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The gadget as configfs composes it: one configuration holding our FunctionFS function and,
// when asked for, a plain kernel mass-storage function beside it (an ordinary USB disk that does
// not answer the bridge commands). Writing a controller's name to the UDC attribute plugs the
// gadget in; writing an empty line pulls it out.

#include <filesystem>
#include <optional>
#include <string>

namespace q71x::gadget {

struct GadgetLayout {
  std::filesystem::path GadgetsDir = "/sys/kernel/config/usb_gadget";
  std::string Name = "q71x";  // the gadget's directory and the FunctionFS instance name
  std::string Product = "Q71x simulated enclosure";
  // Backing file of the plain mass-storage function; none: our function alone.
  std::optional<std::filesystem::path> PlainDiskImage;
};

std::filesystem::path GadgetDir(const GadgetLayout& layout);

// Builds the gadget's tree. False (with `error`) when a step fails, for example because a
// gadget of that name exists already.
bool CreateGadget(const GadgetLayout& layout, std::string& error);
bool BindGadget(const GadgetLayout& layout, const std::string& udc, std::string& error);
bool UnbindGadget(const GadgetLayout& layout, std::string& error);

// The first controller in <classDir> (/sys/class/udc), by name; empty when there is none.
std::string FirstUdc(const std::filesystem::path& classDir = "/sys/class/udc");

}  // namespace q71x::gadget
