// The system services of the command; see command_services.h.
#include "command_services.h"

#include "platform/system/text.h"

#include <QDir>
#include <QRegularExpression>

namespace norvexa::exporter {

sys::Answer CommandServices::ShowMessage(QWidget*, const sys::Message& message) {
  messages_.push_back(message);
  return sys::Answer::Ok;
}

QString CommandServices::OpenFileName(QWidget*, const QString&, const QString&) { return QString(); }

QString CommandServices::BrowseFolder(QWidget*, const QString&) { return QString(); }

void CommandServices::ShowHelp(QWidget*, const QString&) {}

QString CommandServices::TempFolder() {
  QString path = QDir::toNativeSeparators(QDir::tempPath());
  if (!path.endsWith(QDir::separator())) path += QDir::separator();
  return path;
}

QDateTime CommandServices::Now() {
  last_now_ = QDateTime::currentDateTime();
  return last_now_;
}

void CommandServices::ExitProgram(int status) { throw ExitRequested{status}; }

std::string OneLine(const QString& text) {
  std::string joined;
  for (const QString& line : text.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts)) {
    const std::string trimmed = sys::Trim(line.toStdString(), sys::kWhitespace);
    if (trimmed.empty()) continue;
    if (!joined.empty()) joined += ' ';
    joined += trimmed;
  }
  return joined;
}

}  // namespace norvexa::exporter
