// System services for tests: answers queued in advance, every message box
// recorded, a clock the test sets, and program exit turned into an exception.
#pragma once

#include "platform/system/system_services.h"

#include <QDateTime>
#include <QString>

#include <deque>
#include <functional>
#include <vector>

namespace norvexa::testing {

// Thrown by ScriptedServices::ExitProgram in place of ending the process.
struct ProgramExited {
  int status = 0;
};

class ScriptedServices final : public sys::SystemServices {
 public:
  ScriptedServices();
  ~ScriptedServices() override;

  // Queued answers, taken first in, first out. When a queue is empty a
  // message box answers Ok (or No for Yes/No boxes), a chooser cancels.
  std::deque<sys::Answer> answers;
  std::deque<QString> open_file_names;
  std::deque<QString> folders;

  // Called when a message box is shown, before it is answered (may be empty).
  std::function<void(const sys::Message&)> on_message;

  // What was asked.
  std::vector<sys::Message> messages;
  std::vector<QString> open_file_filters;
  std::vector<QString> folder_prompts;
  std::vector<QString> help_paths;

  QString temp_folder;  // defaults to the real temporary folder
  QDateTime now;        // invalid: the real clock

  sys::Answer ShowMessage(QWidget* owner, const sys::Message& message) override;
  QString OpenFileName(QWidget* owner, const QString& initial_name, const QString& filter) override;
  QString BrowseFolder(QWidget* owner, const QString& prompt) override;
  void ShowHelp(QWidget* owner, const QString& path) override;
  QString TempFolder() override;
  QDateTime Now() override;
  [[noreturn]] void ExitProgram(int status) override;

 private:
  sys::ScopedServices installed_;
};

}  // namespace norvexa::testing
