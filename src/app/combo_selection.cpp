#include "src/app/combo_selection.h"

#include <QComboBox>
#include <QLineEdit>

#include <memory>

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
  // Picking the already current item after typing over it changes no index, only the text back;
  // `typedOver` lets that choice count as a change without firing twice for ordinary choices
  // (Qt reports the index change before the activation).
  auto typedOver = std::make_shared<bool>(false);
  auto fire = std::make_shared<std::function<void()>>(std::move(handler));
  QObject::connect(box, &QComboBox::currentIndexChanged, box, [typedOver, fire](int) {
    *typedOver = false;
    (*fire)();
  });
  QObject::connect(box, &QComboBox::activated, box, [typedOver, fire](int) {
    if (*typedOver) {
      *typedOver = false;
      (*fire)();
    }
  });
  if (QLineEdit* edit = box->lineEdit()) {
    QObject::connect(edit, &QLineEdit::textEdited, box, [typedOver, fire](const QString&) {
      *typedOver = true;
      (*fire)();
    });
  }
}

void MakeEditableWithoutInsert(QComboBox* box) {
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setCompleter(nullptr);
}

}  // namespace q71x
