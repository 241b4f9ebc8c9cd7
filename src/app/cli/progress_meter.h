// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Where a phase of a run stands: the share done, either as the procedure reports it from the
// phases it declared or as the data bytes really moved against the bytes the phase is expected to
// move, and the time left at the rate measured so far. The percent
// never goes back and stays below 100 until the phase has ended; samples for the display are
// handed out at most once per interval, so a display costs nothing however often bytes move.

#include <cstdint>
#include <optional>
#include <string>

namespace q71x::cli {

struct ProgressSample {
  std::string Phase;
  std::uint64_t Bytes = 0;  // data bytes moved in this phase so far
  std::uint64_t Total = 0;  // expected; once the phase succeeded, the bytes it really moved
  int Percent = 0;
  std::uint64_t ElapsedMs = 0;
  std::optional<std::uint64_t> RemainingMs;  // unknown until some bytes have moved
  bool Done = false;                         // the phase's last sample
};

class ProgressMeter {
 public:
  explicit ProgressMeter(std::uint64_t intervalMs) : intervalMs_(intervalMs) {}

  // Starts a phase at `nowMs`; its first sample is due at once.
  ProgressSample Begin(std::string phase, std::uint64_t expectedBytes, std::uint64_t nowMs);
  // Starts a phase whose share the procedure reports (Reach); bytes are only counted.
  ProgressSample BeginByShare(std::string phase, std::uint64_t nowMs);
  // Counts moved bytes; a sample when the last one is at least an interval old.
  std::optional<ProgressSample> Add(std::uint64_t bytes, std::uint64_t nowMs);
  // The procedure's share of the phase done; a sample when the last one is at least an interval
  // old.
  std::optional<ProgressSample> Reach(int percent, std::uint64_t nowMs);
  // Ends the phase. A phase that succeeded ends at 100 % with its total set to what really
  // moved; one that failed keeps the share it reached.
  ProgressSample End(bool succeeded, std::uint64_t nowMs);

  bool Running() const { return running_; }

 private:
  ProgressSample Sample(std::uint64_t nowMs);

  std::uint64_t intervalMs_;
  std::string phase_;
  std::uint64_t expected_ = 0;
  std::uint64_t bytes_ = 0;
  std::uint64_t startMs_ = 0;
  std::uint64_t lastSampleMs_ = 0;
  int percent_ = 0;
  bool running_ = false;
  bool byShare_ = false;
};

}  // namespace q71x::cli
