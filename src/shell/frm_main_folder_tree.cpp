// frmMain, the folder tree: filling OutlookFoldersTree for a picked store or
// an opened .pst file, every node ticked at the end.
#include "shell/frm_main.h"

#include "conversion/global/global.h"
#include "platform/system/system_services.h"
#include "shell/image_list.h"
#include "source/folder_nodes.h"
#include "source/folders_tree.h"
#include "source/store_entry.h"

#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>

namespace norvexa::shell {
namespace {

// Adds the root of STORE and every supported folder below it to TREE.
void FillTree(QTreeWidget* tree, const ImageList& icons, const outlook::Store& store) {
  source::TreeWidgetSink sink(
      tree, [&icons](int slot) { return icons.Image(slot); }, &frmMain::YieldToMessageLoop);
  const source::FolderNode root = source::RootNode(store);
  sink.AddNode(root);
  if (QTreeWidgetItem* root_item = source::NodeAt(tree, 1)) root_item->setExpanded(true);
  source::FolderTreeWalker walker(sink);
  walker.AddTopLevelFolders(*store.IPMRootFolder(), root.key);
}

// Ticks every node and shows the whole tree, its column wide enough for
// every node.
void FinishTree(QTreeWidget* tree) {
  source::TickAllNodes(tree);
  tree->expandAll();
  source::FitColumnToNodes(tree);
}

}  // namespace

bool frmMain::ShowMailboxFolders() {
  if (!StartSession()) return false;
  YieldToMessageLoop();

  const std::optional<std::string> store_id = source::StoreIdOfEntry(CmbOutlookStores->currentText().toStdString());
  if (!store_id) {
    // Not an entry of the list (the initial text): no store to show.
    ReleaseSession();
    return false;
  }
  Global::SelectedStoreId = *store_id;

  try {
    CurrentStore = CurrentSession->Stores().GetStoreFromID(QString::fromStdString(*store_id).trimmed().toStdString());
    source::RemoveAllNodes(OutlookFoldersTree);
    FillTree(OutlookFoldersTree, *SmallIcons, *CurrentStore);
  } catch (const std::exception& error) {
    // The session goes whatever happened; the user learns that the tree is
    // not the store they picked.
    ReleaseSession();
    sys::Message message;
    message.text = "The folders of the chosen mailbox could not be read.";
    message.title = "Norvexa";
    message.icon = sys::Icon::Information;
    message.detail = QString::fromStdString(error.what());
    sys::Services().ShowMessage(this, message);
    return false;
  }

  ReleaseSession();
  YieldToMessageLoop();
  FinishTree(OutlookFoldersTree);
  return true;
}

void frmMain::ShowPstFolders(const std::string& /*store_id*/) {
  YieldToMessageLoop();
  CmdStartConversion->setEnabled(false);
  if (!CurrentStore) throw outlook::OutlookError("no store is open to show");
  source::RemoveAllNodes(OutlookFoldersTree);
  FillTree(OutlookFoldersTree, *SmallIcons, *CurrentStore);
  FinishTree(OutlookFoldersTree);
}

}  // namespace norvexa::shell
