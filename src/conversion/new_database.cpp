// The new databases of a run; see new_database.h.
#include "conversion/new_database.h"

#include "conversion/global/global.h"
#include "conversion/naming.h"
#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"
#include "platform/system/system_services.h"
#include "platform/system/text.h"
#include "target/free_stamp.h"

#include <algorithm>
#include <exception>

namespace norvexa::conversion {
namespace {

using Step = StartFailure::Step;

// FOLDER without its trailing SEPARATOR, as the folder-making call is given it.
std::string WithoutTrailing(std::string folder, const std::string& separator) {
  if (folder.size() >= separator.size() &&
      folder.compare(folder.size() - separator.size(), separator.size(), separator) == 0) {
    folder.resize(folder.size() - separator.size());
  }
  return folder;
}

NewDatabase Refused(Step step, const std::string& path = std::string(), const std::string& detail = std::string()) {
  NewDatabase result;
  result.failure = StartFailure{step, path, detail, 0, 0, std::nullopt};
  return result;
}

// The store's file, which names the new database; a refusal when there is none.
std::optional<NewDatabase> StoreFile(const outlook::Store& store, std::string& pst_path) {
  try {
    pst_path = store.PstPath();
  } catch (const std::exception& e) {
    return Refused(Step::StoreFileUnknown, std::string(), e.what());
  }
  if (pst_path.empty()) return Refused(Step::StoreWithoutFile);
  return std::nullopt;
}

// Calls CreateNSF for each free second from NOW on until it makes the
// databases or fails for another reason than a taken name.
NewDatabase CreateUnderFreeName(const std::string& output_folder, const std::string& pst_path, const QDateTime& now,
                                const std::string& separator, target::SaveProgress& progress) {
  const NewDatabaseNames first = ComposeNewDatabaseNames(output_folder, pst_path, now, separator);
  target::Creation creation;
  std::string tried;
  const target::Attempt made = target::WithFreeStamp(
      now,
      [&](const QDateTime& when) { return ComposeNewDatabaseNames(output_folder, pst_path, when, separator).nsf_path; },
      [&](const std::string& path) {
        creation = target::CreateNSF(progress, path, first.folder);
        if (!creation.failure) return target::Attempt::Made;
        return creation.failure->kind == target::CreationFailure::Kind::Taken ? target::Attempt::Taken
                                                                              : target::Attempt::Failed;
      },
      tried);
  NewDatabase result;
  if (made == target::Attempt::Made) {
    result.paths = creation.paths;
    if (result.paths.mail_database != first.nsf_path) result.taken_name = first.nsf_path;
    return result;
  }
  if (made == target::Attempt::Taken) {
    creation.failure = target::CreationFailure{target::CreationFailure::Kind::Taken, tried,
                                               "every name for an hour of stamps is taken"};
  }
  result.failure = StartFailure{Step::DatabaseNotMade, creation.failure->path, creation.failure->reason, 0, 0,
                                creation.failure};
  return result;
}

}  // namespace

NewDatabase MakeNewDatabase(const std::string& output_folder, const outlook::Store& store,
                            target::SaveProgress& progress) {
  if (sys::Trim(output_folder).empty()) return Refused(Step::NoOutputFolder);
  std::string pst_path;
  if (std::optional<NewDatabase> refused = StoreFile(store, pst_path)) return *refused;

  const std::string separator = sys::PathSeparator().toStdString();
  const QDateTime now = sys::Services().Now();
  const NewDatabaseNames names = ComposeNewDatabaseNames(output_folder, pst_path, now, separator);
  const std::string folder = WithoutTrailing(names.folder, separator);
  // The address book is "names" + the date stamp (at most 19 characters)
  // + ".nsf" in the same folder.
  const std::size_t longest = std::max(names.nsf_path.size(), names.folder.size() + 5 + 19 + 4);
  if (longest > notes::kMaxDatabasePathBytes) {
    NewDatabase refused = Refused(Step::PathTooLong, folder);
    refused.failure->bytes = longest;
    refused.failure->limit = notes::kMaxDatabasePathBytes;
    return refused;
  }
  if (!Global::EnsureFolderExists(folder)) return Refused(Step::FolderNotMade, folder);
  progress.Yield();
  return CreateUnderFreeName(output_folder, pst_path, now, separator, progress);
}

}  // namespace norvexa::conversion
