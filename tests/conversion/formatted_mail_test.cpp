// A whole export of a mailbox whose mail carries more than plain text:
// formatted bodies with their pictures, Internet headers and ids, read
// marks, flags, and items kept in a folder of another kind. Everything the
// user had arrives, each item as its own kind.
#include "windows/frm_save.h"
#include "conversion/global/global.h"
#include "description.h"
#include "mailbox_writer.h"
#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"
#include "run_environment.h"
#include "support/fixtures.h"
#include "support/html_text.h"
#include "support/scripted_services.h"

#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace norvexa::conversion {
namespace {

namespace fs = std::filesystem;
using windows::frmSave;
const std::string S = sys::PathSeparator().toStdString();

std::string Text(const notes::Document& doc, const std::string& name) {
  const auto value = doc.GetItemValue(name);
  return value && std::holds_alternative<std::string>(*value) ? std::get<std::string>(*value) : std::string("<none>");
}

// The documents of DATABASE by their Subject (Memo, Task, Appointment) or
// FullName / ListName (Person, Group).
std::map<std::string, std::unique_ptr<notes::Document>> BySubject(notes::Database& database) {
  std::map<std::string, std::unique_ptr<notes::Document>> docs;
  for (const std::string& unid : database.AllDocumentIds()) {
    auto doc = database.GetDocumentByUNID(unid);
    std::string key = Text(*doc, "Subject");
    if (key == "<none>") key = Text(*doc, "FullName");
    if (key == "<none>") key = Text(*doc, "ListName");
    docs[key] = std::move(doc);
  }
  return docs;
}

// The first part of DOC's body whose type is TYPE, or null.
std::unique_ptr<notes::MIMEEntity> Part(notes::Document& doc, const std::string& type) {
  std::vector<std::unique_ptr<notes::MIMEEntity>> pending;
  if (auto top = doc.GetMIMEEntity("Body")) pending.push_back(std::move(top));
  while (!pending.empty()) {
    auto part = std::move(pending.back());
    pending.pop_back();
    if (part->ContentType() + "/" + part->ContentSubType() == type) return part;
    if (auto next = part->GetNextSibling()) pending.push_back(std::move(next));
    if (auto child = part->GetFirstChildEntity()) pending.push_back(std::move(child));
  }
  return nullptr;
}

TEST(FormattedMail, BodiesHeadersReadMarksAndEveryKindArrive) {
  testing::ScratchDir work;
  const fs::path pst = work / "Formatted Mail.pst";
  pstgen::WriteMailbox(
      pstgen::ReadDescription(fs::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes/formatted-mail.json"), pst);
  testing::RunEnvironment env({pst});
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + S);
  services.now = QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3));
  Global::SelectedStoreId = testing::StoreIdOf(pst);
  Global::SelectedFolders = testing::FolderReferences(pst);
  frmSave form;
  form.OptNewNSF->setChecked(true);
  services.folders.push_back(QString::fromStdString((env.scratch() / "out").string()));
  form.CmdNewNSF->click();
  ASSERT_FALSE(services.messages.empty());
  EXPECT_EQ(services.messages.back().icon, sys::Icon::Information) << services.messages.back().detail.toStdString();

  notes::Session session;
  const auto mail = session.GetDatabase("", Global::NsfFilePath);
  const auto names = session.GetDatabase("", Global::AddressBookPath);
  auto docs = BySubject(*mail);
  auto people = BySubject(*names);

  // Each item as its own kind, filed as its writer files.
  ASSERT_EQ(docs.size(), 8u);
  EXPECT_EQ(Text(*docs.at("Re: Budget"), "Form"), "Memo");
  EXPECT_EQ(Text(*docs.at("Budget review"), "Form"), "Memo");  // a meeting request is mail
  EXPECT_EQ(Text(*docs.at("Send the budget"), "Form"), "Task");
  EXPECT_EQ(Text(*docs.at("Appointment among tasks"), "Form"), "Appointment");
  EXPECT_EQ(mail->FolderDocumentIds("Formatted Mail\\Tasks").size(), 2u);
  ASSERT_EQ(people.size(), 3u);
  EXPECT_EQ(Text(*people.at("Margaret  Tolle"), "Form"), "Person");
  EXPECT_EQ(Text(*people.at("Margaret  Tolle"), "MailAddress"), "margaret@example.com");
  EXPECT_EQ(Text(*people.at("Margaret  Tolle"), "CompanyName"), "Adaptaz");
  EXPECT_EQ(Text(*people.at("Margaret  Tolle"), "OfficePhoneNumber"), "+1 555 0100");
  EXPECT_EQ(Text(*people.at("Custom  Form"), "Form"), "Person");
  EXPECT_EQ(Text(*people.at("Budget team"), "Form"), "Group");
  EXPECT_EQ(names->FolderDocumentIds("Outlook Contacts").size(), 2u);

