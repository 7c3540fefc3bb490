// The check-box folder tree on the widget side.
#include "source/folders_tree.h"

#include "widgets/elided_label.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>

namespace norvexa::source {
namespace {

// Item data roles of the per-node attributes.
constexpr int kKeyRole = Qt::UserRole;
constexpr int kReferenceRole = Qt::UserRole + 1;
constexpr int kImageRole = Qt::UserRole + 2;
constexpr int kHasItemsRole = Qt::UserRole + 3;
constexpr int kItemCountRole = Qt::UserRole + 4;

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void SetUpFoldersTree(QTreeWidget* tree) {
  tree->setColumnCount(1);
  tree->setHeaderLabels({"Mailbox Folders"});
  tree->setIconSize(QSize(16, 16));
  tree->setUniformRowHeights(true);
  // The column fills the tree and grows past it for a wide node; the tree
  // then scrolls sideways. Every shown node is measured (a folder tree has
  // hundreds of nodes, not millions).
  tree->header()->setStretchLastSection(true);
  tree->header()->setResizeContentsPrecision(-1);
  tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  QObject::connect(tree, &QTreeWidget::itemExpanded, tree, [tree] { FitColumnToNodes(tree); });
  QObject::connect(tree, &QTreeWidget::itemCollapsed, tree, [tree] { FitColumnToNodes(tree); });
}

void FitColumnToNodes(QTreeWidget* tree) {
  // A stretched column is never narrower than the header's minimum size.
  // (QTreeView hides the measure that every item view offers.)
  const QAbstractItemView* view = tree;
  const int widest = view->sizeHintForColumn(0);
  tree->header()->setMinimumSectionSize(std::max(widest, tree->header()->defaultSectionSize() / 2));
}

void RemoveAllNodes(QTreeWidget* tree) { tree->clear(); }

int NodeCount(QTreeWidget* tree) {
  int count = 0;
  for (QTreeWidgetItemIterator it(tree); *it; ++it) ++count;
  return count;
}

QTreeWidgetItem* NodeAt(QTreeWidget* tree, int index) {
  if (index < 1) return nullptr;
  int position = 0;
  for (QTreeWidgetItemIterator it(tree); *it; ++it) {
    if (++position == index) return *it;
  }
  return nullptr;
}

void TickAllNodes(QTreeWidget* tree) {
  for (QTreeWidgetItemIterator it(tree); *it; ++it) (*it)->setCheckState(0, Qt::Checked);
}

std::string NodeKey(const QTreeWidgetItem* node) { return node->data(0, kKeyRole).toString().toStdString(); }

std::string NodeFolderReference(const QTreeWidgetItem* node) {
  return node->data(0, kReferenceRole).toString().toStdString();
}

int NodeImageSlot(const QTreeWidgetItem* node) { return node->data(0, kImageRole).toInt(); }

bool NodeHasItems(const QTreeWidgetItem* node) { return node->data(0, kHasItemsRole).toBool(); }

std::int64_t NodeItemCount(const QTreeWidgetItem* node) { return node->data(0, kItemCountRole).toLongLong(); }

bool NodeTicked(const QTreeWidgetItem* node) { return node->checkState(0) == Qt::Checked; }

TreeWidgetSink::TreeWidgetSink(QTreeWidget* tree, ImageLookup images, std::function<void()> yield)
    : tree_(tree), images_(std::move(images)), yield_(std::move(yield)) {}

void TreeWidgetSink::RemoveAllNodes() {
  source::RemoveAllNodes(tree_);
  by_key_.clear();
}

void TreeWidgetSink::AddNode(const FolderNode& node) {
  QTreeWidgetItem* parent = nullptr;
  if (!node.parent_key.empty()) {
    const auto found = by_key_.find(node.parent_key);
    if (found != by_key_.end()) parent = found->second;
  }
  // The parent (or the tree) owns the new item.
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
  item->setText(0, Text(node.text));
  item->setToolTip(0, widgets::PlainToolTip(Text(node.text)));
  item->setData(0, kKeyRole, Text(node.key));
  item->setData(0, kReferenceRole, Text(node.reference));
  item->setData(0, kImageRole, node.image);
  item->setData(0, kHasItemsRole, node.has_items);
  item->setData(0, kItemCountRole, QVariant::fromValue<qint64>(node.item_count));
  if (images_) item->setIcon(0, images_(node.image));
  // Unticked until the fill ends; ticks are independent of the subtree.
  item->setFlags((item->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsAutoTristate);
  item->setCheckState(0, Qt::Unchecked);
  by_key_[node.key] = item;
}

void TreeWidgetSink::RootAdded() {
  if (QTreeWidgetItem* root = NodeAt(tree_, 1)) root->setExpanded(true);
}

void TreeWidgetSink::FillCompleted() {
  TickAllNodes(tree_);
  tree_->expandAll();
  FitColumnToNodes(tree_);
}

void TreeWidgetSink::Yield() {
  if (yield_) yield_();
}

}  // namespace norvexa::source
