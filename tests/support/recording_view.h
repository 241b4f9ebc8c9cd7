// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A view of the tool core without a toolkit that keeps what the core asked it to show, counts the
// device-list rebuilds (one per refresh that found devices) and runs posted events when asked.

#include <string>
#include <vector>

#include "src/tool/headless_view.h"

namespace q71x::testing {

class RecordingView final : public HeadlessView {
 public:
  void ShowDeviceItems(const std::vector<std::string>& items, int selected) override {
    Items = items;
    Selected = selected;
    ++ListRebuilds;
  }
  void ShowEngineeringPanel(bool shown) override { PanelShown = shown; }
  void CloseWindow() override { ++CloseCount; }
  void OnProcedureFinished() override { ++ProceduresFinished; }
  void ShowRunPercent(int percent) override { RunPercents.push_back(percent); }

  std::vector<std::string> Items;
  int Selected = -1;
  int ListRebuilds = 0;
  bool PanelShown = false;
  int CloseCount = 0;
  int ProceduresFinished = 0;
  std::vector<int> RunPercents;  // every share the window was told, in order
};

}  // namespace q71x::testing
