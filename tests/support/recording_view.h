#pragma once
// A view of the tool core without a toolkit: it keeps what the core asked it to show, counts the
// device-list rebuilds (one per refresh that found devices) and runs posted events when asked.

#include <functional>
#include <string>
#include <vector>

#include "src/tool/tool_view.h"

namespace q71x::testing {

class RecordingView final : public ToolView {
 public:
  void ShowText(Control, const std::string&) override {}
  void ShowChecked(Control, bool) override {}
  void ShowEnabled(Control, bool) override {}
  void ShowVisible(Control, bool) override {}
  void ShowSelectedItem(Control, int) override {}
  void ShowDeviceItems(const std::vector<std::string>& items, int selected) override {
    Items = items;
    Selected = selected;
    ++ListRebuilds;
  }
  void ShowEngineeringPanel(bool shown) override { PanelShown = shown; }
  void RepaintStatus() override {}
  void ProcessPendingEvents(bool) override { RunPosted(); }
  void PostEvent(std::function<void()> event) override { posted_.push_back(std::move(event)); }
  void StartHotPlugSources() override {}
  void StopHotPlugSources() override {}
  void CloseWindow() override { ++CloseCount; }
  void OnProcedureFinished() override { ++ProceduresFinished; }

  void RunPosted() {
    std::vector<std::function<void()>> events;
    events.swap(posted_);
    for (auto& event : events) {
      event();
    }
  }

  std::size_t PostedCount() const { return posted_.size(); }

  std::vector<std::string> Items;
  int Selected = -1;
  int ListRebuilds = 0;
  bool PanelShown = false;
  int CloseCount = 0;
  int ProceduresFinished = 0;

 private:
  std::vector<std::function<void()>> posted_;
};

}  // namespace q71x::testing
