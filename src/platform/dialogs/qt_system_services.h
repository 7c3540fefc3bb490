// The system services of the running program, on Qt's standard dialogs.
#pragma once

#include "platform/system/windowless_services.h"

namespace norvexa::sys {

// The temporary folder and the clock are the windowless services'.
class QtSystemServices final : public WindowlessServices {
 public:
  Answer ShowMessage(QWidget* owner, const Message& message) override;
  QString OpenFileName(QWidget* owner, const QString& initial_name, const QString& filter) override;
  QString BrowseFolder(QWidget* owner, const QString& prompt) override;
  void ShowHelp(QWidget* owner, const QString& path) override;
  // Closes every window, then ends the process with STATUS.
  [[noreturn]] void ExitProgram(int status) override;
};

// Converts a filter "Description|pattern|Description|pattern" into Qt's
// "Description (pattern);;..." form. The description's own "(*.x)" is kept.
QString ToQtFilter(const QString& filter);

}  // namespace norvexa::sys
