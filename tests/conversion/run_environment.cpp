// What a real run needs in a test; see run_environment.h.
#include "run_environment.h"

#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QtGlobal>

#include <algorithm>
#include <functional>

namespace norvexa::testing {
namespace {

void Restore(const char* name, const QByteArray& old) {
  if (old.isNull()) {
    qunsetenv(name);
  } else {
    qputenv(name, old);
  }
}

}  // namespace

RunEnvironment::RunEnvironment(const std::vector<std::filesystem::path>& stores)
    : old_notes_(qgetenv("NORVEXA_NOTES_DATA")), old_profile_(qgetenv("NORVEXA_MAPI_PROFILE")) {
  notes::ProvisionClient(notes_data());
  qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString(notes_data().string()));
  std::string profile;
  for (const auto& store : stores) profile += store.string() + "\n";
  const std::filesystem::path profile_path = WriteFile(scratch_ / "mapi-profile", profile);
  qputenv("NORVEXA_MAPI_PROFILE", QByteArray::fromStdString(profile_path.string()));
  std::filesystem::create_directories(temp());
}

RunEnvironment::~RunEnvironment() {
  Restore("NORVEXA_NOTES_DATA", old_notes_);
  Restore("NORVEXA_MAPI_PROFILE", old_profile_);
}

std::string StoreIdOf(const std::filesystem::path& path) { return outlook::OpenStoreFile(path)->StoreID(); }

std::vector<std::string> FolderReferences(const std::filesystem::path& path) {
  std::vector<std::string> references;
  const std::unique_ptr<outlook::Store> store = outlook::OpenStoreFile(path);
  std::function<void(const outlook::Folder&)> walk = [&](const outlook::Folder& folder) {
    for (const auto& child : folder.Folders()) {
      references.push_back(child->EntryID() + "#" + child->FolderPath().substr(2));
      walk(*child);
    }
  };
  walk(*store->IPMRootFolder());
  return references;
}

std::string FolderReferenceOfKind(const std::filesystem::path& path, const std::string& message_class) {
  const std::unique_ptr<outlook::Store> store = outlook::OpenStoreFile(path);
  std::string found;
  std::function<void(const outlook::Folder&)> walk = [&](const outlook::Folder& folder) {
    for (const auto& child : folder.Folders()) {
      if (!found.empty()) return;
      if (child->DefaultMessageClass() == message_class && child->GetItems()->Count() > 0) {
        found = child->EntryID() + "#" + child->FolderPath().substr(2);
        return;
      }
      walk(*child);
    }
  };
  walk(*store->IPMRootFolder());
  return found;
}

std::size_t DocumentCount(const std::string& path) {
  notes::Session session;
  return session.GetDatabase("", path)->AllDocumentIds().size();
}

std::vector<std::string> SourceKeysOfConvertedItems(const std::filesystem::path& path) {
  std::vector<std::string> keys;
  const auto store = outlook::OpenStoreFile(path);
  std::function<void(const outlook::Folder&)> walk = [&](const outlook::Folder& folder) {
    for (const auto& child : folder.Folders()) {
      const std::string kind = child->DefaultMessageClass();
      if (kind == "IPM.Note" || kind == "IPM.Appointment" || kind == "IPM.Task" || kind == "IPM.Contact") {
        const auto items = child->GetItems();
        for (std::int64_t i = 1; i <= items->Count(); ++i) keys.push_back(items->GetItem(i)->SourceKey());
      }
      walk(*child);
    }
  };
  walk(*store->IPMRootFolder());
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::vector<std::string> SourceAttachmentHashes(const std::filesystem::path& path,
                                                const std::filesystem::path& scratch) {
  std::vector<std::string> hashes;
  const auto store = outlook::OpenStoreFile(path);
  std::function<void(const outlook::Folder&)> walk = [&](const outlook::Folder& folder) {
    for (const auto& child : folder.Folders()) {
      const std::string kind = child->DefaultMessageClass();
      if (kind == "IPM.Note" || kind == "IPM.Appointment" || kind == "IPM.Task") {
        const auto items = child->GetItems();
        for (std::int64_t i = 1; i <= items->Count(); ++i) {
          const auto attachments = items->GetItem(i)->GetAttachments();
          for (std::int64_t k = 1; k <= attachments->Count(); ++k) {
            attachments->GetAttachment(k)->SaveAsFile(scratch / "copy");
            hashes.push_back(QCryptographicHash::hash(QByteArray::fromStdString(ReadFile(scratch / "copy")),
                                                      QCryptographicHash::Sha256)
                                 .toHex()
                                 .toStdString());
          }
        }
      }
      walk(*child);
    }
  };
  walk(*store->IPMRootFolder());
  std::sort(hashes.begin(), hashes.end());
  return hashes;
}

}  // namespace norvexa::testing
