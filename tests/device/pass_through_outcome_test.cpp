// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/pass_through_outcome.h"

#include <gtest/gtest.h>

#include <vector>

namespace q71x {
namespace {

const std::vector<std::uint8_t> kFixedLbaOutOfRange = {0x70, 0, 0x05, 0,    0,    0, 0, 10, 0,
                                                       0,    0, 0,    0x21, 0x00, 0, 0, 0,  0};

TEST(PassThroughOutcomeTest, WindowsRequestsAreSortedByErrorCodeAndStatus) {
  struct Case {
    const char* Name;
    bool RequestOk;
    std::uint32_t Error;
    std::uint8_t Status;
    PassThroughResult Result;
  };
  const Case cases[] = {
      {"completed, GOOD", true, 0, 0x00, PassThroughResult::Good},
      {"completed, CHECK CONDITION", true, 0, 0x02, PassThroughResult::CheckCondition},
      {"completed, BUSY", true, 0, 0x08, PassThroughResult::TransportError},
      {"completed with an error code left", true, 31, 0x00, PassThroughResult::OsError},
      {"semaphore time-out", false, 121, 0x00, PassThroughResult::Timeout},
      {"I/O device error", false, 1117, 0x02, PassThroughResult::TransportError},
      {"device not connected", false, 1167, 0x00, PassThroughResult::TransportError},
      {"invalid handle", false, 6, 0x00, PassThroughResult::OsError},
      {"access denied", false, 5, 0x00, PassThroughResult::OsError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const PassThroughOutcome outcome = OutcomeOfWindowsRequest(
        c.RequestOk, c.Error, c.Status, kFixedLbaOutOfRange.data(), kFixedLbaOutOfRange.size());
    EXPECT_EQ(c.Result, outcome.Result);
    EXPECT_EQ(c.Error, outcome.ErrorCode);
    // Sense is taken only with a check condition the device itself reported.
    EXPECT_EQ(c.Result == PassThroughResult::CheckCondition, IsLbaOutOfRange(outcome));
  }
}

TEST(PassThroughOutcomeTest, SenseFieldsComeFromEitherFormatAndNeverFromBeyondTheSense) {
  struct Case {
    const char* Name;
    std::vector<std::uint8_t> Sense;
    std::uint8_t Key, Asc, Ascq;
  };
  const Case cases[] = {
      {"fixed", kFixedLbaOutOfRange, 0x05, 0x21, 0x00},
      {"fixed, deferred, medium error",
       {0x71, 0, 0x03, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x11, 0x04},
       0x03,
       0x11,
       0x04},
      {"descriptor", {0x72, 0x05, 0x24, 0x01, 0, 0, 0, 0}, 0x05, 0x24, 0x01},
      // Cut before its ASC: the code is not taken from bytes the device did not send.
      {"fixed, cut short", {0x70, 0, 0x05, 0, 0, 0, 0, 10}, 0x05, 0x00, 0x00},
      {"no known format", {0x00, 0x05, 0x21, 0x00}, 0x00, 0x00, 0x00},
      {"none", {}, 0x00, 0x00, 0x00},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const PassThroughOutcome outcome =
        OutcomeOfWindowsRequest(true, 0, 0x02, c.Sense.data(), c.Sense.size());
    EXPECT_EQ(c.Key, outcome.SenseKey());
    EXPECT_EQ(c.Asc, outcome.Asc());
    EXPECT_EQ(c.Ascq, outcome.Ascq());
  }
}

}  // namespace
}  // namespace q71x
