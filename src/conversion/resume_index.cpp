// What a Notes database already holds of a store; see resume_index.h.
#include "conversion/resume_index.h"

#include "writers/writer_context.h"
#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"

#include <memory>
#include <unordered_set>
#include <variant>

namespace norvexa::conversion {
namespace {

// The text of item NAME of DOCUMENT, "" when it has none or another kind.
std::string TextItem(const notes::Document& document, const std::string& name) {
  const std::optional<notes::ItemValue> value = document.GetItemValue(name);
  if (!value || !std::holds_alternative<std::string>(*value)) return std::string();
  return std::get<std::string>(*value);
}

}  // namespace

ResumeIndex::ResumeIndex(const std::string& path) : path_(path) {
  notes::Session session;
  const std::unique_ptr<notes::Database> database = session.GetDatabase("", path);
  if (!database->IsOpen()) throw notes::NotesError(path + ": no such Notes database");
  std::unordered_set<std::string> filed;
  for (const std::string& folder : database->FolderNames()) {
    for (const std::string& unid : database->FolderDocumentIds(folder)) filed.insert(unid);
  }
  for (const std::string& unid : database->AllDocumentIds()) {
    const std::unique_ptr<notes::Document> document = database->GetDocumentByUNID(unid);
    const std::string key = TextItem(*document, writers::kSourceKeyItem);
    if (key.empty()) continue;
    Entry entry{unid, TextItem(*document, "Form"), filed.count(unid) > 0};
    // Should a key be there twice (an earlier export without --resume), a
    // filed document stands for it.
    auto [at, inserted] = entries_.emplace(key, entry);
    if (!inserted && !at->second.filed && entry.filed) at->second = entry;
  }
}

bool ResumeIndex::Holds(const outlook::Item& item, const std::string& folder_name) {
  const std::string key = item.SourceKey();
  if (key.empty()) return false;
  const auto found = entries_.find(key);
  if (found == entries_.end()) return false;
  Entry& entry = found->second;
  if (!entry.filed) {
    const std::string folder = entry.form == "Person"  ? std::string("Outlook Contacts")
                               : entry.form == "Group" ? std::string("Outlook Groups")
                                                       : folder_name;
    notes::Session session;
    const std::unique_ptr<notes::Database> database = session.GetDatabase("", path_);
    database->GetDocumentByUNID(entry.unid)->PutInFolder(folder);
    entry.filed = true;
  }
  return true;
}

}  // namespace norvexa::conversion
