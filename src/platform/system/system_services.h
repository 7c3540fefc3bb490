// The system seam: every service of the operating system and its standard
// dialogs that the program uses (message boxes, file and folder choosers,
// help viewer, temporary folder, the clock, program exit). A process starts
// with the windowless services; the program with windows installs the Qt
// dialogs' (platform/dialogs/), tests install their own answers.
#pragma once

#include <QDateTime>
#include <QString>

#include <memory>

class QWidget;

namespace norvexa::sys {

enum class Icon { None, Information, Warning, Critical, Question };
enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

// One message box: the text, its title, an icon and its buttons, and an
// optional detailed text (shown behind a "Show Details" button).
struct Message {
  QString text;
  QString title;
  Icon icon = Icon::Information;
  Buttons buttons = Buttons::Ok;
  QString detail;
};

class SystemServices {
 public:
  virtual ~SystemServices() = default;

  // Shows MESSAGE modally over OWNER (may be null) and returns the answer.
  virtual Answer ShowMessage(QWidget* owner, const Message& message) = 0;

  // The system open-file dialog. FILTER is "Description|pattern" as the
  // caller gives it. Returns the chosen full path, or "" when cancelled.
  virtual QString OpenFileName(QWidget* owner, const QString& initial_name, const QString& filter) = 0;

  // The folder browser with PROMPT as its title. Returns the chosen folder's
  // path, or "" when cancelled or anything fails.
  virtual QString BrowseFolder(QWidget* owner, const QString& prompt) = 0;

  // Opens the help file at PATH in the help viewer. A missing or unreadable
  // file is reported by the viewer itself.
  virtual void ShowHelp(QWidget* owner, const QString& path) = 0;

  // The system temporary folder, ending in the platform's separator.
  virtual QString TempFolder() = 0;

  // The current local date and time.
  virtual QDateTime Now() = 0;

  // Ends the program at once: every window closes and no further handler
  // runs. The Qt implementation exits the process.
  [[noreturn]] virtual void ExitProgram(int status) = 0;
};

// The services in force. Never null: the windowless ones
// (windowless_services.h) until a program or a test installs its own.
SystemServices& Services();

// Installs SERVICES (not owned) until the returned guard is destroyed; the
// previous services come back then. For tests.
class ScopedServices {
 public:
  explicit ScopedServices(SystemServices& services);
  ~ScopedServices();
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;

 private:
  SystemServices* previous_;
};

// Shows an OK box over OWNER (may be null) with TEXT, TITLE and ICON, and
// DETAIL behind "Show Details" when it is not empty. The one way the
// program builds a box that asks nothing.
void ShowNotice(QWidget* owner, const QString& text, const QString& title, Icon icon = Icon::Information,
                const QString& detail = QString());

// The platform's path separator as text ("\" on Windows, "/" elsewhere).
QString PathSeparator();

}  // namespace norvexa::sys
