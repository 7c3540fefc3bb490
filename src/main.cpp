// Norvexa: the program's entry point. Opens the splash window, which gives
// way to the main window.
#include "platform/dialogs/qt_system_services.h"
#include "platform/system/local_time_zone.h"
#include "shell/frm_main.h"
#include "shell/frm_splash.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

int main(int argc, char** argv) {
  norvexa::sys::KeepLocalTimeZone();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Norvexa");
  QApplication::setApplicationVersion("6.0");
  // Message boxes, choosers and help in the windows' own dialogs.
  norvexa::sys::QtSystemServices dialogs;
  const norvexa::sys::ScopedServices installed(dialogs);
  try {
    norvexa::shell::frmMain main_window;
    norvexa::shell::frmSplash splash(&main_window);
    splash.show();
    return QApplication::exec();
  } catch (const std::exception& error) {
    // Only the windows' own set-up can end up here (a broken picture
    // resource); every later failure is handled where it happens.
    QMessageBox::critical(nullptr, "Norvexa", QString("Norvexa cannot start:\n") + error.what());
    return 1;
  }
}
