// SPDX-License-Identifier: GPL-2.0-or-later
// The window's controls, drawn from the core's window description: one widget per control with
// its caption, bounds, opening state and items, the keyboard order, and each control's events
// forwarded to the core.

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "src/app/combo_selection.h"
#include "src/app/fwupdate.h"
#include "src/app/labeled_edit.h"
#include "src/tool/tool_texts.h"
#include "src/tool/window_description.h"

namespace q71x {
namespace {

QFont WindowFont() {
  // "MS Sans Serif" 8 point; where the platform lacks it, the nearest sans faces of the same
  // metrics come first.
  static const char* const kFamilies[] = {"MS Sans Serif",   "Microsoft Sans Serif", "Arial",
                                          "Liberation Sans", "Nimbus Sans",          "Helvetica",
                                          "DejaVu Sans"};
  QFont font;
  for (const char* family : kFamilies) {
    if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
      font.setFamily(QString::fromLatin1(family));
      break;
    }
  }
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(-kWindowFontHeight);
  return font;
}

QString Shown(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect RectOf(const Bounds& bounds) {
  return {bounds.Left, bounds.Top, bounds.Width, bounds.Height};
}

// Labels size themselves to their text, so a wider substitute font never clips a caption.
QWidget* MakeLabel(QWidget* parent, const ControlSpec& spec) {
  auto* label = new QLabel(Shown(spec.Text), parent);
  const QSize hint = label->sizeHint();
  label->setGeometry(spec.Place.Left, spec.Place.Top, std::max(spec.Place.Width, hint.width()),
                     std::max(spec.Place.Height, hint.height()));
  return label;
}

// Check boxes grow to their caption as well; where the font has the description's metrics they
// keep their bounds exactly.
QWidget* MakeCheck(QWidget* parent, const ControlSpec& spec) {
  auto* box = new QCheckBox(Shown(spec.Text), parent);
  box->setGeometry(spec.Place.Left, spec.Place.Top,
                   std::max(spec.Place.Width, box->sizeHint().width()), spec.Place.Height);
  return box;
}

QWidget* MakeCombo(QWidget* parent, const ControlSpec& spec) {
  auto* box = new QComboBox(parent);
  MakeEditableWithoutInsert(box);
  if (spec.FontHeight != kWindowFontHeight) {
    QFont font = box->font();
    font.setPixelSize(-spec.FontHeight);
    box->setFont(font);
  }
  for (const ComboItem& item : spec.Items) {
    box->addItem(Shown(item.Caption));
    if (spec.ItemHeight > 0) {
      box->setItemData(box->count() - 1, QSize(0, spec.ItemHeight), Qt::SizeHintRole);
    }
  }
  box->setCurrentIndex(spec.SelectedItem);
  box->setGeometry(RectOf(spec.Place));
  return box;
}

QWidget* MakeLabeledEdit(QWidget* parent, const ControlSpec& spec) {
  auto* edit = new TLabeledEdit(Shown(spec.Text), parent);
  edit->EditLabel()->setObjectName(QString::fromLatin1(ControlName(spec.Id)) +
                                   QStringLiteral("Label"));
  edit->PlaceAt(spec.Place.Left, spec.Place.Top, spec.Place.Width, spec.Place.Height);
  if (spec.Kind != ControlKind::LabeledEdit) {
    edit->setReadOnly(true);
  }
  if (spec.Kind == ControlKind::DisplayField) {
    // Display-only fields sit on the button-face colour.
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    edit->setPalette(palette);
  }
  return edit;
}

QWidget* MakeControl(QWidget* parent, const ControlSpec& spec) {
  switch (spec.Kind) {
    case ControlKind::Panel: {
      auto* panel = new QFrame(parent);
      panel->setGeometry(RectOf(spec.Place));
      return panel;
    }
    case ControlKind::LabeledEdit:
    case ControlKind::DisplayField:
    case ControlKind::StatusField:
      return MakeLabeledEdit(parent, spec);
    case ControlKind::Button: {
      auto* button = new QPushButton(Shown(spec.Text), parent);
      button->setGeometry(RectOf(spec.Place));
      return button;
    }
    case ControlKind::CheckBox:
      return MakeCheck(parent, spec);
    case ControlKind::ComboBox:
      return MakeCombo(parent, spec);
    case ControlKind::Label:
      return MakeLabel(parent, spec);
  }
  return nullptr;
}

void MakeSeparator(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setObjectName(QStringLiteral("Panel1"));
  line->setGeometry(RectOf(kSeparatorBounds));
  line->setAutoFillBackground(true);
  QPalette palette = line->palette();
  palette.setColor(QPalette::Window,
                   QColor(kSeparatorColour.Red, kSeparatorColour.Green, kSeparatorColour.Blue));
  line->setPalette(palette);
}

}  // namespace

void TQ71xFwTool::BuildLayout() {
  setObjectName(QStringLiteral("Q71xFwTool"));
  setWindowTitle(Shown(kWindowCaption));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(WindowFont());
  setFixedSize(kClientWidth, kClientHeight);
  move(kWindowLeft, kWindowTop);
  MakeSeparator(this);

  QWidget* previousTabStop = nullptr;
  for (const ControlSpec& spec : WindowDescription()) {
    QWidget* parent = spec.InRdPanel ? Widget(Control::RdPanel) : this;
    QWidget* widget = MakeControl(parent, spec);
    widget->setObjectName(QString::fromLatin1(ControlName(spec.Id)));
    // Screen readers name a control by its caption; a box has its caption beside it.
    widget->setAccessibleName(Shown(AccessibleNameOf(spec)));
    if (!spec.Visible) {
      widget->hide();
    }
    if (!spec.Enabled) {
      widget->setEnabled(false);
    }
    Put(spec.Id, widget);
    // The description lists the controls in keyboard order.
    if (spec.TabStop) {
      if (previousTabStop != nullptr) {
        QWidget::setTabOrder(previousTabStop, widget);
      }
      previousTabStop = widget;
    }
  }
}

void TQ71xFwTool::ConnectHandlers() {
  ToolCore& core = *core_;
  for (const ControlSpec& spec : WindowDescription()) {
    const Control control = spec.Id;
    switch (spec.Kind) {
      case ControlKind::Button:
        connect(As<QPushButton>(control), &QPushButton::clicked, this,
                [&core, control] { core.Clicked(control); });
        break;
      case ControlKind::ComboBox: {
        auto* box = As<QComboBox>(control);
        ConnectComboChange(box,
                           [&core, box, control] { core.ItemChosen(control, SelectedItem(box)); });
        break;
      }
      case ControlKind::LabeledEdit:
        connect(As<QLineEdit>(control), &QLineEdit::textChanged, this,
                [&core, control](const QString& text) {
                  core.TextEdited(control, QFile::encodeName(text).toStdString());
                });
        break;
      case ControlKind::CheckBox:
        // Every tick goes to the core, which runs the box's handler; ticks the core sets itself
        // do not come back here.
        connect(As<QCheckBox>(control), &QCheckBox::toggled, this,
                [&core, control](bool ticked) { core.TickChanged(control, ticked); });
        break;
      default:
        break;
    }
  }
}

}  // namespace q71x
