// What a real run needs in a test: a provisioned Notes client, an Outlook
// profile naming the store files, and the folder references the folder tree
// would hand over.
#pragma once

#include "support/fixtures.h"

#include <QByteArray>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace norvexa::testing {

// A Notes client provisioned in a scratch folder and named by
// NORVEXA_NOTES_DATA, and an Outlook profile listing STORES named by
// NORVEXA_MAPI_PROFILE, both for the object's lifetime.
class RunEnvironment {
 public:
  explicit RunEnvironment(const std::vector<std::filesystem::path>& stores = {});
  ~RunEnvironment();
  RunEnvironment(const RunEnvironment&) = delete;
  RunEnvironment& operator=(const RunEnvironment&) = delete;

  const ScratchDir& scratch() const { return scratch_; }
  std::filesystem::path notes_data() const { return scratch_ / "notes"; }
  std::filesystem::path temp() const { return scratch_ / "tmp"; }

 private:
  ScratchDir scratch_;
  QByteArray old_notes_, old_profile_;
};

// The StoreID of the store file at PATH.
std::string StoreIdOf(const std::filesystem::path& path);

// The folder references ("entry id#path without the leading \\") of every
// folder below the top of the store at PATH, in tree order.
std::vector<std::string> FolderReferences(const std::filesystem::path& path);

// The reference of the first folder of the store at PATH whose default
// message class is MESSAGE_CLASS and which holds at least one item; "" when
// none.
std::string FolderReferenceOfKind(const std::filesystem::path& path, const std::string& message_class);

// Universal ids of the documents in the Notes database at PATH.
std::size_t DocumentCount(const std::string& path);

// The source keys of the items of the store at PATH that a run converts
// (those of mail, calendar, task and contact folders), sorted.
std::vector<std::string> SourceKeysOfConvertedItems(const std::filesystem::path& path);

// The source keys of every document of the Notes database at PATH, sorted
// ("" for a document without one).
std::vector<std::string> DocumentSourceKeys(const std::string& path);

// A new, empty mail database at PATH from the client's mail template.
void MakeMailDatabase(const std::string& path);

// One document as an export should leave it: its form, its subject (the
// last name of a Person, the list name of a Group) and the SHA-256 hashes of
// its attachments, sorted.
struct DocumentSketch {
  std::string form;
  std::string title;
  std::vector<std::string> attachments;
  bool operator<(const DocumentSketch& o) const;
  bool operator==(const DocumentSketch& o) const;
};

// What the store at PATH should become, per Notes folder (the Outlook
// folder's path; "Outlook Contacts" and "Outlook Groups" for contacts and
// lists): its documents, sorted. SCRATCH is a folder for copies.
std::map<std::string, std::vector<DocumentSketch>> ExpectedDocuments(const std::filesystem::path& path,
                                                                     const std::filesystem::path& scratch);

// The documents listed in FOLDER of the Notes database at PATH, sorted.
std::vector<DocumentSketch> ActualDocuments(const std::string& path, const std::string& folder);

// SHA-256 hashes (hex) of every attachment of the mail, calendar and task
// items of the store at PATH, sorted; SCRATCH is a folder for a copy.
std::vector<std::string> SourceAttachmentHashes(const std::filesystem::path& path,
                                                const std::filesystem::path& scratch);

}  // namespace norvexa::testing
