// The check-box folder tree on the widget side: a QTreeWidget used as the
// tree control of the main window, with a key, an image slot, a folder
// reference and a has-items flag per node, and nodes numbered from 1 in
// the order they were added (pre-order).
#pragma once

#include "source/model/folder_nodes.h"

#include <QIcon>

#include <functional>
#include <string>
#include <unordered_map>

class QTreeWidget;
class QTreeWidgetItem;

namespace norvexa::source {

// Looks up the image of a slot of the small-icon list.
using ImageLookup = std::function<QIcon(int slot)>;

// Sets TREE up as the folder tree: one column headed "Mailbox Folders",
// check boxes that tick independently of parents and children, small icons.
// The column is kept as wide as its widest node (FitColumnToNodes) as
// nodes are expanded and collapsed, so a node that does not fit scrolls
// sideways instead of losing the end of its text, the item count.
void SetUpFoldersTree(QTreeWidget* tree);

// Widens TREE's column to its widest shown node, or to the width of the
// tree when every node fits. Call it after a fill.
void FitColumnToNodes(QTreeWidget* tree);

// Removes every node of TREE.
void RemoveAllNodes(QTreeWidget* tree);

// Number of nodes in TREE, at every depth.
int NodeCount(QTreeWidget* tree);

// The node at INDEX, counted from 1 in pre-order (the order of adding);
// nullptr when INDEX is out of range.
QTreeWidgetItem* NodeAt(QTreeWidget* tree, int index);

// Ticks every node, the root included.
void TickAllNodes(QTreeWidget* tree);

// Per-node attributes.
std::string NodeKey(const QTreeWidgetItem* node);
std::string NodeFolderReference(const QTreeWidgetItem* node);
int NodeImageSlot(const QTreeWidgetItem* node);
bool NodeHasItems(const QTreeWidgetItem* node);
// The item count the node shows (0 for the root).
std::int64_t NodeItemCount(const QTreeWidgetItem* node);
bool NodeTicked(const QTreeWidgetItem* node);

// A fill of a tree widget. A node whose parent key is not in the tree goes
// to the top level. When two folders share a path, children go under the
// one added last, which is their own parent in pre-order. Nodes are added
// unticked; the root is shown open as soon as it is there, and a completed
// fill ticks every node and opens the whole tree, its column as wide as its
// widest node.
class TreeWidgetSink : public FolderTreeSink {
 public:
  // IMAGES gives each node's picture (none when empty); YIELD runs at every
  // yield point (the message loop in the program; nothing when empty).
  TreeWidgetSink(QTreeWidget* tree, ImageLookup images, std::function<void()> yield);

  void RemoveAllNodes() override;
  void AddNode(const FolderNode& node) override;
  void RootAdded() override;
  void FillCompleted() override;
  void Yield() override;

 private:
  QTreeWidget* tree_;
  ImageLookup images_;
  std::function<void()> yield_;
  std::unordered_map<std::string, QTreeWidgetItem*> by_key_;
};

}  // namespace norvexa::source
