// The system services of a process without windows; see windowless_services.h.
#include "platform/system/windowless_services.h"

#include <QDir>

#include <cstdio>
#include <cstdlib>

namespace norvexa::sys {

Answer WindowlessServices::ShowMessage(QWidget*, const Message& message) {
  const QByteArray text = (message.title + QStringLiteral(": ") + message.text).toUtf8();
  std::fprintf(stderr, "%s\n", text.constData());
  if (!message.detail.isEmpty()) std::fprintf(stderr, "%s\n", message.detail.toUtf8().constData());
  return message.buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
}

QString WindowlessServices::OpenFileName(QWidget*, const QString&, const QString&) { return QString(); }

QString WindowlessServices::BrowseFolder(QWidget*, const QString&) { return QString(); }

void WindowlessServices::ShowHelp(QWidget*, const QString&) {}

QString WindowlessServices::TempFolder() {
  QString path = QDir::toNativeSeparators(QDir::tempPath());
  if (!path.endsWith(QDir::separator())) path += QDir::separator();
  return path;
}

QDateTime WindowlessServices::Now() { return QDateTime::currentDateTime(); }

void WindowlessServices::ExitProgram(int status) { std::exit(status); }

}  // namespace norvexa::sys
