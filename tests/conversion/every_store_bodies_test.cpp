// Over every shared store file and the generated mailboxes: each document
// carries what its Outlook item had. The HTML part shows the text of the
// item's HTML body (or of the HTML its RTF body carries or is converted
// into), the plain part is the plain body, pictures named by cid: are
// there, unread items are unread, message ids and the header block arrive
// as stored, and contacts kept in mail folders are Person documents.
#include "conversion/formatted_body.h"
#include "windows/frm_save.h"
#include "conversion/item_kind.h"
#include "conversion/global/global.h"
#include "description.h"
#include "mailbox_writer.h"
#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"
#include "platform/outlook/rtf_compressed.h"
#include "platform/outlook/rtf_html.h"
#include "run_environment.h"
#include "support/fixtures.h"
#include "support/html_text.h"
#include "support/scripted_services.h"

#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

namespace norvexa::conversion {
namespace {

namespace fs = std::filesystem;
using windows::frmSave;
const std::string S = sys::PathSeparator().toStdString();

// Calls VISIT for every item of every folder of the store at PATH.
void EachItem(const fs::path& path, const std::function<void(const outlook::Item&)>& visit) {
  const auto store = outlook::OpenStoreFile(path);
  std::vector<std::unique_ptr<outlook::Folder>> pending = store->IPMRootFolder()->Folders();
  while (!pending.empty()) {
    std::unique_ptr<outlook::Folder> folder = std::move(pending.back());
    pending.pop_back();
    const auto items = folder->GetItems();
    for (std::int64_t i = 1; i <= items->Count(); ++i) {
      std::unique_ptr<outlook::Item> item;
      try {
        item = items->GetItem(i);
      } catch (const outlook::OutlookError&) {
        continue;  // an item the store cannot give is reported by the run
      }
      visit(*item);
    }
    for (auto& sub : folder->Folders()) pending.push_back(std::move(sub));
  }
}

// The parts of DOC's body in tree order.
std::vector<std::unique_ptr<notes::MIMEEntity>> Parts(notes::Document& doc) {
  std::vector<std::unique_ptr<notes::MIMEEntity>> parts, pending;
  if (auto top = doc.GetMIMEEntity("Body")) pending.push_back(std::move(top));
  while (!pending.empty()) {
    auto part = std::move(pending.back());
    pending.pop_back();
    if (auto next = part->GetNextSibling()) pending.push_back(std::move(next));
    if (auto child = part->GetFirstChildEntity()) pending.push_back(std::move(child));
    parts.push_back(std::move(part));
  }
  return parts;
}

const notes::MIMEEntity* PartOfType(const std::vector<std::unique_ptr<notes::MIMEEntity>>& parts,
                                    const std::string& type) {
  for (const auto& p : parts) {
    if (p->ContentType() + "/" + p->ContentSubType() == type) return p.get();
  }
  return nullptr;
}

// The HTML an item's formatted body has: PR_HTML, else what its RTF gives.
std::string SourceHtml(const outlook::Item& item) {
  const std::string html = item.HtmlBody();
  if (!html.empty()) return html;
  const std::string rtf = item.CompressedRtf();
  if (rtf.empty()) return std::string();
  return outlook::rtf::ToHtml(outlook::rtf::Decompress(rtf)).html;
}

std::string Text(const notes::Document& doc, const std::string& name) {
  const auto value = doc.GetItemValue(name);
  return value && std::holds_alternative<std::string>(*value) ? std::get<std::string>(*value) : std::string();
}

struct Tally {
  int formatted = 0, unread = 0, headers = 0, ids = 0, contacts_in_mail = 0;
};

// Exports the store at PST into a new database and checks every document
// against its item; adds what it checked to TALLY.
void ExportAndCompare(const fs::path& pst, Tally& tally) {
  SCOPED_TRACE(pst.filename().string());
  testing::RunEnvironment env({pst});
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + S);
  services.now = QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3));
  Global::SelectedStoreId = testing::StoreIdOf(pst);
  Global::SelectedFolders = testing::FolderReferences(pst);
  {
    frmSave form;
    form.OptNewNSF->setChecked(true);
    services.folders.push_back(QString::fromStdString((env.scratch() / "out").string()));
    form.CmdNewNSF->click();
  }
  notes::Session session;
  std::map<std::string, std::unique_ptr<notes::Document>> by_key;
  for (const std::string& path : {Global::NsfFilePath, Global::AddressBookPath}) {
    const auto database = session.GetDatabase("", path);
    for (const std::string& unid : database->AllDocumentIds()) {
      auto doc = database->GetDocumentByUNID(unid);
      by_key[Text(*doc, writers::kSourceKeyItem)] = std::move(doc);
    }
  }
  EachItem(pst, [&](const outlook::Item& item) {
    const auto found = by_key.find(item.SourceKey());
    if (found == by_key.end()) return;  // not in a converted folder
    notes::Document& doc = *found->second;
    SCOPED_TRACE(item.SourceKey() + " " + item.Subject());
    const std::string form = Text(doc, "Form");
    const auto flags = item.MessageFlags();
    const bool unread = flags && (*flags & outlook::mapi::MSGFLAG_READ) == 0;
    EXPECT_EQ(doc.GetRead(), !unread);
    tally.unread += unread;
    if (KindOfClass(item.MessageClass()) == OwnKind::Person) {
      EXPECT_EQ(form, "Person");
      EXPECT_EQ(Text(doc, "FirstName"), item.Contact(outlook::ContactField::FirstName));
      EXPECT_EQ(Text(doc, "LastName"), item.Contact(outlook::ContactField::LastName));
      EXPECT_EQ(Text(doc, "MailAddress"), item.Contact(outlook::ContactField::Email1));
      EXPECT_EQ(Text(doc, "CompanyName"), item.Contact(outlook::ContactField::CompanyName));
      EXPECT_EQ(Text(doc, "OfficePhoneNumber"), item.Contact(outlook::ContactField::BusinessPhone));
    }
    if (form == "Memo") {
      if (!item.InternetMessageId().empty()) {
        EXPECT_EQ(Text(doc, "$MessageID"), item.InternetMessageId());
        ++tally.ids;
      }
      if (!item.InReplyTo().empty()) {
        EXPECT_EQ(Text(doc, "In_Reply_To"), item.InReplyTo());
      }
      if (!item.TransportHeaders().empty()) {
        EXPECT_EQ(doc.GetMIMEEntity("Body")->Headers(), item.TransportHeaders());
        ++tally.headers;
      }
    }
    if (form != "Memo" && form != "Appointment" && form != "Task") return;
    const auto parts = Parts(doc);
    std::string source_html;
    try {
      source_html = SourceHtml(item);
    } catch (const outlook::OutlookError&) {
      return;  // a damaged formatted body: the run reports it
    }
    if (form == "Memo" || !source_html.empty()) {
      const notes::MIMEEntity* plain = PartOfType(parts, "text/plain");
      ASSERT_NE(plain, nullptr);
      EXPECT_EQ(plain->GetContentAsText(), item.Body());
    }
    if (source_html.empty()) return;
    ++tally.formatted;
    const notes::MIMEEntity* html = PartOfType(parts, "text/html");
    ASSERT_NE(html, nullptr);
    EXPECT_EQ(testing::TextOfHtml(html->GetContentAsText()), testing::TextOfHtml(source_html));
    // Every picture the HTML names that is an attachment of the item.
    const auto attachments = item.GetAttachments();
    for (const std::string& id : ReferencedContentIds(source_html)) {
      bool attached = false;
      for (std::int64_t k = 1; k <= attachments->Count(); ++k) attached |= attachments->GetAttachment(k)->ContentId() == id;
      if (!attached && id.find("@norvexa") == std::string::npos) continue;
      bool shown = false;
      for (const auto& p : parts) shown |= p->Headers().find("Content-ID: <" + id + ">") != std::string::npos;
      EXPECT_TRUE(shown) << id;
    }
  });
}

