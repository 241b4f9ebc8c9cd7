// SPDX-License-Identifier: GPL-2.0-or-later
// The Windows simulator executable's command line.
#include <gtest/gtest.h>

#include "src/app/win32/sim/sim_options.h"

namespace q71x::win32 {
namespace {

TEST(SimOptions, NothingGivenMeansTheDefaults) {
  const SimOptions options = ParseSimOptions({});
  EXPECT_TRUE(options.StateFolder.empty());
  EXPECT_FALSE(options.RdVersion);
  EXPECT_FALSE(options.Help);
  EXPECT_TRUE(options.Error.empty());
}

TEST(SimOptions, StateFolderInEitherSpellingAndTheEngineeringPanel) {
  const SimOptions separate = ParseSimOptions({"--state", "C:\\\xC3\xA9tat", "--rd-version"});
  EXPECT_EQ(separate.StateFolder, "C:\\\xC3\xA9tat");
  EXPECT_TRUE(separate.RdVersion);
  EXPECT_TRUE(separate.Error.empty());
  EXPECT_EQ(ParseSimOptions({"--state=D:\\s"}).StateFolder, "D:\\s");
}

TEST(SimOptions, AMissingFolderOrAnUnknownOptionIsRefused) {
  EXPECT_FALSE(ParseSimOptions({"--state"}).Error.empty());
  EXPECT_FALSE(ParseSimOptions({"--state", ""}).Error.empty());
  EXPECT_FALSE(ParseSimOptions({"--state="}).Error.empty());
  const SimOptions unknown = ParseSimOptions({"--rd-version", "--fast"});
  EXPECT_NE(unknown.Error.find("--fast"), std::string::npos);
}

TEST(SimOptions, ThePaceIsAFactorOfRealTimeAndNothingElse) {
  EXPECT_EQ(ParseSimOptions({}).Pace, 0);
  EXPECT_EQ(ParseSimOptions({"--pace", "2"}).Pace, 2);
  EXPECT_EQ(ParseSimOptions({"--pace=0.5", "--rd-version"}).Pace, 0.5);
  for (const char* bad : {"-1", "fast", "", "2x"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseSimOptions({"--pace", bad}).Error.empty());
  }
  EXPECT_FALSE(ParseSimOptions({"--pace"}).Error.empty());
}

TEST(SimOptions, HelpIsAskedFor) {
  EXPECT_TRUE(ParseSimOptions({"--help"}).Help);
  EXPECT_TRUE(ParseSimOptions({"/?"}).Help);
}

}  // namespace
}  // namespace q71x::win32
