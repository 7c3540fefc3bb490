// What a real run needs in a test: a provisioned Notes client, an Outlook
// profile naming the store files, and the folder references the folder tree
// would hand over.
#pragma once

#include "support/fixtures.h"

#include <QByteArray>

#include <filesystem>
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

// SHA-256 hashes (hex) of every attachment of the mail, calendar and task
// items of the store at PATH, sorted; SCRATCH is a folder for a copy.
std::vector<std::string> SourceAttachmentHashes(const std::filesystem::path& path,
                                                const std::filesystem::path& scratch);

}  // namespace norvexa::testing
