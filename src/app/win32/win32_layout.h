// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The window's layout as data: every control's kind, caption or label, bounds (left, top, width,
// height in pixels relative to its parent) and the combo boxes' items, listed in keyboard order
// (the engineering panel and its own order first, then the window's controls by their numbers,
// then the controls the keyboard skips). The native window creates its controls from this table
// in this order, which is what gives Windows its tab order.

#include <span>
#include <string_view>

#include "src/tool/tool_view.h"

namespace q71x::win32 {

inline constexpr int kClientWidth = 347;
inline constexpr int kClientHeight = 420;
inline constexpr int kRdPanelHeight = 129;
inline constexpr int kWindowLeft = 500;
inline constexpr int kWindowTop = 225;
// "MS Sans Serif" 8 point: a font height of -11; the firmware-size box has its own.
inline constexpr int kWindowFontHeight = -11;
inline constexpr int kFwSizeFontHeight = -13;
inline constexpr int kFwSizeItemHeight = 16;
// Gap between a labelled edit's label and the edit.
inline constexpr int kLabelSpacing = 3;

enum class ControlKind {
  Panel,         // a container (the engineering panel)
  LabeledEdit,   // an edit the operator types into, its label on the left
  DisplayField,  // a read-only labelled edit on the button-face colour
  StatusField,   // a read-only labelled edit on the window colour
  Button,
  CheckBox,
  ComboBox,  // typed text allowed, nothing added to the list
  Label,     // grows to its caption
};

struct Bounds {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
};

struct ControlSpec {
  Control Id;
  ControlKind Kind;
  bool InRdPanel;
  bool TabStop;
  std::string_view Text;  // caption; for labelled edits the label's text
  Bounds Place;
  std::span<const std::string_view> Items = {};
  int FontHeight = kWindowFontHeight;
  int ItemHeight = 0;  // 0: the font's own
};

// Every control of the view once, in creation (and so keyboard) order.
std::span<const ControlSpec> WindowLayout();
const ControlSpec& SpecOf(Control control);

// The navy separator line above the engineering panel: left 8, top 289, right edge at 345.
inline constexpr Bounds kSeparatorBounds = {8, 289, 345 - 8, 3};

}  // namespace q71x::win32
