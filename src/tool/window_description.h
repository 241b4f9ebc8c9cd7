// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The window as data, for every front end to draw in one loop: each control's kind, caption (for
// labelled edits the label's text), bounds (left, top, width, height in pixels at 96 dots per
// inch, relative to its parent), the state it starts in and the combo boxes' items with the
// values they stand for. Listed in keyboard order: the engineering panel and its own order first,
// then the window's controls by their numbers, then the controls the keyboard skips.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "src/tool/tool_view.h"

namespace q71x {

inline constexpr int kClientWidth = 347;
inline constexpr int kClientHeight = 420;
inline constexpr int kRdPanelHeight = 129;
inline constexpr int kWindowLeft = 500;
inline constexpr int kWindowTop = 225;
// Font heights as the form gives them: negative, the character height in pixels. "MS Sans
// Serif" 8 point for the window; the firmware-size box has its own.
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

// One line of a combo box and what choosing it means to the core (a size in bytes, a part).
struct ComboItem {
  std::string_view Caption;
  std::uint32_t Value = 0;
};

struct ControlSpec {
  Control Id;
  ControlKind Kind;
  bool InRdPanel = false;
  bool TabStop = false;
  std::string_view Text = {};
  Bounds Place = {};
  std::span<const ComboItem> Items = {};
  // The state the window opens in, before start-up runs any handler.
  int SelectedItem = -1;
  bool Visible = true;
  bool Enabled = true;
  // What a screen reader calls the control; empty: its caption, trimmed.
  std::string_view AccessibleName = {};
  int FontHeight = kWindowFontHeight;
  int ItemHeight = 0;  // 0: the font's own
};

// Every control of the view once, in creation (and so keyboard) order.
std::span<const ControlSpec> WindowDescription();
const ControlSpec& SpecOf(Control control);
// The name a screen reader says for the control.
std::string_view AccessibleNameOf(const ControlSpec& spec);
// The value of a combo box's item; none for -1 (a typed text) or an item the box does not have.
std::optional<std::uint32_t> ItemValue(Control box, int item);

// The navy separator line above the engineering panel: left 8, top 289, right edge at 345.
inline constexpr Bounds kSeparatorBounds = {8, 289, 345 - 8, 3};
struct Rgb {
  std::uint8_t Red = 0;
  std::uint8_t Green = 0;
  std::uint8_t Blue = 0;
};
inline constexpr Rgb kSeparatorColour = {0x00, 0x00, 0x80};  // navy

}  // namespace q71x
