// Qt implementation of the system services: QMessageBox, QFileDialog, the
// CHM help viewer.
#include "platform/dialogs/qt_system_services.h"

#include "platform/dialogs/help_viewer.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringList>

#include <cstdlib>

namespace norvexa::sys {

QString ToQtFilter(const QString& filter) {
  const QStringList parts = filter.split('|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    const QString& pattern = parts[i + 1];
    if (description.contains('(')) {
      // Qt reads the patterns from the parentheses; keep the description
      // and make sure the pattern is what the parentheses say.
      entries << QString("%1").arg(description).replace(QRegularExpression("\\(.*\\)"),
                                                        "(" + QString(pattern).replace(';', ' ') + ")");
    } else {
      entries << QString("%1 (%2)").arg(description, QString(pattern).replace(';', ' '));
    }
  }
  return entries.join(";;");
}

Answer QtSystemServices::ShowMessage(QWidget* owner, const Message& message) {
  QMessageBox box(owner);
  box.setWindowTitle(message.title);
  box.setText(message.text);
  switch (message.icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
  }
  if (!message.detail.isEmpty()) box.setDetailedText(message.detail);
  if (message.buttons == Buttons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return Answer::Ok;
}

QString QtSystemServices::OpenFileName(QWidget* owner, const QString& initial_name, const QString& filter) {
  return QFileDialog::getOpenFileName(owner, QString(), initial_name, ToQtFilter(filter));
}

QString QtSystemServices::BrowseFolder(QWidget* owner, const QString& prompt) {
  return QFileDialog::getExistingDirectory(owner, prompt, QString(), QFileDialog::ShowDirsOnly);
}

void QtSystemServices::ShowHelp(QWidget* owner, const QString& path) { OpenHelpViewer(owner, path); }

void QtSystemServices::ExitProgram(int status) {
  // Close every window first so that their state is let go of cleanly, then
  // end the process without returning to any handler.
  if (qApp) QApplication::closeAllWindows();
  std::exit(status);
}

}  // namespace norvexa::sys
