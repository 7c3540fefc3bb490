// The system services of the command, which has no windows: the run's
// message boxes are kept (they become the command's reasons) instead of
// shown, the clock and the temporary folder are the system's, and ending
// the program (what the creation of a new database does when the Notes
// client is missing) comes back to the command as ExitRequested.
#pragma once

#include "platform/system/system_services.h"

#include <QDateTime>
#include <QString>

#include <vector>

namespace norvexa::exporter {

// Thrown by ExitProgram. Deliberately not a std::exception, so that no
// handler of the run that passes over failures catches it on its way out.
struct ExitRequested {
  int status = 1;
};

class CommandServices final : public sys::SystemServices {
 public:
  // Keeps MESSAGE in messages(); answers OK.
  sys::Answer ShowMessage(QWidget* owner, const sys::Message& message) override;
  // There is no one to choose: both give "".
  QString OpenFileName(QWidget* owner, const QString& initial_name, const QString& filter) override;
  QString BrowseFolder(QWidget* owner, const QString& prompt) override;
  // No viewer on a server; nothing happens.
  void ShowHelp(QWidget* owner, const QString& path) override;
  // QDir::tempPath() (honours TMPDIR/TEMP), ending in the separator.
  QString TempFolder() override;
  // The current local time; remembered, see LastNow().
  QDateTime Now() override;
  [[noreturn]] void ExitProgram(int status) override;

  // The messages shown so far, oldest first.
  const std::vector<sys::Message>& messages() const { return messages_; }

  // The latest time Now() gave: new databases are named after it, to the
  // second.
  const QDateTime& LastNow() const { return last_now_; }

 private:
  std::vector<sys::Message> messages_;
  QDateTime last_now_;
};

// TEXT of a message as one line: its lines joined by a blank, empty lines
// dropped.
std::string OneLine(const QString& text);

}  // namespace norvexa::exporter
