// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A view of the tool core with no window: nothing is shown, so the core's own records (controls,
// status history) are all a front end without a window reads. Events the core posts run when
// it lets pending events through, as a window's queue would run them. The command line uses it
// as it is; tests add what they want to count.

#include <functional>
#include <string>
#include <vector>

#include "src/tool/tool_view.h"

namespace q71x {

class HeadlessView : public ToolView {
 public:
  void ShowText(Control, const std::string&) override {}
  void ShowChecked(Control, bool) override {}
  void ShowEnabled(Control, bool) override {}
  void ShowVisible(Control, bool) override {}
  void ShowSelectedItem(Control, int) override {}
  void ShowDeviceItems(const std::vector<std::string>&, int) override {}
  void ShowEngineeringPanel(bool) override {}
  void RepaintStatus() override {}
  void ProcessPendingEvents(bool) override { RunPosted(); }
  void PostEvent(std::function<void()> event) override { posted_.push_back(std::move(event)); }
  // Without a window there are no device-change sources of its own.
  void StartHotPlugSources() override {}
  void StopHotPlugSources() override {}
  void CloseWindow() override {}

  void RunPosted() {
    std::vector<std::function<void()>> events;
    events.swap(posted_);
    for (auto& event : events) {
      event();
    }
  }
  std::size_t PostedCount() const { return posted_.size(); }

 private:
  std::vector<std::function<void()>> posted_;
};

}  // namespace q71x
