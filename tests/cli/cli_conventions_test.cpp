// SPDX-License-Identifier: GPL-2.0-or-later
// What users of other firmware tools count on: a done update that asks for a power cycle is a
// success for `&&`, a mistyped verb is named, standard error holds debug lines only when asked
// (-v) and only what went wrong when told to be quiet (-q), and a known failure says what to try.

#include <gtest/gtest.h>

#include "src/simhost/sim_state_folder.h"
#include "src/tool/tool_texts.h"
#include "tests/cli/cli_rig.h"

namespace q71x::testing {
namespace {

bool Has(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

TEST(CliConventions, APowerCycleAfterAnUpdateIsSuccessAndSaidInBothForms) {
  CliRig rig;
  rig.Plugged = {"qv40714-atmel"};
  const std::string path = rig.PathOf("qv40714-atmel");
  const std::string image = rig.ImageOf("qv40714-atmel");
  const CliRun text = rig.Text({"--yes", "--no-backup", "update", path, image});
  EXPECT_EQ(text.Code, 0) << text.Err;
  EXPECT_TRUE(Has(text.Out, "Power the enclosure off and on now.")) << text.Out;

  const CliRun json = rig.Json({"--yes", "--no-backup", "update", path, image});
  EXPECT_EQ(json.Code, 0);
  EXPECT_EQ(json.Json["exit_code"], 0);
  EXPECT_EQ(json.Json["code"], "ok");
  EXPECT_TRUE(json.Json["ok"].get<bool>());
  EXPECT_TRUE(json.Json["power_cycle"].get<bool>()) << json.Out;
  // A run that asks for nothing says so too: the member is in every document.
  EXPECT_FALSE(rig.Json({"list"}).Json["power_cycle"].get<bool>());
}

TEST(CliUsage, AnUnknownVerbIsNamedWithTheVerbsThereAre) {
  CliRig rig;
  const CliRun typo = rig.Text({"--yes", "--flash-part", "1", "fo", "0"});
  EXPECT_EQ(typo.Code, 2);
  EXPECT_TRUE(Has(typo.Err, "unknown verb 'fo'; verbs are: list, backups, info, check"))
      << typo.Err;
  const CliRun none = rig.Json({"--yes"});
  EXPECT_EQ(none.Code, 2);
  EXPECT_TRUE(Has(none.Json["message"].get<std::string>(), "no verb given; verbs are: list"))
      << none.Out;
  // A known verb's own usage error keeps the parser's words.
  EXPECT_FALSE(Has(rig.Text({"update", "0"}).Err, "unknown verb"));
}

TEST(CliConventions, DebugLinesOnlyWithVerboseAndOnlyErrorsWhenQuiet) {
  CliRig rig;
  rig.Plugged = {"qv40714-atmel", "qvk848-mxic"};
  const std::string path = rig.PathOf("qv40714-atmel");
  // Another chip's image taken with --force: the run warns, and the update presses Run, which
  // tells the debugger.
  const std::vector<std::string> forced = {"--yes",  "--no-backup", "--force",
                                           "update", path,          rig.ImageOf("qvk848-mxic")};
  const std::string_view debugLine = kUpdateBtnPressDebugText;

  const CliRun plain = rig.Text(forced);
  EXPECT_TRUE(Has(plain.Err, "warning:")) << plain.Err;
  EXPECT_FALSE(Has(plain.Err, debugLine)) << plain.Err;

  std::vector<std::string> verbose = forced;
  verbose.insert(verbose.begin(), "-v");
  EXPECT_TRUE(Has(rig.Text(verbose).Err, debugLine));

  std::vector<std::string> quiet = forced;
  quiet.insert(quiet.begin(), "-q");
  const CliRun silent = rig.Text(quiet);
  EXPECT_EQ(silent.Code, plain.Code);
  EXPECT_EQ(silent.Err, "");
  // What went wrong still reaches standard error.
  const CliRun failed = rig.Text({"-q", "--yes", "update", path, rig.Dir.File("missing.bin")});
  EXPECT_EQ(failed.Code, 2);
  EXPECT_TRUE(Has(failed.Err, "missing.bin")) << failed.Err;
  EXPECT_EQ(rig.Text({"-q", "-v", "list"}).Code, 2);
}

TEST(CliConventions, AnA1BridgeUpdatedWithoutTheA1OptionsIsToldToGiveThem) {
  CliRig rig;
  rig.Plugged = {"qv40712-a1-pmc"};
  const std::string a1 = rig.PathOf("qv40712-a1-pmc");
  const std::vector<std::uint8_t> before = rig.Memory(a1, kParallelFlashFileName);
  const CliRun run =
      rig.Json({"--yes", "--no-backup", "update", a1, rig.ImageOf("qv40712-a1-pmc")});
  EXPECT_EQ(run.Code, 1);
  EXPECT_EQ(run.Json["run"]["status"], "Can't switch to internal ROM");
  EXPECT_TRUE(Has(run.Json.value("hint", ""), "--a1-chip --flash-part 1")) << run.Out;
  EXPECT_TRUE(Has(run.Err, "hint: ")) << run.Err;
  EXPECT_EQ(rig.Memory(a1, kParallelFlashFileName), before);
}

}  // namespace
}  // namespace q71x::testing
