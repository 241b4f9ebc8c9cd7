// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/progress_meter.h"

#include <algorithm>

namespace q71x::cli {

ProgressSample ProgressMeter::Begin(std::string phase, std::uint64_t expectedBytes,
                                    std::uint64_t nowMs) {
  phase_ = std::move(phase);
  expected_ = expectedBytes;
  bytes_ = 0;
  startMs_ = nowMs;
  percent_ = 0;
  running_ = true;
  byShare_ = false;
  return Sample(nowMs);
}

ProgressSample ProgressMeter::BeginByShare(std::string phase, std::uint64_t nowMs) {
  ProgressSample first = Begin(std::move(phase), 0, nowMs);
  byShare_ = true;
  return first;
}

std::optional<ProgressSample> ProgressMeter::Add(std::uint64_t bytes, std::uint64_t nowMs) {
  if (!running_) {
    return std::nullopt;
  }
  bytes_ += bytes;
  if (nowMs - lastSampleMs_ < intervalMs_) {
    return std::nullopt;
  }
  return Sample(nowMs);
}

std::optional<ProgressSample> ProgressMeter::Reach(int percent, std::uint64_t nowMs) {
  if (!running_ || !byShare_) {
    return std::nullopt;
  }
  percent_ = std::max(percent_, std::min(percent, 99));
  if (nowMs - lastSampleMs_ < intervalMs_) {
    return std::nullopt;
  }
  return Sample(nowMs);
}

ProgressSample ProgressMeter::End(bool succeeded, std::uint64_t nowMs) {
  ProgressSample sample = Sample(nowMs);
  if (succeeded) {
    sample.Total = bytes_;
    sample.Percent = 100;
    sample.RemainingMs = 0;
  }
  sample.Done = true;
  running_ = false;
  return sample;
}

ProgressSample ProgressMeter::Sample(std::uint64_t nowMs) {
  lastSampleMs_ = nowMs;
  ProgressSample sample;
  sample.Phase = phase_;
  sample.Bytes = bytes_;
  // A phase that moves more than expected is still running: the total grows with it.
  sample.Total = std::max(expected_, bytes_);
  if (sample.Total > 0 && !byShare_) {
    const auto share = static_cast<int>(bytes_ * 100 / sample.Total);
    percent_ = std::max(percent_, std::min(share, 99));
  }
  sample.Percent = percent_;
  sample.ElapsedMs = nowMs - startMs_;
  if (byShare_) {
    if (percent_ > 0) {
      sample.RemainingMs = sample.ElapsedMs * static_cast<std::uint64_t>(100 - percent_) /
                           static_cast<std::uint64_t>(percent_);
    }
  } else if (bytes_ > 0 && sample.ElapsedMs > 0) {
    const std::uint64_t left = sample.Total - bytes_;
    sample.RemainingMs = left * sample.ElapsedMs / bytes_;
  }
  return sample;
}

}  // namespace q71x::cli
