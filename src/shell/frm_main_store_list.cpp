// frmMain, the store session: listing the stores of the profile, opening a
// .pst file, and picking a store from the list.
#include "shell/frm_main.h"

#include "conversion/global/global.h"
#include "platform/system/system_services.h"
#include "source/store_list.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>

namespace norvexa::shell {

bool frmMain::StartSession() {
  try {
    CurrentSession.reset();
    CurrentSession = std::make_unique<outlook::Session>();
    CurrentSession->Logon();
    return true;
  } catch (const std::exception& error) {
    CurrentSession.reset();
    sys::Message message;
    message.text = "Outlook NOT installed or configured properly.";
    message.title = "Norvexa";
    message.icon = sys::Icon::Information;
    message.detail = QString::fromStdString(error.what());
    sys::Services().ShowMessage(this, message);
    return false;
  }
}

void frmMain::ReleaseSession() {
  CurrentStore.reset();
  if (CurrentSession) {
    try {
      CurrentSession->Logoff();
    } catch (const outlook::OutlookError&) {
      // Logging off only ends the log-on; the session is dropped right
      // below, which frees everything it held either way.
    }
  }
  CurrentSession.reset();
}

void frmMain::CmdExportConfigured_Click() {
  CmdStartConversion->setEnabled(false);
  if (!StartSession()) return;

  // Stores that cannot be read are passed over without a word.
  source::AppendOfferedStores(*CurrentSession, CmbOutlookStores, CurrentStore);
  ReleaseSession();

  NotesTab->setTabEnabled(1, true);
  NotesTab->setCurrentIndex(1);
}

void frmMain::CmdExportOther_Click() {
  CmdStartConversion->setEnabled(false);
  if (!StartSession()) return;

  // From here on a failing step is passed over: a file that cannot be
  // opened or read is simply not loaded.
  try {
    CurrentStore = CurrentSession->Stores().AddPSTStore(txtNotesDatabaseFile->text().trimmed().toStdString());
    if (source::StoreIsOffered(*CurrentStore)) {
      CmbOutlookStores->setEnabled(false);
      Global::SelectedStoreId = CurrentStore->StoreID();
      ShowPstFolders(Global::SelectedStoreId);
      CmdStartConversion->setEnabled(true);
    }
  } catch (const outlook::OutlookError&) {
    // Not loaded: the start button stays disabled and the tree keeps what
    // it shows.
  }
  ReleaseSession();

  NotesTab->setTabEnabled(1, true);
  NotesTab->setCurrentIndex(1);
}

void frmMain::CmbOutlookStores_Click() {
  CmbOutlookStores->setEnabled(false);
  if (CmbOutlookStores->currentText().length() > 0) {
    CmdStartConversion->setEnabled(false);
    const bool filled = ShowMailboxFolders();
    {
      // Redraw the picked entry without running this handler again.
      const QSignalBlocker blocker(CmbOutlookStores);
      const int picked = CmbOutlookStores->currentIndex();
      CmbOutlookStores->setCurrentIndex(-1);
      CmbOutlookStores->setCurrentIndex(picked);
    }
    // A failed fill leaves the start button disabled: the tree does not
    // show the picked store.
    if (filled) CmdStartConversion->setEnabled(true);
    CmbOutlookStores->setEnabled(true);
  }
  CmbOutlookStores->setEnabled(true);
}

}  // namespace norvexa::shell
