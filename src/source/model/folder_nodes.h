// The nodes of the folder tree, worked out from a store without any widget:
// which folders get a node, with which key, text, image slot, parent and
// folder reference, in pre-order. A sink receives the nodes one by one so
// that the widget side can add them as they come and keep repainting.
#pragma once

#include "platform/outlook/outlook.h"

#include <cstdint>
#include <string>

namespace norvexa::source {

// Image slots of the small-icon list that the tree uses.
inline constexpr int kStoreImage = 0;
inline constexpr int kMailImage = 2;
inline constexpr int kTaskImage = 58;
inline constexpr int kCalendarImage = 60;
inline constexpr int kContactImage = 61;
inline constexpr int kJournalImage = 62;
inline constexpr int kNoteImage = 67;

// One node of the folder tree.
struct FolderNode {
  std::string key;         // root: store display name; folder: its path
  std::string text;        // root: store display name; folder: "Name (count)"
  int image = kStoreImage;  // slot of the small-icon list
  std::string parent_key;  // "" for the root
  std::string reference;   // "" for the root; else "entry id#path less 2"
  bool has_items = true;   // root: set; folder: item count > 0
  std::int64_t item_count = 0;  // root: 0; folder: its item count as shown
};

// The image slot of a folder whose DefaultMessageClass is CLASS_NAME, or -1
// when folders of that class get no node. The comparison is exact and
// case-sensitive.
int ImageSlotOfClass(const std::string& class_name);

// PATH from its third character on ("" when it is shorter).
std::string PathLessFirstTwo(const std::string& path);

// The folder reference of a folder: ENTRY_ID, "#", PATH less its first two
// characters. A "#" inside the path is kept as it is.
std::string FolderReference(const std::string& entry_id, const std::string& path);

// Receives the nodes of a fill in the order they are made (pre-order).
class FolderNodeSink {
 public:
  virtual ~FolderNodeSink() = default;

  // Adds NODE under the node keyed NODE.parent_key (none for the root).
  virtual void AddNode(const FolderNode& node) = 0;

  // Called at the fill's fixed points (after every sub-folder, and around
  // the store session of a fill) so that a window can keep repainting.
  virtual void Yield() {}
};

// The whole folder tree that a fill replaces: besides the nodes, the steps
// around them. A fill calls RemoveAllNodes, adds the root (then RootAdded)
// and the folder nodes, and FillCompleted once every node is there.
class FolderTreeSink : public FolderNodeSink {
 public:
  // Removes every node. A fill calls it only once its store is open, so a
  // store that cannot be found leaves the tree as it was.
  virtual void RemoveAllNodes() = 0;

  // Called once the root node has been added, before any folder node.
  virtual void RootAdded() {}

  // Called when every node has been added: ticks every node, the root
  // included, and shows the whole tree. Never called after a failed read,
  // so the nodes added until then stay unticked.
  virtual void FillCompleted() = 0;
};

// The root node of STORE: key and text its display name, image slot 0, no
// parent, empty folder reference. Throws OutlookError when the name cannot
// be read.
FolderNode RootNode(const outlook::Store& store);

// Walks a store's folders and hands a node for every supported folder to a
// sink. Unsupported folders get no node, but their sub-folders are still
// visited; such a sub-folder's node goes under the nearest ancestor that
// has a node (the root for a top-level chain), so that it can be shown and
// ticked. Every store read may throw OutlookError; the walk then ends there
// and the nodes already handed over stay with the sink.
class FolderTreeWalker {
 public:
  explicit FolderTreeWalker(FolderNodeSink& sink);

  // Every folder directly below TOP, in the store's order: its node under
  // ROOT_KEY, then all its sub-folders (GetSubFolders).
  void AddTopLevelFolders(const outlook::Folder& top, const std::string& root_key);

  // A node for every supported sub-folder of FOLDER at any depth, the
  // direct ones under PARENT_KEY (FOLDER's own key when it has a node, else
  // the key of its nearest ancestor with a node). Yields after every
  // sub-folder.
  void GetSubFolders(const outlook::Folder& folder, const std::string& parent_key);

 private:
  // Hands F's node to the sink under PARENT_KEY when F's class is supported.
  // Returns the key under which F's sub-folders go: F's path when it got a
  // node, else PARENT_KEY.
  std::string AddFolderNode(const outlook::Folder& f, const std::string& parent_key);

  FolderNodeSink& sink_;
};

}  // namespace norvexa::source
