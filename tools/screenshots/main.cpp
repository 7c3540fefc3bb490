// Renders the program's windows to PNG files for the documentation, off
// screen: the main window on each tab with the sample mailbox loaded, the
// save window during a run, and the about window. Dialogs are answered
// through the system seam, with the tests' scripted services. Run by
// scripts/screenshots.
//   norvexa-screenshots OUTPUT_DIR
#include "mailbox_writer.h"
#include "platform/notes/notes.h"
#include "platform/system/system_services.h"
#include "sample.h"
#include "shell/frm_about.h"
#include "shell/frm_main.h"
#include "shell/frm_splash.h"
#include "shell/shell_test_support.h"
#include "support/fixtures.h"
#include "support/scripted_services.h"
#include "windows/frm_save.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QProgressBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;
using namespace norvexa;

namespace {

// Saves WIDGET as OUT_DIR/NAME.png; throws when it cannot.
void Save(QWidget* widget, const fs::path& out_dir, const std::string& name) {
  const fs::path file = out_dir / (name + ".png");
  if (!widget->grab().save(QString::fromStdString(file.string()), "PNG"))
    throw std::runtime_error("cannot write " + file.string());
  std::printf("screenshots: %s\n", file.string().c_str());
}

// Lets layouts and pending paints settle.
void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

// Grabs the save window that the main window W opens for its run, into
// OUT_DIR, once its overall progress shows items done, their rate and the
// time left; the run exports into a new database in EXPORT_DIR, the folder
// SERVICES answers the folder dialog with. Throws when the run ends before
// the window could be grabbed.
void ShootSaveWindowDuringRun(shell::frmMain& w, testing::ScriptedServices& services, const fs::path& export_dir,
                              const fs::path& out_dir) {
  // Grabbed from a timer that fires at the run's yields. The sample
  // mailbox is small, so each yield is drawn out a little for the rate to
  // be measured before the run ends.
  bool grabbed = false;
  services.folders.push_back(QString::fromStdString(export_dir.string()));
  const auto watch_modal = testing::OnNextModal([&](QWidget* modal) {
    auto* save = qobject_cast<windows::frmSave*>(modal);
    if (!save) {
      modal->close();
      return;
    }
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (grabbed) return;
      QThread::msleep(150);
      if (save->PrgOverall->value() > 0 && save->LblOverall->text().contains("left")) {
        Save(save, out_dir, "save-window-during-run");
        grabbed = true;
      }
    });
    watch.start(0);
    save->CmdNewNSF->click();
    watch.stop();
    if (save->isVisible()) save->reject();
  });
  w.CmdStartConversion->click();
  if (!grabbed) throw std::runtime_error("the run ended before its progress could be grabbed");
}

// Renders every picture into OUT_DIR: the splash, the main window before
// and after a store is chosen, the save window during a run and the about
// window, with the sample mailbox as the one store of a scratch profile
// and a Notes client provisioned for it. Returns 0; throws when a picture
// cannot be made or written.
int Render(const fs::path& out_dir) {
  fs::create_directories(out_dir);
  testing::ScratchDir scratch;
  const fs::path pst = scratch / "Sample Mailbox.pst";
  pstgen::WriteMailbox(pstgen::SampleMailbox(), pst);
  notes::ProvisionClient(scratch / "notes");
  qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString((scratch / "notes").string()));
  testing::ProfileGuard profile(testing::WriteProfile(scratch / "profile", {pst}));
  fs::create_directories(scratch / "tmp");

  // The folder the export goes to, under a readable name for the picture.
  const fs::path out = fs::temp_directory_path() / "Norvexa Export";
  fs::remove_all(out);
  struct RemoveOut {
    fs::path path;
    ~RemoveOut() {
      std::error_code ignored;  // a leftover temporary folder harms nothing
      fs::remove_all(path, ignored);
    }
  } remove_out{out};

  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString((scratch / "tmp").string() + sys::PathSeparator().toStdString());

  shell::frmMain w;
  shell::frmSplash splash(&w, 0);
  splash.show();
  Settle();
  Save(&splash, out_dir, "splash");
  splash.close();

  w.show();
  Settle();
  Save(&w, out_dir, "main-select-file");

  w.CmdExportConfigured_Click();
  w.CmbOutlookStores->setCurrentIndex(0);
  w.CmbOutlookStores_Click();
  Settle();
  Save(&w, out_dir, "main-mailbox-preview");

  ShootSaveWindowDuringRun(w, services, out, out_dir);

  shell::frmAbout about(&w);
  about.show();
  Settle();
  Save(&about, out_dir, "about");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: norvexa-screenshots OUTPUT_DIR\n");
    return 2;
  }
  try {
    return Render(argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "screenshots: %s\n", error.what());
    return 1;
  }
}
