// The hand-over of the ticked folders: which folder references go into
// SelectedFolders, read from the folder tree in node order.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class QTreeWidget;

namespace norvexa::source {

// One node of the tree as the hand-over sees it.
struct TickedNode {
  bool ticked = false;
  std::string reference;
  std::int64_t item_count = 0;  // the count the node shows
};

// The ticks and folder references of every node of TREE, in node order.
std::vector<TickedNode> ReadTicks(QTreeWidget* tree);

// The new contents of SelectedFolders for the nodes NODES (node 1 first):
// NODES.size() + 1 entries, the references of the ticked nodes from
// position 2 on (the root is never collected) at indices 0, 1, ... in node
// order, the rest empty. The count is not limited.
std::vector<std::string> CollectSelectedFolders(const std::vector<TickedNode>& nodes);

// The item counts the tree showed for the ticked nodes of NODES (the root
// never), by folder reference: what the run reports as not copied when such
// a folder cannot be read.
std::map<std::string, std::int64_t> CollectSelectedCounts(const std::vector<TickedNode>& nodes);

// Number of non-empty entries of FOLDERS.
std::size_t CountSelectedFolders(const std::vector<std::string>& folders);

}  // namespace norvexa::source
