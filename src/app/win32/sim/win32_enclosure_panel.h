// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The simulator's companion window as a plain Windows window: one check box per simulated
// enclosure, ticked while it is plugged in, and the state folder the memories are kept in.
// Unticking and ticking again is the power cycle the tool asks for after an update; each change
// reaches the tool's window as a hot-plug notification.

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace q71x::sim {
class SimulatedSystem;
}

namespace q71x::win32 {

class Win32EnclosurePanel {
 public:
  // Placed with its top-left corner at (left, top) in screen pixels; hidden until Show.
  Win32EnclosurePanel(HINSTANCE instance, sim::SimulatedSystem& system,
                      const std::filesystem::path& stateFolder, int left, int top);
  ~Win32EnclosurePanel();
  Win32EnclosurePanel(const Win32EnclosurePanel&) = delete;
  Win32EnclosurePanel& operator=(const Win32EnclosurePanel&) = delete;

  HWND Handle() const { return window_; }
  // The box of the enclosure at `index` in the system's list.
  HWND EnclosureBox(std::size_t index) const { return boxes_.at(index); }
  // The line under the boxes: empty while the tool's list holds every ticked enclosure.
  HWND LeftOutLine() const { return leftOutLine_; }
  void Show(int showCommand);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Toggled(std::size_t index);
  // Says under the boxes how many ticked enclosures the tool's list cannot hold, if any.
  void ShowLeftOut();

  sim::SimulatedSystem& system_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  HWND leftOutLine_ = nullptr;
  std::vector<HWND> boxes_;
  std::vector<std::string> paths_;
};

}  // namespace q71x::win32
