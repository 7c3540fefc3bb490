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
  sink.AddNode({"S", "S", 0, "", "", true, 0});
  sink.AddNode({"\\\\S\\P", "P (0)", 2, "S", "E1#S\\P", false, 0});
  sink.AddNode({"\\\\S\\P\\C", "C (40000)", 2, "\\\\S\\P", "E2#S\\P\\C", true, 40000});
  sink.AddNode({"\\\\S\\Q", "Q (3)", 2, "S", "E3#S\\Q", true, 3});
  NodeAt(&tree, 3)->setCheckState(0, Qt::Checked);
  NodeAt(&tree, 4)->setCheckState(0, Qt::PartiallyChecked);  // not "ticked"
  const std::vector<TickedNode> ticks = ReadTicks(&tree);
  EXPECT_EQ(CollectSelectedFolders(ticks), (std::vector<std::string>{"E2#S\\P\\C", "", "", "", ""}));
  // The counts the tree showed travel with the ticked folders only.
  EXPECT_EQ(CollectSelectedCounts(ticks), (std::map<std::string, std::int64_t>{{"E2#S\\P\\C", 40000}}));
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
