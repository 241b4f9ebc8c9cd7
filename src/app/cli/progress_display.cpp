// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/progress_display.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "src/app/cli/json_text.h"

namespace q71x::cli {
namespace {

constexpr int kBarWidth = 24;

std::string Size(std::uint64_t bytes) {
  char text[32];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
  } else if (bytes < 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
  } else {
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  }
  return text;
}

std::string Duration(std::uint64_t ms) {
  const std::uint64_t seconds = (ms + 999) / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                static_cast<unsigned long long>(seconds % 60));
  return text;
}

class TerminalBar final : public ProgressDisplay {
 public:
  explicit TerminalBar(std::ostream& err) : err_(err) {}

  void Show(const ProgressSample& sample) override {
    const int filled = sample.Percent * kBarWidth / 100;
    std::string line = "\r" + sample.Phase;
    line.resize(std::max<std::size_t>(line.size() + 1, 13), ' ');
    line += "[" + std::string(static_cast<std::size_t>(filled), '#') +
            std::string(static_cast<std::size_t>(kBarWidth - filled), '-') + "] ";
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d %%", sample.Percent);
    line += percent;
    line += "  " + Size(sample.Bytes) + " of " + Size(sample.Total);
    if (sample.Done) {
      line += "  " + Duration(sample.ElapsedMs) + (sample.Percent == 100 ? " done" : " stopped");
    } else if (sample.RemainingMs) {
      line += "  " + Duration(*sample.RemainingMs) + " left";
    }
    // Wipes what a longer line before left behind.
    const std::size_t shown = line.size();
    if (shown < width_) {
      line += std::string(width_ - shown, ' ');
    }
    width_ = shown;
    err_ << line << (sample.Done ? "\n" : "") << std::flush;
    if (sample.Done) {
      width_ = 0;
    }
  }

 private:
  std::ostream& err_;
  std::size_t width_ = 0;
};

// A line when a phase starts, at every quarter and at its end: several devices share standard
// error, so no line is redrawn in place.
class StepLines final : public ProgressDisplay {
 public:
  explicit StepLines(std::ostream& err) : err_(err) {}

  void Show(const ProgressSample& sample) override {
    const int step = sample.Percent / kStepPercent;
    if (!sample.Done && sample.Bytes > 0 && step == lastStep_) {
      return;
    }
    lastStep_ = sample.Done ? -1 : step;
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d %%", sample.Percent);
    std::string line =
        sample.Phase + " " + percent + "  " + Size(sample.Bytes) + " of " + Size(sample.Total);
    if (sample.Done) {
      line += "  " + Duration(sample.ElapsedMs) + (sample.Percent == 100 ? " done" : " stopped");
    }
    err_ << line + "\n" << std::flush;
  }

 private:
  static constexpr int kStepPercent = 25;
  std::ostream& err_;
  int lastStep_ = -1;
};

class JsonLines final : public ProgressDisplay {
 public:
  explicit JsonLines(std::ostream& err) : err_(err) {}

  void Show(const ProgressSample& sample) override {
    nlohmann::ordered_json event = {{"event", "progress"},       {"phase", sample.Phase},
                                    {"bytes", sample.Bytes},     {"total", sample.Total},
                                    {"percent", sample.Percent}, {"elapsed_ms", sample.ElapsedMs},
                                    {"done", sample.Done}};
    event["remaining_ms"] = sample.RemainingMs ? nlohmann::ordered_json(*sample.RemainingMs)
                                               : nlohmann::ordered_json(nullptr);
    err_ << JsonText(event) + "\n" << std::flush;
  }

 private:
  std::ostream& err_;
};

}  // namespace

std::unique_ptr<ProgressDisplay> MakeTerminalBar(std::ostream& err) {
  return std::make_unique<TerminalBar>(err);
}

std::unique_ptr<ProgressDisplay> MakeStepLines(std::ostream& err) {
  return std::make_unique<StepLines>(err);
}

std::unique_ptr<ProgressDisplay> MakeJsonLines(std::ostream& err) {
  return std::make_unique<JsonLines>(err);
}

}  // namespace q71x::cli
