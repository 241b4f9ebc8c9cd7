// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The campaign through the command line's own verb path: `q71xfw update` with its automatic
// backup, run in-process over the simulated machine of --sim, every run from the same fresh state
// folder. At a sampled command index of the device a fault of the campaign's plan is armed, or
// the program is stopped there (SIGINT, or the reader of its standard error goes away), the
// stopped runs each in a process of their own, forked, so that a stop outside the guarded run ends
// it as it ends q71xfw. Every run is judged by the memory the state folder keeps afterwards: an
// exit 0 holds exactly what the fault-free update leaves, a backup the run claimed puts the device
// back as it was before the run, and after the journal's recovery (`info --yes`) the device is
// either untouched or updated, and a fault-free update completes.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/campaign/campaign_devices.h"
#include "tests/campaign/fault_plan.h"

namespace q71x::campaign {

enum class CliStop {
  Interrupt,   // SIGINT: exit 130, after the run when it came while the run changed the device
  ClosedPipe,  // the reader of standard error goes away: the run ends as it would have
};

struct CliFigures {
  std::uint64_t Runs = 0;
  std::uint64_t FaultsFired = 0;      // runs whose fault fired, or that the stop reached
  std::uint64_t BackupsClaimed = 0;   // runs whose automatic backup was proven
  std::uint64_t BackupsRestored = 0;  // ...that `restore` then put back as the device was
  std::uint64_t StoppedAfterRun = 0;  // stops held until the run had ended
  std::uint64_t AreasRestoredFromJournal = 0;
  // Exit 0 over memory the fault-free update does not leave.
  std::uint64_t FalseSuccesses = 0;
  // A proven backup that `restore` does not turn back into the memory it was read from.
  std::uint64_t BackupsThatDoNotRestore = 0;
  // After the journal's recovery the memory is neither the old nor the new, or a fault-free
  // update does not complete.
  std::uint64_t Unrecovered = 0;
  std::uint64_t WrongExits = 0;               // a stop that did not end the program as documented
  std::uint64_t ExplainedByOpenFindings = 0;  // of the four above
  std::vector<std::string> Problems;          // what no open finding explains
  std::vector<std::string> Explained;         // what one does, with its id

  CliFigures& operator+=(const CliFigures& other);
};

// Faults of the campaign's plan (singles and persistent ones, no doubles) at the sampled
// command indices of the device's update.
CliFigures RunCliFaultCase(const CampaignDevice& device, const CampaignOptions& options);
// The stop at every sampled command index of the device's update.
CliFigures RunCliStopCase(const CampaignDevice& device, CliStop stop,
                          const CampaignOptions& options);

std::string FormatCliFigures(const CliFigures& figures);

}  // namespace q71x::campaign
