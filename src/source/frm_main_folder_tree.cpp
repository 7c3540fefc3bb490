// The main window's folder tree: filling it for a picked store or
// an opened .pst file, every node ticked at the end. The store browser does
// the work on the tree through a sink; these handlers say what failed.
#include "source/mailbox_preview.h"

#include "conversion/global/global.h"
#include "platform/system/system_services.h"
#include "source/folders_tree.h"
#include "source/model/store_browser.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPushButton>

namespace norvexa::source {

bool ShowMailboxFolders(MailboxPreview& window) {
  TreeWidgetSink tree(window.FolderTree(), window.FolderImages(), &YieldToMessageLoop);
  const TreeFill fill = StoreBrowser(window.PreviewSession(), window.PreviewStore())
                            .ShowStore(window.StoreList()->currentText().toStdString(), tree);
  if (fill.store_id) Global::SelectedStoreId = *fill.store_id;
  if (!fill.error) return true;

  switch (fill.error->failure) {
    case BrowseFailure::LogOn:
      ShowOutlookNotConfigured(window, fill.error->detail);
      break;
    case BrowseFailure::NotAStoreEntry:
      // Not an entry of the list (the initial text): no store to show.
      break;
    case BrowseFailure::StoreNotFound:
    case BrowseFailure::NotLoaded:
    case BrowseFailure::ReadFailed:
      // The user learns that the tree is not the store they picked.
      sys::ShowNotice(window.PreviewOwner(), "The folders of the chosen mailbox could not be read.", "Norvexa", sys::Icon::Information,
                      QString::fromStdString(fill.error->detail));
      break;
  }
  return false;
}

void ShowPstFolders(MailboxPreview& window) {
  YieldToMessageLoop();
  window.StartButton()->setEnabled(false);
  if (!window.PreviewStore()) throw outlook::OutlookError("no store is open to show");
  TreeWidgetSink tree(window.FolderTree(), window.FolderImages(), &YieldToMessageLoop);
  StoreBrowser::FillTree(*window.PreviewStore(), tree);
}

void YieldToMessageLoop() { QCoreApplication::processEvents(); }

}  // namespace norvexa::source
