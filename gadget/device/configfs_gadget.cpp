// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/device/configfs_gadget.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

namespace q71x::gadget {
namespace fs = std::filesystem;
namespace {

// Linux Foundation's id for a composite gadget: a test device, not a product.
constexpr const char* kVendorId = "0x1d6b";
constexpr const char* kProductId = "0x0104";
constexpr const char* kConfigName = "configs/c.1";
constexpr const char* kPlainFunction = "functions/mass_storage.plain";

// configfs reports a refused value on write(), which a stream would only hint at on close.
bool WriteAttribute(const fs::path& file, const std::string& text, std::string& error) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + file.string() + ": " + std::strerror(errno);
    return false;
  }
  const ssize_t put = ::write(fd, text.data(), text.size());
  const int writeErrno = errno;
  ::close(fd);
  if (put != static_cast<ssize_t>(text.size())) {
    error = "cannot write \"" + text + "\" to " + file.string() + ": " + std::strerror(writeErrno);
    return false;
  }
  return true;
}

bool MakeDir(const fs::path& dir, std::string& error) {
  std::error_code ec;
  if (!fs::create_directory(dir, ec) || ec) {
    error = "cannot create " + dir.string() + (ec ? ": " + ec.message() : ": it exists already");
    return false;
  }
  return true;
}

bool Link(const fs::path& target, const fs::path& link, std::string& error) {
  std::error_code ec;
  fs::create_directory_symlink(target, link, ec);
  if (ec) {
    error = "cannot link " + link.string() + ": " + ec.message();
  }
  return !ec;
}

}  // namespace

fs::path GadgetDir(const GadgetLayout& layout) {
  return layout.GadgetsDir / layout.Name;
}

bool CreateGadget(const GadgetLayout& layout, std::string& error) {
  const fs::path dir = GadgetDir(layout);
  const fs::path ffsFunction = dir / ("functions/ffs." + layout.Name);
  const fs::path config = dir / kConfigName;
  if (!MakeDir(dir, error) || !WriteAttribute(dir / "idVendor", kVendorId, error) ||
      !WriteAttribute(dir / "idProduct", kProductId, error) ||
      !MakeDir(dir / "strings/0x409", error) ||
      !WriteAttribute(dir / "strings/0x409/manufacturer", "q71x test bench", error) ||
      !WriteAttribute(dir / "strings/0x409/product", layout.Product, error) ||
      !WriteAttribute(dir / "strings/0x409/serialnumber", layout.Name, error) ||
      !MakeDir(config, error) || !MakeDir(config / "strings/0x409", error) ||
      !WriteAttribute(config / "strings/0x409/configuration", "Mass storage", error) ||
      !MakeDir(ffsFunction, error) || !Link(ffsFunction, config / ffsFunction.filename(), error)) {
    return false;
  }
  if (!layout.PlainDiskImage) {
    return true;
  }
  const fs::path plain = dir / kPlainFunction;
  return MakeDir(plain, error) &&
         WriteAttribute(plain / "lun.0/file", layout.PlainDiskImage->string(), error) &&
         Link(plain, config / plain.filename(), error);
}

bool BindGadget(const GadgetLayout& layout, const std::string& udc, std::string& error) {
  return WriteAttribute(GadgetDir(layout) / "UDC", udc, error);
}

bool UnbindGadget(const GadgetLayout& layout, std::string& error) {
  return WriteAttribute(GadgetDir(layout) / "UDC", "\n", error);
}

std::string FirstUdc(const fs::path& classDir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(classDir, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names.empty() ? std::string() : names.front();
}

}  // namespace q71x::gadget