TEST(EveryStoreBodies, EachDocumentCarriesWhatItsItemHad) {
  Tally tally;
  testing::ScratchDir work;
  for (const char* name : {"formatted-mail", "every-kind", "recurring-appointments"}) {
    const fs::path pst = work / (std::string(name) + ".pst");
    pstgen::WriteMailbox(pstgen::ReadDescription(fs::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes" /
                                                 (std::string(name) + ".json")),
                         pst);
    ExportAndCompare(pst, tally);
  }
  const fs::path shared = fs::path(NORVEXA_SHARED_FIXTURES) / "pst";
  int fixtures = 0;
  if (fs::is_directory(shared)) {
    for (const auto& entry : fs::directory_iterator(shared)) {
      if (entry.path().extension() != ".pst") continue;
      ExportAndCompare(entry.path(), tally);
      ++fixtures;
    }
  }
  std::printf("checked %d shared store files: %d formatted bodies, %d unread items, %d header blocks, %d message ids\n",
              fixtures, tally.formatted, tally.unread, tally.headers, tally.ids);
  EXPECT_GE(tally.formatted, 4);
  EXPECT_GE(tally.headers, 1);
  if (fixtures == 0) GTEST_SKIP() << "the shared store files (" << shared << ") are absent; only generated ones checked";
}

}  // namespace
}  // namespace norvexa::conversion
