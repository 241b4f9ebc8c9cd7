// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/combo_selection.h"

#include <QComboBox>
#include <QLineEdit>

#include <memory>
#include <utility>

namespace q71x {

int SelectedItem(const QComboBox* box) {
  const int index = box->currentIndex();
  if (index < 0) {
    return -1;
  }
  if (box->isEditable() && box->currentText() != box->itemText(index)) {
    return -1;
  }
  return index;
}

void ConnectComboChange(QComboBox* box, std::function<void()> handler) {
  // An operator's choice changes the index first, then activates; choosing the item already
  // current (after typing over it, or to confirm the device the list fell back to) only
  // activates. `indexChanged` lets such a choice count without firing twice for ordinary ones.
  auto indexChanged = std::make_shared<bool>(false);
  auto fire = std::make_shared<std::function<void()>>(std::move(handler));
  QObject::connect(box, &QComboBox::currentIndexChanged, box, [indexChanged, fire](int) {
    *indexChanged = true;
    (*fire)();
  });
  QObject::connect(box, &QComboBox::activated, box, [indexChanged, fire](int) {
    if (!std::exchange(*indexChanged, false)) {
      (*fire)();
    }
  });
  if (QLineEdit* edit = box->lineEdit()) {
    QObject::connect(edit, &QLineEdit::textEdited, box, [fire](const QString&) { (*fire)(); });
  }
}

void MakeEditableWithoutInsert(QComboBox* box) {
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setCompleter(nullptr);
}

}  // namespace q71x
