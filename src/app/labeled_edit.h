// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// An edit field with its caption label to the left, as the window's layout describes its fields:
// the label follows the field in visibility and enabled state and sits right before its left edge.

#include <QLabel>
#include <QLineEdit>

namespace q71x {

class TLabeledEdit : public QLineEdit {
  Q_OBJECT

 public:
  // The label is a sibling (child of the same parent) so that it can stand outside the field.
  TLabeledEdit(const QString& labelText, QWidget* parent);

  QLabel* EditLabel() const { return label_; }
  // Places the field and its label: the label is sized to its text and ends three pixels before
  // the field, vertically centred on it.
  void PlaceAt(int left, int top, int width, int height);
  void setVisible(bool visible) override;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  QLabel* label_;
};

}  // namespace q71x
