// The folder tree in the main window: a fill from an opened store, with the
// image list's pictures, every node ticked, and a fill that fails.
#include "shell/frm_main.h"
#include "shell/image_list.h"
#include "source/fake_store.h"
#include "source/folders_tree.h"

#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace norvexa::shell {
namespace {

using testing::FakeStore;

TEST(FolderTreeWindow, PstFillShowsClassPicturesAndTicksEveryNode) {
  frmMain w;
  auto store = std::make_unique<FakeStore>("Archive");
  auto& inbox = store->Top().Add("Inbox", "IPM.Note", 2);
  inbox.Add("Old", "IPM.Note", 0);
  store->Top().Add("Calendar", "IPM.Appointment", 1);
  store->Top().Add("Search", "IPM.Outlook.Search", 9).Add("Tasks", "IPM.Task", 3);
  w.CurrentStore = std::move(store);
  w.CmdStartConversion->setEnabled(true);
  w.ShowPstFolders("ignored");
  EXPECT_FALSE(w.CmdStartConversion->isEnabled());  // the caller enables it

  QTreeWidget* tree = w.OutlookFoldersTree;
  ASSERT_EQ(source::NodeCount(tree), 5);
  const char* texts[] = {"Archive", "Inbox (2)", "Old (0)", "Calendar (1)", "Tasks (3)"};
  const int images[] = {0, 2, 2, 60, 58};
  for (int i = 1; i <= 5; ++i) {
    QTreeWidgetItem* node = source::NodeAt(tree, i);
    EXPECT_EQ(node->text(0), texts[i - 1]);
    EXPECT_TRUE(source::NodeTicked(node)) << i;
    EXPECT_EQ(source::NodeImageSlot(node), images[i - 1]);
    // The node shows the image list's picture for its slot.
    EXPECT_EQ(node->icon(0).pixmap(16, 16).toImage(),
              w.SmallIcons->Image(images[i - 1]).pixmap(16, 16).toImage()) << i;
  }
  // The tasks folder below the unsupported search folder hangs under the root.
  EXPECT_EQ(source::NodeAt(tree, 5)->parent(), source::NodeAt(tree, 1));
  // The caller (the .pst handler) keeps and later releases the store.
  EXPECT_NE(w.CurrentStore, nullptr);

  // A second fill replaces every node.
  auto other = std::make_unique<FakeStore>("Other");
  w.CurrentStore = std::move(other);
  w.ShowPstFolders("");
  EXPECT_EQ(source::NodeCount(tree), 1);
  EXPECT_TRUE(source::NodeTicked(source::NodeAt(tree, 1)));
}

TEST(FolderTreeWindow, PstFillThatFailsKeepsItsNodesUnticked) {
  frmMain w;
  auto store = std::make_unique<FakeStore>("Broken");
  store->Top().Add("Fine", "IPM.Note", 1);
  store->Top().Add("Damaged", "IPM.Note", 1).fail_count = true;
  w.CurrentStore = std::move(store);
  EXPECT_THROW(w.ShowPstFolders(""), outlook::OutlookError);
  ASSERT_EQ(source::NodeCount(w.OutlookFoldersTree), 2);
  EXPECT_FALSE(source::NodeTicked(source::NodeAt(w.OutlookFoldersTree, 1)));
  EXPECT_FALSE(source::NodeTicked(source::NodeAt(w.OutlookFoldersTree, 2)));
}

}  // namespace
}  // namespace norvexa::shell
