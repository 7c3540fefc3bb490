// A local Notes client provisioned in a scratch folder for one test, found
// through NORVEXA_NOTES_DATA while the test runs; and small readers of the
// databases the code under test wrote.
#pragma once

#include "platform/notes/notes.h"
#include "support/fixtures.h"

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace norvexa::testing {

class NotesClient {
 public:
  NotesClient() : dir_(scratch_ / "client") {
    had_previous_ = qEnvironmentVariableIsSet("NORVEXA_NOTES_DATA");
    previous_ = qgetenv("NORVEXA_NOTES_DATA");
    notes::ProvisionClient(dir_);
    qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString(dir_.string()));
  }
  ~NotesClient() {
    if (had_previous_) {
      qputenv("NORVEXA_NOTES_DATA", previous_);
    } else {
      qunsetenv("NORVEXA_NOTES_DATA");
    }
  }
  NotesClient(const NotesClient&) = delete;
  NotesClient& operator=(const NotesClient&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  std::filesystem::path ini() const { return dir_ / "notes.ini"; }

  // A scratch folder for the test's own files, removed with the client.
  std::filesystem::path Scratch(const std::string& name) const {
    std::filesystem::create_directories(scratch_ / name);
    return scratch_ / name;
  }

  // Sets NAME=VALUE in notes.ini, replacing the line of that key (matched
  // without regard to case) or appending one.
  void SetSetting(const std::string& name, const std::string& value) const {
    std::ifstream in(ini());
    std::vector<std::string> lines;
    bool replaced = false;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t eq = line.find('=');
      if (eq != std::string::npos && Lower(line.substr(0, eq)) == Lower(name)) {
        line = name + "=" + value;
        replaced = true;
      }
      lines.push_back(line);
    }
    in.close();
    if (!replaced) lines.push_back(name + "=" + value);
    std::ofstream out(ini(), std::ios::trunc);
    for (const std::string& line : lines) out << line << "\n";
  }

  // The value of setting NAME as a session reads it.
  std::string Setting(const std::string& name) const {
    notes::Session session;
    return session.GETENVIRONMENTSTRING(name, true);
  }

  // Makes a new mail database at PATH from the client's mail template.
  void MakeMailDatabase(const std::filesystem::path& path) const {
    notes::Session session;
    auto mail_template = session.GetDatabase("", session.GETENVIRONMENTSTRING("DefaultMailTemplate", true));
    mail_template->CreateCopy("", path.string());
  }

 private:
  static std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
  }

  ScratchDir scratch_;
  std::filesystem::path dir_;
  bool had_previous_ = false;
  QByteArray previous_;
};

// A database opened for reading back, with the session it needs.
struct OpenedDatabase {
  explicit OpenedDatabase(const std::filesystem::path& path)
      : session(std::make_unique<notes::Session>()), db(session->GetDatabase("", path.string())) {}
  ~OpenedDatabase() {
    db.reset();
    session.reset();
  }

  // Every saved document, in save order.
  std::vector<std::unique_ptr<notes::Document>> Documents() {
    std::vector<std::unique_ptr<notes::Document>> docs;
    for (const std::string& unid : db->AllDocumentIds()) docs.push_back(db->GetDocumentByUNID(unid));
    return docs;
  }

  // The one saved document; fails the test (and returns null) otherwise.
  std::unique_ptr<notes::Document> OnlyDocument() {
    auto docs = Documents();
    if (docs.size() != 1) {
      ADD_FAILURE() << "expected one document, found " << docs.size();
      return nullptr;
    }
    return std::move(docs.front());
  }

  std::unique_ptr<notes::Session> session;
  std::unique_ptr<notes::Database> db;
};

// Item NAME of DOC as T; fails the test when it is missing or of another type.
template <class T>
T ItemAs(const notes::Document& doc, const std::string& name) {
  const std::optional<notes::ItemValue> value = doc.GetItemValue(name);
  if (!value) {
    ADD_FAILURE() << "item " << name << " is missing";
    return T();
  }
  if (!std::holds_alternative<T>(*value)) {
    ADD_FAILURE() << "item " << name << " has another type (index " << value->index() << ")";
    return T();
  }
  return std::get<T>(*value);
}

// The item names of DOC in the order first put, without the names in SKIP.
inline std::vector<std::string> ItemNamesWithout(const notes::Document& doc, const std::vector<std::string>& skip) {
  std::vector<std::string> names;
  for (const std::string& name : doc.ItemNames()) {
    if (std::find(skip.begin(), skip.end(), name) == skip.end()) names.push_back(name);
  }
  return names;
}

// The decoded text of the first part of DOC's body (in tree order) whose
// content type is TYPE ("text/plain"); fails the test when there is none.
inline std::string BodyPartText(notes::Document& doc, const std::string& type) {
  std::vector<std::unique_ptr<notes::MIMEEntity>> pending;
  if (auto top = doc.GetMIMEEntity("Body")) pending.push_back(std::move(top));
  while (!pending.empty()) {
    std::unique_ptr<notes::MIMEEntity> part = std::move(pending.back());
    pending.pop_back();
    if (part->ContentType() + "/" + part->ContentSubType() == type) return part->GetContentAsText();
    if (auto next = part->GetNextSibling()) pending.push_back(std::move(next));
    if (auto child = part->GetFirstChildEntity()) pending.push_back(std::move(child));
  }
  ADD_FAILURE() << "the body has no " << type << " part";
  return std::string();
}

}  // namespace norvexa::testing
