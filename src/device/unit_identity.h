// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Which enclosure a device is, not only which chip: what the device and the system tell without
// anything being written. Two enclosures of one model share chip, revision, flash and version;
// a re-plug may give the same enclosure another path and another port; a bridge whose
// configuration area is gone may come back with the chip's default descriptors (another USB
// serial, or none). So an identity says which facets it holds, and two identities name the same
// unit only when a strong facet agrees and no facet contradicts.
//
// Strong facets name one unit: the USB serial number, the IEEE 1394 unit GUID, the attached
// disk's serial. Model facets (chip type, revision, flash id) cannot tell two units of one model
// apart but can tell two models apart, so they contradict when they differ. Weak facets (the
// physical port, the firmware version) are shown to the operator and never decide.

#include <string>

#include "src/catalog/chip_type_table.h"

namespace q71x {

struct UnitIdentity {
  // Strong facets; empty: not known for this device.
  std::string UsbSerial;   // iSerialNumber, as the system read it from the device
  std::string Guid1394;    // the SBP-2 unit's 64-bit GUID, 16 lower-case hex digits
  std::string DiskSerial;  // the attached drive's serial (IDENTIFY words 10-19), trimmed
  // Model facets; Unknown / 0 / empty: not known.
  q71x::ChipType ChipType = q71x::ChipType::Unknown;
  int ChipRevision = 0;
  std::string FlashId;  // what the chip check learnt of the flash, hex (src/tool/journal_device)
  // Weak facets.
  std::string PortPath;  // where it is plugged in: "usb:1-1.2" on Linux, the location on Windows
  std::string FirmwareVersion;

  bool HasStrongFacet() const;
  bool operator==(const UnitIdentity&) const = default;
};

// The stable name of a unit, as `list` shows it and DEVICE accepts it: the strongest facet it
// holds ("usb-<serial>", "1394-<guid>", "disk-<serial>"), with the chip type and revision after a
// slash ("usb-3F2A0017/t1-r1"). A unit without a strong facet is named by its port
// ("port-usb:1-1.2/t1-r1"), a name that only holds while it stays in that port. Characters
// outside [A-Za-z0-9._:-] in a facet are written as %XX.
std::string UnitId(const UnitIdentity& identity);

enum class UnitMatch {
  Same,       // a strong facet agrees and none contradicts
  Different,  // a strong or model facet contradicts
  Unproven,   // nothing contradicts, but no strong facet is held by both
};

// Whether `now` is provably the unit `kept` was taken from. `why` (may be null) receives a
// sentence naming the facet that decided, for the operator.
UnitMatch MatchUnits(const UnitIdentity& kept, const UnitIdentity& now, std::string* why);

// A USB serial the chip answers with when its configuration area is lost, or one no real unit
// carries alone (empty, all one digit, all FF): it says nothing about the unit and counts as no
// facet.
bool IsPlaceholderSerial(const std::string& serial);

}  // namespace q71x