  // The formatted mail: its HTML as the mail had it, its plain text, its
  // picture, its own header byte for byte, its ids, flags and read mark.
  const auto source_store = outlook::OpenStoreFile(pst);
  std::unique_ptr<outlook::Item> source;
  for (const auto& folder : source_store->IPMRootFolder()->Folders()) {
    if (folder->Name() == "Inbox") source = folder->GetItems()->GetItem(1);
  }
  ASSERT_TRUE(source);
  notes::Document& budget = *docs.at("Re: Budget");
  const auto html = Part(budget, "text/html");
  const auto plain = Part(budget, "text/plain");
  const auto picture = Part(budget, "image/png");
  ASSERT_TRUE(html && plain && picture);
  EXPECT_EQ(testing::TextOfHtml(html->GetContentAsText()), testing::TextOfHtml(source->HtmlBody()));
  EXPECT_NE(html->GetContentAsText().find("\xD0\xB1\xD1\x8E\xD0\xB4\xD0\xB6\xD0\xB5\xD1\x82"), std::string::npos);
  EXPECT_EQ(plain->GetContentAsText(), source->Body());
  EXPECT_EQ(picture->GetContentAsBytes().substr(0, 4), "\x89PNG");
  EXPECT_EQ(budget.GetMIMEEntity("Body")->Headers(), source->TransportHeaders());
  EXPECT_EQ(Text(budget, "$MessageID"), "<20240305091500.4711@example.org>");
  EXPECT_EQ(Text(budget, "In_Reply_To"), "<20240304170000.1234@example.com>");
  EXPECT_EQ(Text(budget, "INetFrom"), "\"Anna Berger\" <anna.berger@example.org>");
  EXPECT_EQ(Text(budget, "Importance"), "1");
  EXPECT_EQ(Text(budget, "Sensitivity"), "Private");
  EXPECT_EQ(budget.GetItemValue("Categories"), notes::ItemValue(notes::TextList{"Budget", "2024"}));
  EXPECT_TRUE(budget.HasItem("FollowUpDate"));
  EXPECT_FALSE(budget.GetRead());
  EXPECT_EQ(budget.Attachments().size(), 2u);

  // A plain body that looks like markup reads as the same text.
  notes::Document& markup = *docs.at("Plain <b> & <john@example.com>");
  EXPECT_TRUE(markup.GetRead());
  const auto markup_html = Part(markup, "text/html");
  ASSERT_TRUE(markup_html);
  EXPECT_EQ(testing::TextOfHtml(markup_html->GetContentAsText()),
            "Write to <john@example.com> & say <b>hi</b>. Second line.");

  // A body kept only as RTF arrives as HTML: real RTF keeps its bold,
  // italic, table cells and link target; RTF that carries HTML gives that
  // HTML back.
  const auto rtf_html = Part(*docs.at("Formatted in RTF"), "text/html");
  ASSERT_TRUE(rtf_html);
  const std::string converted = rtf_html->GetContentAsText();
  EXPECT_NE(converted.find("<b>Bold</b>"), std::string::npos) << converted;
  EXPECT_NE(converted.find("<i>italic</i>"), std::string::npos) << converted;
  EXPECT_NE(converted.find("<table"), std::string::npos) << converted;
  EXPECT_EQ(testing::TextOfHtml(converted), "Bold and italic Cell A Cell B See our site");
  EXPECT_NE(converted.find("href=\"https://example.com/site\""), std::string::npos) << converted;
  const auto carried = Part(*docs.at("HTML kept in RTF"), "text/html");
  ASSERT_TRUE(carried);
  EXPECT_EQ(testing::TextOfHtml(carried->GetContentAsText()), "Hello from HTML");
  EXPECT_NE(carried->GetContentAsText().find("<b>HTML</b>"), std::string::npos) << carried->GetContentAsText();

  // Task state arrives.
  notes::Document& task = *docs.at("Send the budget");
  EXPECT_EQ(Text(task, "TaskStatus"), "In Progress");
  EXPECT_EQ(task.GetItemValue("PercentComplete"), notes::ItemValue(50.0));
  EXPECT_EQ(Text(task, "TaskOwner"), "Paul Martin");
  EXPECT_TRUE(fs::is_empty(env.temp()));
}

}  // namespace
}  // namespace norvexa::conversion
