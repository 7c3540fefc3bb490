// What a real run needs in a test; see run_environment.h.
#include "run_environment.h"

#include "conversion/global/global.h"
#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QtGlobal>

#include <algorithm>
#include <functional>
#include <tuple>
#include <variant>

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

std::vector<std::string> DocumentSourceKeys(const std::string& path) {
  notes::Session session;
  const auto database = session.GetDatabase("", path);
  std::vector<std::string> keys;
  for (const std::string& unid : database->AllDocumentIds()) {
    const auto key = database->GetDocumentByUNID(unid)->GetItemValue(writers::kSourceKeyItem);
    keys.push_back(key && std::holds_alternative<std::string>(*key) ? std::get<std::string>(*key) : std::string());
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

void MakeMailDatabase(const std::string& path) {
  notes::Session session;
  const std::string name = session.GETENVIRONMENTSTRING("DefaultMailTemplate", true);
  session.GetDatabase("", name)->CreateCopy("", path);
}

bool DocumentSketch::operator<(const DocumentSketch& o) const {
  return std::tie(form, title, attachments) < std::tie(o.form, o.title, o.attachments);
}

bool DocumentSketch::operator==(const DocumentSketch& o) const {
  return form == o.form && title == o.title && attachments == o.attachments;
}

namespace {

std::string Sha256(const std::string& bytes) {
  return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256).toHex().toStdString();
}

std::string TextOf(const notes::Document& document, const std::string& item) {
  const auto value = document.GetItemValue(item);
  return value && std::holds_alternative<std::string>(*value) ? std::get<std::string>(*value) : std::string();
}

}  // namespace

std::map<std::string, std::vector<DocumentSketch>> ExpectedDocuments(const std::filesystem::path& path,
                                                                     const std::filesystem::path& scratch) {
  std::map<std::string, std::vector<DocumentSketch>> expected;
  const auto store = outlook::OpenStoreFile(path);
  std::function<void(const outlook::Folder&)> walk = [&](const outlook::Folder& folder) {
    for (const auto& child : folder.Folders()) {
      const std::string kind = child->DefaultMessageClass();
      const auto items = child->GetItems();
      for (std::int64_t i = 1; i <= items->Count(); ++i) {
        const auto item = items->GetItem(i);
        DocumentSketch d;
        if (kind == "IPM.Contact") {
          const bool group = item->MessageClass() == "IPM.DistList";
          d.form = group ? "Group" : "Person";
          d.title = group ? item->DLName() : item->Contact(outlook::ContactField::LastName);
          expected[group ? "Outlook Groups" : "Outlook Contacts"].push_back(d);
          continue;
        }
        if (kind != "IPM.Note" && kind != "IPM.Appointment" && kind != "IPM.Task") continue;
        d.form = kind == "IPM.Note" ? "Memo" : kind == "IPM.Appointment" ? "Appointment" : "Task";
        d.title = item->Subject();
        const auto attachments = item->GetAttachments();
        for (std::int64_t k = 1; k <= attachments->Count(); ++k) {
          attachments->GetAttachment(k)->SaveAsFile(scratch / "copy");
          d.attachments.push_back(Sha256(ReadFile(scratch / "copy")));
        }
        std::sort(d.attachments.begin(), d.attachments.end());
        expected[child->FolderPath().substr(2)].push_back(d);
      }
      walk(*child);
    }
  };
  walk(*store->IPMRootFolder());
  for (auto& [folder, documents] : expected) std::sort(documents.begin(), documents.end());
  return expected;
}

std::vector<DocumentSketch> ActualDocuments(const std::string& path, const std::string& folder) {
  notes::Session session;
  const auto database = session.GetDatabase("", path);
  std::vector<DocumentSketch> actual;
  for (const std::string& unid : database->FolderDocumentIds(folder)) {
    const auto document = database->GetDocumentByUNID(unid);
    DocumentSketch d;
    d.form = TextOf(*document, "Form");
    d.title = d.form == "Group"    ? TextOf(*document, "ListName")
              : d.form == "Person" ? TextOf(*document, "LastName")
                                   : TextOf(*document, "Subject");
    for (const auto& info : document->Attachments()) d.attachments.push_back(info.sha256);
    std::sort(d.attachments.begin(), d.attachments.end());
    actual.push_back(d);
  }
  std::sort(actual.begin(), actual.end());
  return actual;
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
