// The main window's store session: listing the stores of the profile, opening a
// .pst file, and picking a store from the list. The store browser does the
// work; these handlers set the controls around it and tell the user what
// failed.
#include "source/mailbox_preview.h"

#include "conversion/global/global.h"
#include "platform/system/system_services.h"
#include "source/model/store_browser.h"
#include "source/store_list_box.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>

namespace norvexa::source {

void ShowOutlookNotConfigured(MailboxPreview& window, const std::string& detail) {
  sys::ShowNotice(window.PreviewOwner(), "Outlook NOT installed or configured properly.", "Norvexa", sys::Icon::Information,
                  QString::fromStdString(detail));
}

void ExportConfiguredClick(MailboxPreview& window) {
  window.StartButton()->setEnabled(false);
  // Stores that cannot be read are left out without a word; only a failed
  // log-on comes back as an error.
  const StoreListing listing = StoreBrowser(window.PreviewSession(), window.PreviewStore()).ListStores();
  if (listing.error) {
    ShowOutlookNotConfigured(window, listing.error->detail);
    return;
  }
  for (const StoreOffer& offer : listing.stores) {
    window.StoreList()->setEnabled(true);
    AddStoreEntry(window.StoreList(), offer);
  }

  window.PreviewTabs()->setTabEnabled(1, true);
  window.PreviewTabs()->setCurrentIndex(1);
}

void ExportOtherClick(MailboxPreview& window) {
  window.StartButton()->setEnabled(false);
  const TreeFill load = StoreBrowser(window.PreviewSession(), window.PreviewStore())
                            .OpenPst(window.PstPathBox()->text().toStdString(), [&window](const std::string& id) {
                              window.StoreList()->setEnabled(false);
                              Global::SelectedStoreId = id;
                              ShowPstFolders(window);
                              window.StartButton()->setEnabled(true);
                            });
  if (load.error && load.error->failure == BrowseFailure::LogOn) {
    ShowOutlookNotConfigured(window, load.error->detail);
    return;
  }
  // Any other failure is passed over: a file that cannot be opened or read
  // is simply not loaded, the start button stays disabled and the tree keeps
  // what it shows.

  window.PreviewTabs()->setTabEnabled(1, true);
  window.PreviewTabs()->setCurrentIndex(1);
}

void StoreListClick(MailboxPreview& window) {
  QComboBox* stores = window.StoreList();
  stores->setEnabled(false);
  if (stores->currentText().length() > 0) {
    window.StartButton()->setEnabled(false);
    const bool filled = ShowMailboxFolders(window);
    {
      // Redraw the picked entry without running this handler again.
      const QSignalBlocker blocker(stores);
      const int picked = stores->currentIndex();
      stores->setCurrentIndex(-1);
      stores->setCurrentIndex(picked);
    }
    // A failed fill leaves the start button disabled: the tree does not
    // show the picked store.
    if (filled) window.StartButton()->setEnabled(true);
    stores->setEnabled(true);
  }
  stores->setEnabled(true);
}

}  // namespace norvexa::source
