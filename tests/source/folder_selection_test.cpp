// The hand-over of the ticked folders into SelectedFolders.
#include "source/folder_selection.h"
#include "source/folders_tree.h"

#include <QTreeWidget>

#include <gtest/gtest.h>

namespace norvexa::source {
namespace {

TEST(FolderSelection, RootAndThreeFoldersWithSecondAndThirdTicked) {
  const std::vector<TickedNode> nodes = {{true, ""}, {false, "E1#S\\A"}, {true, "E2#S\\B"}, {true, "E3#S\\C"}};
  const auto folders = CollectSelectedFolders(nodes);
  EXPECT_EQ(folders, (std::vector<std::string>{"E2#S\\B", "E3#S\\C", "", "", ""}));
  EXPECT_EQ(CountSelectedFolders(folders), 2u);
}

TEST(FolderSelection, NothingOrOnlyTheRootTickedCollectsNothing) {
  EXPECT_EQ(CollectSelectedFolders({}), std::vector<std::string>(1));
  EXPECT_EQ(CountSelectedFolders(CollectSelectedFolders({{true, ""}})), 0u);
  const auto none = CollectSelectedFolders({{true, ""}, {false, "E1#S\\A"}, {false, "E2#S\\B"}});
  EXPECT_EQ(none.size(), 4u);
  EXPECT_EQ(CountSelectedFolders(none), 0u);
}

TEST(FolderSelection, TickedChildUnderUntickedParentReadFromTheWidget) {
  QTreeWidget tree;
  TreeWidgetSink sink(&tree, {}, {});
  sink.AddNode({"S", "S", 0, "", "", true});
  sink.AddNode({"\\\\S\\P", "P (0)", 2, "S", "E1#S\\P", false});
  sink.AddNode({"\\\\S\\P\\C", "C (0)", 2, "\\\\S\\P", "E2#S\\P\\C", false});
  sink.AddNode({"\\\\S\\Q", "Q (0)", 2, "S", "E3#S\\Q", false});
  NodeAt(&tree, 3)->setCheckState(0, Qt::Checked);
  NodeAt(&tree, 4)->setCheckState(0, Qt::PartiallyChecked);  // not "ticked"
  EXPECT_EQ(CollectSelectedFolders(ReadTicks(&tree)), (std::vector<std::string>{"E2#S\\P\\C", "", "", "", ""}));
}

TEST(FolderSelection, NoSixteenBitLimitOnTheCount) {
  std::vector<TickedNode> nodes(40001, TickedNode{true, ""});
  for (std::size_t i = 1; i < nodes.size(); ++i) nodes[i].reference = "E" + std::to_string(i) + "#S\\F";
  const auto folders = CollectSelectedFolders(nodes);
  EXPECT_EQ(CountSelectedFolders(folders), 40000u);
  EXPECT_EQ(folders[32767], "E32768#S\\F");
  EXPECT_EQ(folders[39999], "E40000#S\\F");
  EXPECT_EQ(folders[40000], "");
}

}  // namespace
}  // namespace norvexa::source
