// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/labeled_edit.h"

#include <QEvent>

#include "src/tool/window_description.h"

namespace q71x {

TLabeledEdit::TLabeledEdit(const QString& labelText, QWidget* parent)
    : QLineEdit(parent), label_(new QLabel(labelText, parent)) {
  label_->setBuddy(this);
}

void TLabeledEdit::PlaceAt(int left, int top, int width, int height) {
  setGeometry(left, top, width, height);
  label_->adjustSize();
  const QSize labelSize = label_->sizeHint();
  label_->setGeometry(left - labelSize.width() - kLabelSpacing,
                      top + (height - labelSize.height()) / 2, labelSize.width(),
                      labelSize.height());
}

void TLabeledEdit::setVisible(bool visible) {
  QLineEdit::setVisible(visible);
  label_->setVisible(visible);
}

void TLabeledEdit::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) {
    label_->setEnabled(isEnabled());
  }
  QLineEdit::changeEvent(event);
}

}  // namespace q71x
