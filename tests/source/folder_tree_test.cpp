// The folder tree built from a store: nodes, texts, images, references,
// order, unsupported folders and a read that fails half-way.
#include "source/fake_store.h"
#include "source/model/folder_nodes.h"
#include "source/folders_tree.h"

#include <QTreeWidget>

#include <gtest/gtest.h>

namespace norvexa::source {
namespace {

using testing::FakeStore;

// Fills TREE from STORE as the main window does, without ticking.
void Fill(QTreeWidget& tree, const outlook::Store& store, int* yields = nullptr) {
  TreeWidgetSink sink(&tree, [](int) { return QIcon(); }, [yields] {
    if (yields) ++*yields;
  });
  const FolderNode root = RootNode(store);
  sink.AddNode(root);
  FolderTreeWalker walker(sink);
  walker.AddTopLevelFolders(*store.IPMRootFolder(), root.key);
}

std::vector<std::string> Texts(QTreeWidget& tree) {
  std::vector<std::string> texts;
  for (int i = 1; i <= NodeCount(&tree); ++i) texts.push_back(NodeAt(&tree, i)->text(0).toStdString());
  return texts;
}

TEST(FolderTree, TextsCountsImagesAndReferences) {
  FakeStore store("Personal Folders");
  auto& inbox = store.Top().Add("Inbox", "IPM.Note", 12);
  store.Top().Add("Calendar", "IPM.Appointment", 3);
  store.Top().Add("Contacts", "IPM.Contact", 0);
  store.Top().Add("Journal", "IPM.Journal", 1);
  store.Top().Add("Notes (old)", "IPM.StickyNote", 2);
  store.Top().Add("Tasks", "IPM.Task", 4);
  QTreeWidget tree;
  Fill(tree, store);

  ASSERT_EQ(NodeCount(&tree), 7);
  QTreeWidgetItem* root = NodeAt(&tree, 1);
  EXPECT_EQ(root->text(0), "Personal Folders");
  EXPECT_EQ(NodeKey(root), "Personal Folders");
  EXPECT_EQ(NodeImageSlot(root), 0);
  EXPECT_EQ(NodeFolderReference(root), "");
  EXPECT_EQ(root->parent(), nullptr);

  EXPECT_EQ(Texts(tree), (std::vector<std::string>{"Personal Folders", "Inbox (12)", "Calendar (3)", "Contacts (0)",
                                                   "Journal (1)", "Notes (old) (2)", "Tasks (4)"}));
  const int expected_slots[] = {0, 2, 60, 61, 62, 67, 58};
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(NodeImageSlot(NodeAt(&tree, i)), expected_slots[i - 1]) << "node " << i;

  QTreeWidgetItem* inbox_node = NodeAt(&tree, 2);
  EXPECT_EQ(inbox_node->parent(), root);
  EXPECT_EQ(NodeKey(inbox_node), "\\\\Personal Folders\\Inbox");
  EXPECT_EQ(NodeFolderReference(inbox_node), inbox.entry_id + "#Personal Folders\\Inbox");
  EXPECT_TRUE(NodeHasItems(inbox_node));
  EXPECT_FALSE(NodeHasItems(NodeAt(&tree, 4)));  // the empty contacts folder
  EXPECT_TRUE(NodeHasItems(root));
}

TEST(FolderTree, ClassesAreExactAndUnsupportedFoldersPassTheirChildrenOn) {
  FakeStore store("S");
  store.Top().Add("lower", "ipm.note", 1);
  store.Top().Add("Suffixed", "IPM.Note.Custom", 1);
  auto& lists = store.Top().Add("Lists", "IPM.DistList", 1);
  auto& inside = lists.Add("Inside", "IPM.Note", 5);
  inside.Add("Deeper", "IPM.Task", 1);
  auto& classless = store.Top().Add("No class", "", 0);
  classless.Add("Under no class", "IPM.Contact", 2);
  auto& mail = store.Top().Add("Mail", "IPM.Note", 1);
  auto& config = mail.Add("Config", "IPM.Configuration", 0);
  config.Add("Hidden mail", "IPM.Note", 7);
  QTreeWidget tree;
  Fill(tree, store);

  EXPECT_EQ(Texts(tree), (std::vector<std::string>{"S", "Inside (5)", "Deeper (1)", "Under no class (2)", "Mail (1)",
                                                   "Hidden mail (7)"}));
  QTreeWidgetItem* root = NodeAt(&tree, 1);
  // Below an unsupported top-level folder: under the root.
  EXPECT_EQ(NodeAt(&tree, 2)->parent(), root);
  EXPECT_EQ(NodeAt(&tree, 3)->parent(), NodeAt(&tree, 2));
  EXPECT_EQ(NodeAt(&tree, 4)->parent(), root);
  // Below an unsupported folder inside "Mail": under "Mail".
  EXPECT_EQ(NodeAt(&tree, 6)->parent(), NodeAt(&tree, 5));
  // The reference still names the folder where it really is.
  EXPECT_EQ(NodeFolderReference(NodeAt(&tree, 6)), config.children[0]->entry_id + "#S\\Mail\\Config\\Hidden mail");
}

TEST(FolderTree, PreOrderWithHashesInNamesAndAYieldPerSubFolder) {
  FakeStore store("Store #1");
  auto& a = store.Top().Add("A#1", "IPM.Note", 1);
  auto& a1 = a.Add("A1", "IPM.Note");
  a1.Add("A1x", "IPM.Note");
  a.Add("A2", "IPM.Note");
  store.Top().Add("B", "IPM.Note");
  QTreeWidget tree;
  int yields = 0;
  Fill(tree, store, &yields);

  EXPECT_EQ(Texts(tree),
            (std::vector<std::string>{"Store #1", "A#1 (1)", "A1 (0)", "A1x (0)", "A2 (0)", "B (0)"}));
  EXPECT_EQ(NodeFolderReference(NodeAt(&tree, 4)), a1.children[0]->entry_id + "#Store #1\\A#1\\A1\\A1x");
  EXPECT_EQ(yields, 3);  // A1, A1x and A2 are sub-folders; top-level folders are not
}

TEST(FolderTree, EmptyStoreGivesTheRootAloneAndTickingReachesEveryNode) {
  FakeStore empty("Nothing");
  QTreeWidget tree;
  Fill(tree, empty);
  ASSERT_EQ(NodeCount(&tree), 1);
  EXPECT_FALSE(NodeTicked(NodeAt(&tree, 1)));
  TickAllNodes(&tree);
  EXPECT_TRUE(NodeTicked(NodeAt(&tree, 1)));

  FakeStore store("S");
  store.Top().Add("A", "IPM.Note").Add("B", "IPM.Note").Add("C", "IPM.Note");
  RemoveAllNodes(&tree);
  Fill(tree, store);
  TickAllNodes(&tree);
  ASSERT_EQ(NodeCount(&tree), 4);
  for (int i = 1; i <= 4; ++i) EXPECT_TRUE(NodeTicked(NodeAt(&tree, i)));
  EXPECT_EQ(NodeAt(&tree, 5), nullptr);
  EXPECT_EQ(NodeAt(&tree, 0), nullptr);
}

TEST(FolderTree, ReadFailureEndsTheWalkAndKeepsTheNodesAdded) {
  FakeStore store("S");
  store.Top().Add("Good", "IPM.Note", 1);
  store.Top().Add("Bad", "IPM.Note", 1).fail_count = true;
  store.Top().Add("Never", "IPM.Note", 1);
  QTreeWidget tree;
  EXPECT_THROW(Fill(tree, store), outlook::OutlookError);
  EXPECT_EQ(Texts(tree), (std::vector<std::string>{"S", "Good (1)"}));
}

TEST(FolderTree, SiblingsWithTheSamePathKeepTheirOwnChildren) {
  FakeStore store("S");
  store.Top().Add("Twin", "IPM.Note").Add("First child", "IPM.Note");
  store.Top().Add("Twin", "IPM.Note").Add("Second child", "IPM.Note");
  QTreeWidget tree;
  Fill(tree, store);
  ASSERT_EQ(NodeCount(&tree), 5);
  EXPECT_EQ(NodeAt(&tree, 3)->parent(), NodeAt(&tree, 2));
  EXPECT_EQ(NodeAt(&tree, 5)->parent(), NodeAt(&tree, 4));
}

TEST(FolderNodes, ClassTableAndReferenceForm) {
  EXPECT_EQ(ImageSlotOfClass("IPM.Note"), 2);
  EXPECT_EQ(ImageSlotOfClass("IPM.Appointment"), 60);
  EXPECT_EQ(ImageSlotOfClass("IPM.Contact"), 61);
  EXPECT_EQ(ImageSlotOfClass("IPM.Journal"), 62);
  EXPECT_EQ(ImageSlotOfClass("IPM.StickyNote"), 67);
  EXPECT_EQ(ImageSlotOfClass("IPM.Task"), 58);
  EXPECT_EQ(ImageSlotOfClass("IPM.TASK"), -1);
  EXPECT_EQ(ImageSlotOfClass(""), -1);
  EXPECT_EQ(FolderReference("0000ABCD", "\\\\Personal Folders\\Inbox"), "0000ABCD#Personal Folders\\Inbox");
  EXPECT_EQ(PathLessFirstTwo("\\"), "");
}

}  // namespace
}  // namespace norvexa::source
