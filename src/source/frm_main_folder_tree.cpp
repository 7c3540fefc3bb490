// frmMain, the folder tree: filling OutlookFoldersTree for a picked store or
// an opened .pst file, every node ticked at the end. The store browser does
// the work on the tree through a sink; these handlers say what failed.
#include "shell/frm_main.h"

#include "conversion/global/global.h"
#include "platform/system/system_services.h"
#include "source/folders_tree.h"
#include "source/store_browser.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPushButton>

namespace norvexa::shell {

bool frmMain::ShowMailboxFolders() {
  source::TreeWidgetSink tree(OutlookFoldersTree, FolderImage, &frmMain::YieldToMessageLoop);
  const source::TreeFill fill =
      source::StoreBrowser(CurrentSession, CurrentStore).ShowStore(CmbOutlookStores->currentText().toStdString(), tree);
  if (fill.store_id) Global::SelectedStoreId = *fill.store_id;
  if (!fill.error) return true;

  switch (fill.error->failure) {
    case source::BrowseFailure::LogOn:
      ShowOutlookNotConfigured(fill.error->detail);
      break;
    case source::BrowseFailure::NotAStoreEntry:
      // Not an entry of the list (the initial text): no store to show.
      break;
    case source::BrowseFailure::StoreNotFound:
    case source::BrowseFailure::NotLoaded:
    case source::BrowseFailure::ReadFailed:
      // The user learns that the tree is not the store they picked.
      sys::ShowNotice(this, "The folders of the chosen mailbox could not be read.", "Norvexa", sys::Icon::Information,
                      QString::fromStdString(fill.error->detail));
      break;
  }
  return false;
}

void frmMain::ShowPstFolders(const std::string& /*store_id*/) {
  YieldToMessageLoop();
  CmdStartConversion->setEnabled(false);
  if (!CurrentStore) throw outlook::OutlookError("no store is open to show");
  source::TreeWidgetSink tree(OutlookFoldersTree, FolderImage, &frmMain::YieldToMessageLoop);
  source::StoreBrowser::FillTree(*CurrentStore, tree);
}

void frmMain::YieldToMessageLoop() { QCoreApplication::processEvents(); }

}  // namespace norvexa::shell
