// The nodes of the folder tree, worked out from a store.
#include "source/model/folder_nodes.h"

#include <cstdint>

namespace norvexa::source {

int ImageSlotOfClass(const std::string& class_name) {
  if (class_name == "IPM.Note") return kMailImage;
  if (class_name == "IPM.Appointment") return kCalendarImage;
  if (class_name == "IPM.Contact") return kContactImage;
  if (class_name == "IPM.Journal") return kJournalImage;
  if (class_name == "IPM.StickyNote") return kNoteImage;
  if (class_name == "IPM.Task") return kTaskImage;
  return -1;
}

std::string PathLessFirstTwo(const std::string& path) { return path.size() > 2 ? path.substr(2) : std::string(); }

std::string FolderReference(const std::string& entry_id, const std::string& path) {
  return entry_id + "#" + PathLessFirstTwo(path);
}

FolderNode RootNode(const outlook::Store& store) {
  FolderNode root;
  root.key = store.DisplayName();
  root.text = root.key;
  root.image = kStoreImage;
  root.has_items = true;
  return root;
}

FolderTreeWalker::FolderTreeWalker(FolderNodeSink& sink) : sink_(sink) {}

std::string FolderTreeWalker::AddFolderNode(const outlook::Folder& f, const std::string& parent_key) {
  // The count is read first, as every node needs it; an unreadable count
  // ends the walk like any other failed read.
  const std::int64_t count = f.GetItems()->Count();
  const int image = ImageSlotOfClass(f.DefaultMessageClass());
  if (image < 0) return parent_key;

  FolderNode node;
  node.key = f.FolderPath();
  node.text = f.Name() + " (" + std::to_string(count) + ")";
  node.image = image;
  node.parent_key = parent_key;
  node.reference = FolderReference(f.EntryID(), node.key);
  node.has_items = count > 0;
  node.item_count = count;
  sink_.AddNode(node);
  return node.key;
}

void FolderTreeWalker::AddTopLevelFolders(const outlook::Folder& top, const std::string& root_key) {
  for (const auto& f : top.Folders()) {
    const std::string key = AddFolderNode(*f, root_key);
    GetSubFolders(*f, key);
  }
}

void FolderTreeWalker::GetSubFolders(const outlook::Folder& folder, const std::string& parent_key) {
  for (const auto& s : folder.Folders()) {
    const std::string key = AddFolderNode(*s, parent_key);
    GetSubFolders(*s, key);
    sink_.Yield();
  }
}

}  // namespace norvexa::source
