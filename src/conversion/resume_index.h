// What a Notes database already holds of a store, for finishing an export
// that ended early: the source key of every document (the text item
// writers::kSourceKeyItem that the writers store), so that an item whose
// document is there is not written a second time.
#pragma once

#include <string>
#include <unordered_map>

namespace norvexa::outlook {
class Item;
}

namespace norvexa::conversion {

class ResumeIndex {
 public:
  // Reads the source key, the form and the folders of every document of the
  // database at PATH through the Notes back-end. Throws notes::NotesError
  // when it cannot be opened or read.
  explicit ResumeIndex(const std::string& path);

  // Documents that carry a source key.
  std::size_t size() const { return entries_.size(); }

  // True when the database holds the document of ITEM (by its source key;
  // an item without a key is never held). A document that was saved but not
  // yet filed into its folder (the export ended between the two steps) is
  // filed first, into the folder its writer files it into: "Outlook
  // Contacts" for a Person, "Outlook Groups" for a Group, FOLDER_NAME for
  // the rest. Throws notes::NotesError when that filing fails.
  bool Holds(const outlook::Item& item, const std::string& folder_name);

 private:
  struct Entry {
    std::string unid;
    std::string form;
    bool filed = false;  // listed in at least one folder
  };
  std::string path_;
  std::unordered_map<std::string, Entry> entries_;
};

}  // namespace norvexa::conversion
