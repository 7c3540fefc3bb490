// The system services of a process without windows (the command-line
// tools, the benchmarks, and any program until it installs its own): a
// message goes to standard error and is answered at once, there is no one
// to choose a file or a folder, help is not shown; the temporary folder and
// the clock are the system's. The windows' services build on it.
#pragma once

#include "platform/system/system_services.h"

namespace norvexa::sys {

class WindowlessServices : public SystemServices {
 public:
  // Writes the title, the text and the detail to standard error. Answers Ok,
  // or No to a Yes/No question: nothing is done that was not asked for.
  Answer ShowMessage(QWidget* owner, const Message& message) override;
  // There is no one to choose: both give "".
  QString OpenFileName(QWidget* owner, const QString& initial_name, const QString& filter) override;
  QString BrowseFolder(QWidget* owner, const QString& prompt) override;
  // Nothing to show help in; nothing happens.
  void ShowHelp(QWidget* owner, const QString& path) override;
  // QDir::tempPath() (it honours TMPDIR, TEMP), ending in the separator.
  QString TempFolder() override;
  // The current local date and time.
  QDateTime Now() override;
  // Ends the process with STATUS.
  [[noreturn]] void ExitProgram(int status) override;
};

}  // namespace norvexa::sys
