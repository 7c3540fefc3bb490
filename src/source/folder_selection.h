// The hand-over of the ticked folders: which folder references go into
// SelectedFolders, read from the folder tree in node order.
#pragma once

#include <string>
#include <vector>

class QTreeWidget;

namespace norvexa::source {

// One node of the tree as the hand-over sees it.
struct TickedNode {
  bool ticked = false;
  std::string reference;
};

// The ticks and folder references of every node of TREE, in node order.
std::vector<TickedNode> ReadTicks(QTreeWidget* tree);

// The new contents of SelectedFolders for the nodes NODES (node 1 first):
// NODES.size() + 1 entries, the references of the ticked nodes from
// position 2 on (the root is never collected) at indices 0, 1, ... in node
// order, the rest empty. The count is not limited.
std::vector<std::string> CollectSelectedFolders(const std::vector<TickedNode>& nodes);

// Number of non-empty entries of FOLDERS.
std::size_t CountSelectedFolders(const std::vector<std::string>& folders);

}  // namespace norvexa::source
