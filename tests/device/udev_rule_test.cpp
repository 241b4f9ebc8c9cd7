// SPDX-License-Identifier: GPL-2.0-or-later
// The shipped udev rule: who may open the bridges' SCSI generic nodes decides who may send
// vendor commands to the devices behind them, so its text is checked like code.

#ifdef __linux__
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "src/catalog/chip_type_table.h"

namespace q71x {
namespace {

struct RuleFile {
  std::vector<std::string> Active;     // rule lines udev acts on
  std::vector<std::string> Commented;  // rule lines behind a "#", for the operator to opt in
};

bool IsRuleLine(const std::string& line) {
  return line.rfind("SUBSYSTEM", 0) == 0 || line.rfind("ACTION", 0) == 0 ||
         line.rfind("LABEL", 0) == 0;
}

RuleFile ReadRuleFile() {
  std::ifstream in(std::string(Q71X_SOURCE_DIR) + "/packaging/60-q71xfwtool.rules");
  RuleFile rule;
  for (std::string line; std::getline(in, line);) {
    if (IsRuleLine(line)) {
      rule.Active.push_back(line);
    } else if (line.size() > 1 && line[0] == '#' && IsRuleLine(line.substr(1))) {
      rule.Commented.push_back(line.substr(1));
    }
  }
  return rule;
}

bool Has(const std::string& line, const std::string& text) {
  return line.find(text) != std::string::npos;
}

std::string UsbIdMatch() {
  char text[64];
  std::snprintf(text, sizeof text, "ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\"",
                kQv40712UsbVendorId, kQv40712UsbProductId);
  return text;
}

TEST(UdevRule, GrantsTheSeatOnlyBridgesByTheirUsbIdsOrTheProbesInquiry) {
  const RuleFile rule = ReadRuleFile();
  ASSERT_GE(rule.Active.size(), 3u);
  // Before any grant: nothing but SCSI generic nodes, and nothing on removal.
  EXPECT_EQ("ACTION==\"remove\", GOTO=\"q71xfwtool_end\"", rule.Active[0]);
  EXPECT_EQ("SUBSYSTEM!=\"scsi_generic\", GOTO=\"q71xfwtool_end\"", rule.Active[1]);
  int byIds = 0;
  int byProbe = 0;
  for (const std::string& line : rule.Active) {
    SCOPED_TRACE(line);
    // A group or mode would reach remote and service accounts as well.
    EXPECT_FALSE(Has(line, "GROUP") || Has(line, "MODE") || Has(line, "OWNER"));
    if (!Has(line, "uaccess")) {
      continue;
    }
    EXPECT_TRUE(Has(line, "TAG+=\"uaccess\""));
    if (Has(line, "PROGRAM")) {
      EXPECT_TRUE(Has(line, "PROGRAM==\"q71x-bridge-probe $devnode\""));
      ++byProbe;
    } else {
      EXPECT_TRUE(Has(line, "SUBSYSTEMS==\"usb\", " + UsbIdMatch()));
      ++byIds;
    }
  }
  EXPECT_EQ(1, byIds);
  // USB mass storage and FireWire.
  EXPECT_EQ(2, byProbe);
}

TEST(UdevRule, TheGroupRuleForServiceMachinesIsOptInAndReachesTheSeatsBridgesToo) {
  const RuleFile rule = ReadRuleFile();
  ASSERT_EQ(2u, rule.Commented.size());
  for (const std::string& line : rule.Commented) {
    SCOPED_TRACE(line);
    EXPECT_TRUE(Has(line, "MODE=\"0660\", GROUP=\""));
    // Not a group many accounts already belong to.
    EXPECT_FALSE(Has(line, "plugdev"));
  }
  EXPECT_EQ(0u, rule.Commented[0].find("SUBSYSTEMS==\"usb\", DRIVERS==\"usb-storage|uas\", "));
  EXPECT_EQ(0u, rule.Commented[1].find("SUBSYSTEMS==\"firewire\", "));
  // The grants jump past the end label only on removal or for other nodes: a bridge the seat
  // gets must still reach the group lines, or an opted-in service account would lose it.
  for (const std::string& line : rule.Active) {
    if (Has(line, "uaccess")) {
      EXPECT_FALSE(Has(line, "q71xfwtool_end")) << line;
    }
  }
  EXPECT_EQ("LABEL=\"q71xfwtool_end\"", rule.Active.back());
}

}  // namespace
}  // namespace q71x
#endif  // __linux__
