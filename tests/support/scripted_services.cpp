// ScriptedServices: the test double of the system seam.
#include "support/scripted_services.h"

#include <QDir>

namespace norvexa::testing {

ScriptedServices::ScriptedServices() : installed_(*this) {}
ScriptedServices::~ScriptedServices() = default;

sys::Answer ScriptedServices::ShowMessage(QWidget*, const sys::Message& message) {
  messages.push_back(message);
  if (on_message) on_message(message);
  if (!answers.empty()) {
    const sys::Answer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return message.buttons == sys::Buttons::YesNo ? sys::Answer::No : sys::Answer::Ok;
}

QString ScriptedServices::OpenFileName(QWidget*, const QString&, const QString& filter) {
  open_file_filters.push_back(filter);
  if (open_file_names.empty()) return QString();
  QString name = open_file_names.front();
  open_file_names.pop_front();
  return name;
}

QString ScriptedServices::BrowseFolder(QWidget*, const QString& prompt) {
  folder_prompts.push_back(prompt);
  if (folders.empty()) return QString();
  QString folder = folders.front();
  folders.pop_front();
  return folder;
}

void ScriptedServices::ShowHelp(QWidget*, const QString& path) { help_paths.push_back(path); }

QString ScriptedServices::TempFolder() {
  QString folder = temp_folder.isEmpty() ? QDir::toNativeSeparators(QDir::tempPath()) : temp_folder;
  if (!folder.endsWith(QDir::separator())) folder += QDir::separator();
  return folder;
}

QDateTime ScriptedServices::Now() { return now.isValid() ? now : QDateTime::currentDateTime(); }

void ScriptedServices::ExitProgram(int status) { throw ProgramExited{status}; }

}  // namespace norvexa::testing
