// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/qt_dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "src/host/question_box.h"
#include "src/host/user_dialogs.h"

namespace q71x {
namespace {

QMessageBox::Icon QtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString pattern = parts[i + 1];
    pattern.replace(QStringLiteral("*.*"), QStringLiteral("*"));
    pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
    entries.push_back(parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')'));
  }
  return entries.join(QStringLiteral(";;"));
}

void InstallQtDialogs() {
  SetMessageBoxHandler([](const MessageBoxRequest& request) {
    QMessageBox box(QtIcon(request.Icon), QString::fromStdString(request.Caption),
                    QString::fromStdString(request.Text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
  });
  SetQuestionHandler([](const MessageBoxRequest& request) {
    QMessageBox box(QtIcon(request.Icon), QString::fromStdString(request.Caption),
                    QString::fromStdString(request.Text), QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
  });
  SetOpenFileHandler([](const OpenFileRequest& request) -> std::optional<std::string> {
    const QString folder = QFile::decodeName(QByteArray::fromStdString(request.InitialDirectory));
    // The save dialog asks before it names an existing file.
    const QString chosen =
        request.ForSaving ? QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(),
                                                         folder, QtFileFilter(request.Filter))
                          : QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(),
                                                         folder, QtFileFilter(request.Filter));
    if (chosen.isEmpty()) {
      return std::nullopt;
    }
    return QFile::encodeName(chosen).toStdString();
  });
}

}  // namespace q71x
