// SPDX-License-Identifier: GPL-2.0-or-later
// Which enclosure a listed device is, end to end over the simulated machine: two enclosures of
// one model, a re-plug into another port, a bridge whose configuration area was erased; and the
// chip check's facts of one device, whatever device was checked before it.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/simulated_system.h"
#include "src/device/unit_identity.h"
#include "tests/cli/cli_rig.h"

namespace q71x::testing {
namespace {

constexpr const char* kTwinSerial = "B0B0B0B0B0B0";

nlohmann::json DeviceWithKey(const CliRun& list, const std::string& key) {
  for (const nlohmann::json& device : list.Json["devices"]) {
    if (device["path"].get<std::string>().ends_with(":" + key)) {
      return device;
    }
  }
  ADD_FAILURE() << key << " not listed";
  return nlohmann::json::object();
}

// The identity as the JSON shows it, to be matched as the journal and the backups match.
UnitIdentity IdentityOf(const nlohmann::json& device) {
  const nlohmann::json& facets = device["identity"];
  const auto text = [&facets](const char* key) {
    return facets.contains(key) ? facets[key].get<std::string>() : std::string();
  };
  UnitIdentity unit;
  unit.UsbSerial = text("usb_serial");
  unit.Guid1394 = text("guid_1394");
  unit.DiskSerial = text("disk_serial");
  unit.PortPath = text("port_path");
  unit.ChipType = ToChipType(facets.value("chip_type", 0));
  unit.ChipRevision = facets.value("chip_revision", 0);
  unit.FlashId = text("flash_id");
  unit.FirmwareVersion = text("firmware_version");
  return unit;
}

sim::Enclosure& EnclosureWithKey(sim::SimulatedSystem& system, const std::string& key) {
  for (const auto& enclosure : system.Enclosures()) {
    if (enclosure->Path.ends_with(":" + key)) {
      return *enclosure;
    }
  }
  throw std::runtime_error("no enclosure " + key);
}

TEST(CliUnitIdentity, TwoEnclosuresOfOneModelHaveTheirOwnIdsAndAnIdNamesItsOwn) {
  CliRig rig;
  rig.Plugged = {"qv40714-atmel", "qvk848-mxic", "qvk846-1394"};
  rig.Prepare = [](sim::SimulatedSystem& system) {
    sim::AddPreset(system, "qv40714-atmel", {},
                   sim::UnitTraits{"qv40714-atmel-b", kTwinSerial, ""});
  };
  const CliRun list = rig.Json({"list"});
  ASSERT_EQ(list.Code, 0) << list.Err;
  ASSERT_EQ(list.Json["devices"].size(), 4u);
  const nlohmann::json first = DeviceWithKey(list, "qv40714-atmel");
  const nlohmann::json twin = DeviceWithKey(list, "qv40714-atmel-b");
  EXPECT_EQ(first["chip_type"], twin["chip_type"]);
  EXPECT_EQ(first["flash"], twin["flash"]);
  EXPECT_EQ(twin["id"], std::string("usb-") + kTwinSerial + "/t1-r1");
  EXPECT_EQ(MatchUnits(IdentityOf(first), IdentityOf(twin), nullptr), UnitMatch::Different);
  EXPECT_TRUE(DeviceWithKey(list, "qvk846-1394")["id"].get<std::string>().starts_with("1394-"));

  std::set<std::string> ids;
  for (const nlohmann::json& device : list.Json["devices"]) {
    const std::string id = device["id"];
    EXPECT_TRUE(ids.insert(id).second) << id;
    const CliRun byId = rig.Json({"info", id});
    ASSERT_EQ(byId.Code, 0) << id << ": " << byId.Err;
    EXPECT_EQ(byId.Json["device"]["path"], device["path"]);
  }
  EXPECT_NE(rig.Text({"list"}).Out.find(twin["id"].get<std::string>()), std::string::npos);
  EXPECT_NE(
      rig.Text({"info", twin["id"]}).Out.find(std::string("identity.usb_serial: ") + kTwinSerial),
      std::string::npos);
  // An id is taken exactly: another chip part, or the bare serial, names nothing.
  EXPECT_EQ(rig.Json({"info", std::string("usb-") + kTwinSerial + "/t2-r1"}).Code, 3);
  EXPECT_EQ(rig.Json({"info", std::string("usb-") + kTwinSerial}).Code, 3);
}

TEST(CliUnitIdentity, AReplugKeepsTheIdAndAnErasedConfigurationAreaLeavesItUnproven) {
  CliRig rig;
  rig.Plugged = {"qv40714-atmel", "qvk848-mxic"};
  const nlohmann::json before = DeviceWithKey(rig.Json({"list"}), "qvk848-mxic");
  const UnitIdentity kept = IdentityOf(before);
  ASSERT_TRUE(kept.HasStrongFacet());

  // Plugged back into another port.
  rig.Prepare = [](sim::SimulatedSystem& system) {
    sim::Enclosure& enclosure = EnclosureWithKey(system, "qvk848-mxic");
    enclosure.PortPath = "usb:2-4";
    system.Unplug(enclosure.Path);
    system.Plug(enclosure.Path);
  };
  const nlohmann::json moved = DeviceWithKey(rig.Json({"list"}), "qvk848-mxic");
  EXPECT_EQ(moved["id"], before["id"]);
  EXPECT_EQ(moved["identity"]["port_path"], "usb:2-4");
  EXPECT_NE(moved["identity"]["port_path"], before["identity"]["port_path"]);
  EXPECT_EQ(MatchUnits(kept, IdentityOf(moved), nullptr), UnitMatch::Same);
  EXPECT_EQ(rig.Json({"info", before["id"]}).Json["device"]["path"], before["path"]);

  // Its configuration area erased: from its next power-on the bridge shows the default serial.
  rig.Prepare = [](sim::SimulatedSystem& system) {
    sim::Enclosure& enclosure = EnclosureWithKey(system, "qvk848-mxic");
    enclosure.SerialLostWithConfigArea = true;
    enclosure.Bridge.Flash->Load(enclosure.ConfigOffset,
                                 std::vector<std::uint8_t>(enclosure.ConfigBytes, 0xFF));
    system.Unplug(enclosure.Path);
    system.Plug(enclosure.Path);
  };
  const nlohmann::json erased = DeviceWithKey(rig.Json({"list"}), "qvk848-mxic");
  const UnitIdentity now = IdentityOf(erased);
  EXPECT_FALSE(erased["identity"].contains("usb_serial"));
  EXPECT_EQ(erased["identity"]["usb_serial_placeholder"], "000000000000");
  EXPECT_TRUE(erased["id"].get<std::string>().starts_with("port-usb:"));
  std::string why;
  EXPECT_EQ(MatchUnits(kept, now, &why), UnitMatch::Unproven) << why;
  EXPECT_EQ(rig.Json({"info", before["id"]}).Code, 3);
  // Where another strong facet survives, it still proves the unit.
  UnitIdentity keptWithDisk = kept;
  UnitIdentity nowWithDisk = now;
  keptWithDisk.DiskSerial = nowWithDisk.DiskSerial = "WD-WCC4N0123456";
  EXPECT_EQ(MatchUnits(keptWithDisk, nowWithDisk, nullptr), UnitMatch::Same);

  // The state folder keeps the blank area: the next start shows the default serial too.
  rig.Prepare = [](sim::SimulatedSystem& system) {
    sim::Enclosure& enclosure = EnclosureWithKey(system, "qvk848-mxic");
    enclosure.SerialLostWithConfigArea = true;
    system.Unplug(enclosure.Path);
    system.Plug(enclosure.Path);
  };
  const nlohmann::json restarted = DeviceWithKey(rig.Json({"list"}), "qvk848-mxic");
  EXPECT_EQ(restarted["identity"]["usb_serial_placeholder"], "000000000000");
  EXPECT_EQ(MatchUnits(kept, IdentityOf(restarted), nullptr), UnitMatch::Unproven);
}

// Every check starts from the facts of a fresh start: a device listed after others, or found by
// its chip name after the check ran over every device, gives what it gives checked by itself.
TEST(CliChipCheck, EveryDeviceGivesTheSameFactsWhateverWasCheckedBefore) {
  CliRig rig;
  const CliRun list = rig.Json({"list"});
  ASSERT_EQ(list.Code, 0) << list.Err;
  const auto expectSame = [](const nlohmann::json& a, const nlohmann::json& b) {
    for (const char* key : {"id", "chip_type", "revision", "flash_vendor", "flash", "config_level",
                            "firmware_version", "procedure"}) {
      EXPECT_EQ(a[key], b[key]) << key;
    }
  };
  for (const nlohmann::json& device : list.Json["devices"]) {
    SCOPED_TRACE(device["path"].get<std::string>());
    const CliRun alone = rig.Json({"info", device["path"]});
    ASSERT_EQ(alone.Code, 0) << alone.Err;
    expectSame(alone.Json["device"], device);
  }

  // The QVN962 bridge with MXIC flash, named by its chip after the SST-flash QVN958 was checked.
  const nlohmann::json qvn962 = DeviceWithKey(list, "qvn962-mxic32");
  const std::string chip = qvn962["chip"];
  ASSERT_EQ(std::count_if(list.Json["devices"].begin(), list.Json["devices"].end(),
                          [&chip](const nlohmann::json& d) { return d["chip"] == chip; }),
            1);
  const CliRun byChip = rig.Json({"info", chip});
  ASSERT_EQ(byChip.Code, 0) << byChip.Err;
  EXPECT_EQ(byChip.Json["device"]["path"], qvn962["path"]);
  expectSame(byChip.Json["device"], qvn962);
  EXPECT_NE(byChip.Json["device"]["procedure"], "UpdateSerialFlashSpi");
}

}  // namespace
}  // namespace q71x::testing
