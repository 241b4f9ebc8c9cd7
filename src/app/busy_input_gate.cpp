// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/busy_input_gate.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWindow>

#include <algorithm>

namespace q71x {
namespace {

bool IsOperatorInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    // A mnemonic or shortcut would press a button without a key event reaching it.
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
}

}  // namespace

BusyInputGate::BusyInputGate(const std::vector<QPointer<QWidget>>& helpers) : helpers_(helpers) {
  QCoreApplication::instance()->installEventFilter(this);
}

BusyInputGate::~BusyInputGate() {
  QCoreApplication::instance()->removeEventFilter(this);
}

bool BusyInputGate::ReachesHelper(QObject* receiver) const {
  auto anyHelper = [this](auto&& isIt) {
    return std::any_of(helpers_.begin(), helpers_.end(), [&](const QPointer<QWidget>& helper) {
      return helper != nullptr && isIt(*helper);
    });
  };
  // Input comes to a top-level QWindow first, then to the widget under it; shortcuts come to
  // objects that belong to a widget. A dropped file is no input here: the core holds it back.
  for (QObject* object = receiver; object != nullptr; object = object->parent()) {
    if (auto* widget = qobject_cast<QWidget*>(object)) {
      return anyHelper([widget](QWidget& helper) { return widget->window() == &helper; });
    }
    if (auto* window = qobject_cast<QWindow*>(object)) {
      return anyHelper([window](QWidget& helper) { return helper.windowHandle() == window; });
    }
  }
  return false;
}

bool BusyInputGate::eventFilter(QObject* receiver, QEvent* event) {
  return IsOperatorInput(event->type()) && !ReachesHelper(receiver);
}

}  // namespace q71x
