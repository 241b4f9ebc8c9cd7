// The shipped udev rule: who may open the bridges' SCSI generic nodes decides who may write to
// every USB and FireWire disk on the machine, so its text is checked like code.

#ifdef __linux__
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace q71x {
namespace {

struct RuleFile {
  std::vector<std::string> Active;     // rule lines udev acts on
  std::vector<std::string> Commented;  // rule lines behind a "#", for the operator to opt in
};

RuleFile ReadRuleFile() {
  std::ifstream in(std::string(Q71X_SOURCE_DIR) + "/packaging/60-q71xfwtool.rules");
  RuleFile rule;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("SUBSYSTEM", 0) == 0) {
      rule.Active.push_back(line);
    } else if (line.rfind("#SUBSYSTEM", 0) == 0) {
      rule.Commented.push_back(line.substr(1));
    }
  }
  return rule;
}

// The keys that pick the device node (the "==" ones), each followed by ", ".
std::string NodeMatch(const std::string& line) {
  std::string keys;
  std::istringstream fields(line);
  for (std::string field; std::getline(fields >> std::ws, field, ',');) {
    if (field.find("==") != std::string::npos) {
      keys += field + ", ";
    }
  }
  return keys;
}

TEST(UdevRule, OpensOnlyUsbAndFirewireStorageNodesAndOnlyToTheActiveSeat) {
  const RuleFile rule = ReadRuleFile();
  ASSERT_EQ(2u, rule.Active.size());
  for (const std::string& line : rule.Active) {
    SCOPED_TRACE(line);
    EXPECT_EQ(0u, line.find("SUBSYSTEM==\"scsi_generic\", "));
    EXPECT_NE(std::string::npos, line.find("TAG+=\"uaccess\""));
    // A group or mode would reach remote and service accounts as well.
    EXPECT_EQ(std::string::npos, line.find("GROUP"));
    EXPECT_EQ(std::string::npos, line.find("MODE"));
    EXPECT_EQ(std::string::npos, line.find("OWNER"));
  }
  EXPECT_EQ("SUBSYSTEM==\"scsi_generic\", SUBSYSTEMS==\"usb\", DRIVERS==\"usb-storage|uas\", ",
            NodeMatch(rule.Active[0]));
  EXPECT_EQ("SUBSYSTEM==\"scsi_generic\", SUBSYSTEMS==\"firewire\", ", NodeMatch(rule.Active[1]));
}

TEST(UdevRule, TheGroupRuleForServiceMachinesIsOptInAndMatchesTheSameNodes) {
  const RuleFile rule = ReadRuleFile();
  ASSERT_EQ(rule.Active.size(), rule.Commented.size());
  for (std::size_t i = 0; i < rule.Active.size(); ++i) {
    SCOPED_TRACE(rule.Commented[i]);
    EXPECT_EQ(NodeMatch(rule.Active[i]), NodeMatch(rule.Commented[i]));
    EXPECT_NE(std::string::npos, rule.Commented[i].find("MODE=\"0660\", GROUP=\""));
    // Not a group many accounts already belong to.
    EXPECT_EQ(std::string::npos, rule.Commented[i].find("plugdev"));
  }
}

}  // namespace
}  // namespace q71x
#endif  // __linux__
