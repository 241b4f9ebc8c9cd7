// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The mass-storage function on FunctionFS: the control endpoint answers the two class requests
// (Bulk-Only Mass Storage Reset, Get Max LUN) and stalls the rest; the bulk endpoints carry the
// Bulk-Only Transport, each command block going to the SCSI target. Unbinding the gadget ends
// the transfers under way; the loops then wait for the next bind instead of ending, so one
// process serves any number of plug and unplug cycles.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "gadget/bot/scsi_target.h"

namespace q71x::gadget {

class FfsFunction {
 public:
  FfsFunction() = default;
  ~FfsFunction();
  FfsFunction(const FfsFunction&) = delete;
  FfsFunction& operator=(const FfsFunction&) = delete;

  // Opens ep0 in the mounted FunctionFS directory, writes descriptors and strings and opens the
  // two bulk endpoint files. False (with `error` set) when any of it fails.
  bool Open(const std::filesystem::path& mountDir, std::string& error);
  // Starts the control and bulk threads. They run until the process ends; `targetLock` guards
  // the target against the control socket's own use of the enclosure.
  void Start(ScsiTarget& target, std::mutex& targetLock);
  // Bulk-Only Mass Storage Resets the host has sent so far.
  int ResetCount() const { return resets_.load(); }

 private:
  void ControlLoop();
  void HandleSetup(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                   std::uint16_t length);
  void BulkLoop(ScsiTarget& target, std::mutex& targetLock);
  void StallUntilReset();

  int ep0_ = -1;
  int bulkIn_ = -1;
  int bulkOut_ = -1;
  std::mutex resetLock_;
  std::condition_variable resetSignal_;
  bool resetSeen_ = false;
  std::atomic<int> resets_{0};
};

}  // namespace q71x::gadget
