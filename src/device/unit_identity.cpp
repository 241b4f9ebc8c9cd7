// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/unit_identity.h"

#include <algorithm>
#include <cstdio>

namespace q71x {
namespace {

std::string Escaped(const std::string& facet) {
  std::string out;
  for (const char c : facet) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                       (byte >= '0' && byte <= '9') || byte == '.' || byte == '_' || byte == ':' ||
                       byte == '-';
    if (plain) {
      out.push_back(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", byte);
      out += hex;
    }
  }
  return out;
}

std::string ModelPart(const UnitIdentity& identity) {
  if (identity.ChipType == ChipType::Unknown) {
    return {};
  }
  char model[32];
  std::snprintf(model, sizeof model, "/t%d-r%d", int{RowNumber(identity.ChipType)},
                identity.ChipRevision);
  return model;
}

struct Facet {
  const char* Name;
  std::string UnitIdentity::*Field;
};

constexpr Facet kStrongFacets[] = {
    {"USB serial number", &UnitIdentity::UsbSerial},
    {"IEEE 1394 GUID", &UnitIdentity::Guid1394},
    {"disk serial number", &UnitIdentity::DiskSerial},
};

const std::string& Held(const UnitIdentity& identity, const Facet& facet) {
  static const std::string kNone;
  const std::string& value = identity.*facet.Field;
  if (facet.Field == &UnitIdentity::UsbSerial && IsPlaceholderSerial(value)) {
    return kNone;
  }
  return value;
}

void Say(std::string* why, std::string text) {
  if (why != nullptr) {
    *why = std::move(text);
  }
}

}  // namespace

bool IsPlaceholderSerial(const std::string& serial) {
  if (serial.empty()) {
    return true;
  }
  const bool oneDigit = std::all_of(serial.begin(), serial.end(),
                                    [&serial](char c) { return c == serial.front(); }) &&
                        (serial.front() == '0' || serial.front() == 'F' || serial.front() == 'f' ||
                         serial.front() == ' ');
  return oneDigit;
}

bool UnitIdentity::HasStrongFacet() const {
  return std::any_of(std::begin(kStrongFacets), std::end(kStrongFacets),
                     [this](const Facet& facet) { return !Held(*this, facet).empty(); });
}

std::string UnitId(const UnitIdentity& identity) {
  static constexpr const char* kPrefixes[] = {"usb-", "1394-", "disk-"};
  for (std::size_t i = 0; i < std::size(kStrongFacets); ++i) {
    const std::string& value = Held(identity, kStrongFacets[i]);
    if (!value.empty()) {
      return kPrefixes[i] + Escaped(value) + ModelPart(identity);
    }
  }
  return "port-" + Escaped(identity.PortPath.empty() ? "unknown" : identity.PortPath) +
         ModelPart(identity);
}

UnitMatch MatchUnits(const UnitIdentity& kept, const UnitIdentity& now, std::string* why) {
  if (kept.ChipType != ChipType::Unknown && now.ChipType != ChipType::Unknown &&
      (kept.ChipType != now.ChipType || kept.ChipRevision != now.ChipRevision)) {
    Say(why, "the chip type or revision differs");
    return UnitMatch::Different;
  }
  if (!kept.FlashId.empty() && !now.FlashId.empty() && kept.FlashId != now.FlashId) {
    Say(why, "the flash differs");
    return UnitMatch::Different;
  }
  const Facet* agreeing = nullptr;
  for (const Facet& facet : kStrongFacets) {
    const std::string& a = Held(kept, facet);
    const std::string& b = Held(now, facet);
    if (a.empty() || b.empty()) {
      continue;
    }
    if (a != b) {
      Say(why, std::string("the ") + facet.Name + " differs");
      return UnitMatch::Different;
    }
    agreeing = agreeing != nullptr ? agreeing : &facet;
  }
  if (agreeing == nullptr) {
    Say(why, "no serial number or GUID is known of both to tell whether they are one enclosure");
    return UnitMatch::Unproven;
  }
  Say(why, std::string("the ") + agreeing->Name + " agrees");
  return UnitMatch::Same;
}

}  // namespace q71x
