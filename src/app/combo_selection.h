// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The window's combo boxes are editable, so an operator can type a text that names no item. The
// handlers must then see "no item selected" rather than the item that was selected before.

#include <functional>

class QComboBox;

namespace q71x {

// The selected item, or -1 when the box is empty or its text was typed and names no item.
int SelectedItem(const QComboBox* box);

// Calls `handler` on every change of the box: a new item selected (by the operator or by the
// program), a typed edit, and the operator choosing the item already current.
void ConnectComboChange(QComboBox* box, std::function<void()> handler);

// Makes an editable box that never adds typed texts to its items and does not complete them.
void MakeEditableWithoutInsert(QComboBox* box);

}  // namespace q71x
