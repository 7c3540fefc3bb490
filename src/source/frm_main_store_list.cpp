// frmMain, the store session: listing the stores of the profile, opening a
// .pst file, and picking a store from the list. The store browser does the
// work; these handlers set the controls around it and tell the user what
// failed.
#include "shell/frm_main.h"

#include "conversion/global/global.h"
#include "platform/system/system_services.h"
#include "source/store_browser.h"
#include "source/store_list_box.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>

namespace norvexa::shell {

void frmMain::ShowOutlookNotConfigured(const std::string& detail) {
  sys::ShowNotice(this, "Outlook NOT installed or configured properly.", "Norvexa", sys::Icon::Information,
                  QString::fromStdString(detail));
}

void frmMain::CmdExportConfigured_Click() {
  CmdStartConversion->setEnabled(false);
  // Stores that cannot be read are left out without a word; only a failed
  // log-on comes back as an error.
  const source::StoreListing listing = source::StoreBrowser(CurrentSession, CurrentStore).ListStores();
  if (listing.error) {
    ShowOutlookNotConfigured(listing.error->detail);
    return;
  }
  for (const source::StoreOffer& offer : listing.stores) {
    CmbOutlookStores->setEnabled(true);
    source::AddStoreEntry(CmbOutlookStores, offer);
  }

  NotesTab->setTabEnabled(1, true);
  NotesTab->setCurrentIndex(1);
}

void frmMain::CmdExportOther_Click() {
  CmdStartConversion->setEnabled(false);
  const source::TreeFill load = source::StoreBrowser(CurrentSession, CurrentStore)
                                    .OpenPst(txtNotesDatabaseFile->text().toStdString(), [this](const std::string& id) {
                                      CmbOutlookStores->setEnabled(false);
                                      Global::SelectedStoreId = id;
                                      ShowPstFolders(id);
                                      CmdStartConversion->setEnabled(true);
                                    });
  if (load.error && load.error->failure == source::BrowseFailure::LogOn) {
    ShowOutlookNotConfigured(load.error->detail);
    return;
  }
  // Any other failure is passed over: a file that cannot be opened or read
  // is simply not loaded, the start button stays disabled and the tree keeps
  // what it shows.

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
