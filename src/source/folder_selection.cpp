// The hand-over of the ticked folders.
#include "source/folder_selection.h"

#include "source/folders_tree.h"

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace norvexa::source {

std::vector<TickedNode> ReadTicks(QTreeWidget* tree) {
  std::vector<TickedNode> nodes;
  for (QTreeWidgetItemIterator it(tree); *it; ++it) {
    nodes.push_back({NodeTicked(*it), NodeFolderReference(*it), NodeItemCount(*it)});
  }
  return nodes;
}

std::vector<std::string> CollectSelectedFolders(const std::vector<TickedNode>& nodes) {
  std::vector<std::string> folders(nodes.size() + 1);
  std::size_t count = 0;  // as wide as the tree can be
  for (std::size_t position = 2; position <= nodes.size(); ++position) {
    const TickedNode& node = nodes[position - 1];
    if (node.ticked) folders[count++] = node.reference;
  }
  return folders;
}

std::map<std::string, std::int64_t> CollectSelectedCounts(const std::vector<TickedNode>& nodes) {
  std::map<std::string, std::int64_t> counts;
  for (std::size_t position = 2; position <= nodes.size(); ++position) {
    const TickedNode& node = nodes[position - 1];
    if (node.ticked && !node.reference.empty()) counts[node.reference] = node.item_count;
  }
  return counts;
}

std::size_t CountSelectedFolders(const std::vector<std::string>& folders) {
  std::size_t count = 0;
  for (const std::string& f : folders) count += f.empty() ? 0 : 1;
  return count;
}

}  // namespace norvexa::source
