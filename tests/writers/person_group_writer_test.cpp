// The Person and Group writers: items, types and order, the name and date
// rules, and the choice between the address book and the mail database.
#include "writers/writers.h"

#include "writers/writer_fixture.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace norvexa {
namespace {

using testing::ItemAs;

// The test's writer context, with contacts going to the address book
// (NEW_DATABASE) or into the mail database.
writers::WriterContext Context(bool new_database) {
  writers::WriterContext context = testing::writer_context;
  context.paths.contacts_to_address_book = new_database;
  return context;
}

// Makes LOCALE the default for the lifetime of the guard.
class LocaleGuard {
 public:
  explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
  ~LocaleGuard() { QLocale::setDefault(previous_); }
  LocaleGuard(const LocaleGuard&) = delete;
  LocaleGuard& operator=(const LocaleGuard&) = delete;

 private:
  QLocale previous_;
};

writers::ContactValues FullContact() {
  writers::ContactValues c;
  c.elotus_FirstName = "Ann";
  c.elotus_MiddleName = "";
  c.elotus_LastName = "Lee";
  c.elotus_Suffix = "Jr.";
  c.elotus_Title = "Dr.";
  c.elotus_Email = "ann@example.com";
  c.elotus_Company = "Example Ltd";
  c.elotus_JobTitle = "Engineer";
  c.elotus_BusinessStreet = "1 Main St";
  c.elotus_BusinessCity = "Springfield";
  c.elotus_BusinessZip = "12345";
  c.elotus_BusinessState = "IL";
  c.elotus_BusinessCountry = "USA";
  c.elotus_Location = "Building 2";
  c.elotus_WebPage = "https://example.com";
  c.elotus_Department = "R&D";
  c.elotus_Manager = "Bob";
  c.elotus_Assistant = "Cy";
  c.elotus_OfficePhone = "555-0100";
  c.elotus_OfficeFax = "555-0101";
  c.elotus_CellPhone = "555-0102";
  c.elotus_Pager = "555-0103";
  c.elotus_OtherEmail1 = "ann@example.com";
  c.elotus_OtherEmail2 = "ann@home.example";
  c.elotus_OtherEmail3 = "ann@club.example";
  c.elotus_PersonalStreet = "2 Elm St";
  c.elotus_PersonalCity = "Shelbyville";
  c.elotus_PersonalZip = "54321";
  c.elotus_PersonalState = "IL";
  c.elotus_PersonalCountry = "USA";
  c.elotus_Spouse = "Dan";
  c.elotus_Childern = "Eve";
  c.elotus_HomePhone = "555-0200";
  c.elotus_HomeFax = "555-0201";
  c.elotus_BirthDay = QDateTime(QDate(1980, 5, 17), QTime(13, 45, 0));
  c.elotus_Anniversary = std::nullopt;
  c.elotus_Comments = "Met at the fair";
  c.elotus_Categories = "Friends";
  return c;
}

class PersonWriter : public testing::WriterTest {};
class GroupWriter : public testing::WriterTest {};

TEST_F(PersonWriter, ContactGetsEveryItemInOrderIntoTheAddressBook) {
  // The same contact, written while the user's locale is English, German
  // and Japanese: the document must not depend on how dates are written
  // there.
  const QLocale locales[] = {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany),
                             QLocale(QLocale::Japanese, QLocale::Japan)};
  for (const QLocale& locale : locales) {
    LocaleGuard in_locale(locale);
    writers::ContactValues c = FullContact();
    bool save_it = true;
    const writers::WriteResult result = writers::SaveNotesContacts(Context(true), c, save_it);
    EXPECT_TRUE(result.saved) << result.reason;
  }

  testing::OpenedDatabase book(book_path_);
  const auto docs = book.Documents();
  ASSERT_EQ(docs.size(), 3u);
  for (std::size_t i = 0; i < docs.size(); ++i) {
    SCOPED_TRACE(locales[i].name().toStdString());
    EXPECT_EQ(ItemAs<QDateTime>(*docs[i], "Birthday"), QDateTime(QDate(1980, 5, 17), QTime(0, 0, 0)));
  }
  const auto& doc = docs.front();
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->ItemNames(),
            (std::vector<std::string>{
                "Form", "FirstName", "MiddleName", "FullName", "LastName", "Suffix", "Title", "MailAddress",
                "CompanyName", "JobTitle", "OfficeStreetAddress", "OfficeCity", "OfficeZIP", "OfficeState",
                "OfficeCountry", "Location", "WebSite", "Department", "Manager", "Assistant", "OfficePhoneNumber",
                "OfficeFAXPhoneNumber", "CellPhoneNumber", "PhoneNumber_6", "MiscPhone1", "MiscPhone2", "MiscPhone3",
                "StreetAddress", "City", "Zip", "State", "Country", "Spouse", "Children", "PhoneNumber",
                "HomeFAXPhoneNumber", "Birthday", "Comment", "Categories", "Type"}));
  EXPECT_EQ(ItemAs<std::string>(*doc, "Form"), "Person");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Type"), "Person");
  EXPECT_EQ(ItemAs<std::string>(*doc, "FullName"), "Ann  Lee");
  EXPECT_EQ(ItemAs<std::string>(*doc, "MiddleName"), "");  // empty texts are still written
  EXPECT_EQ(ItemAs<std::string>(*doc, "MailAddress"), "ann@example.com");
  EXPECT_EQ(ItemAs<std::string>(*doc, "MiscPhone1"), "ann@example.com");
  EXPECT_EQ(ItemAs<std::string>(*doc, "MiscPhone2"), "ann@home.example");
  EXPECT_EQ(ItemAs<std::string>(*doc, "MiscPhone3"), "ann@club.example");
  EXPECT_EQ(ItemAs<std::string>(*doc, "PhoneNumber_6"), "555-0103");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Children"), "Eve");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Comment"), "Met at the fair");
  EXPECT_EQ(ItemAs<std::string>(*doc, "OfficeZIP"), "12345");
  // A birthday text with a time of day gives that day at midnight.
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "Birthday"), QDateTime(QDate(1980, 5, 17), QTime(0, 0, 0)));
  EXPECT_FALSE(doc->HasItem("Anniversary"));
  EXPECT_EQ(book.db->FolderDocumentIds("Outlook Contacts").size(), 3u);
  EXPECT_EQ(book.db->FolderDocumentIds("Outlook Contacts").front(), doc->UniversalID());

  testing::OpenedDatabase mail(mail_path_);
  EXPECT_TRUE(mail.Documents().empty());
}

TEST_F(PersonWriter, ExistingDatabaseOptionWritesIntoTheMailDatabase) {
  writers::ContactValues c;
  c.elotus_LastName = "Lee";
  c.elotus_BirthDay = QDateTime();  // not a date
  c.elotus_Anniversary = QDateTime(QDate(2005, 3, 7), QTime(0, 0, 0));
  bool save_it = true;
  EXPECT_TRUE(writers::SaveNotesContacts(Context(false), c, save_it).saved);

  testing::OpenedDatabase mail(mail_path_);
  auto doc = mail.OnlyDocument();
  ASSERT_TRUE(doc);
  EXPECT_EQ(ItemAs<std::string>(*doc, "FullName"), "Lee");
  EXPECT_FALSE(doc->HasItem("Birthday"));
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "Anniversary"), QDateTime(QDate(2005, 3, 7), QTime(0, 0, 0)));
  EXPECT_EQ(ItemAs<std::string>(*doc, "Type"), "Person");  // the rest is still written
  EXPECT_EQ(doc->ItemNames().size(), 40u);
  EXPECT_EQ(mail.db->FolderDocumentIds("Outlook Contacts"), std::vector<std::string>{doc->UniversalID()});

  testing::OpenedDatabase book(book_path_);
  EXPECT_TRUE(book.Documents().empty());
}

TEST_F(PersonWriter, UnreachableAddressBookIsReportedNotThrown) {
  writers::WriterContext context = Context(true);
  context.paths.address_book = (out_ / "gone.nsf").string();
  writers::ContactValues c;
  bool save_it = true;
  writers::WriteResult result;
  EXPECT_NO_THROW(result = writers::SaveNotesContacts(context, c, save_it));
  EXPECT_FALSE(result.saved);
  EXPECT_NE(result.reason, "");
}

TEST_F(GroupWriter, ListGetsItsItemsInOrderIntoTheChosenDatabase) {
  std::string name = "Team";
  std::vector<std::string> members = {"ann@example.com", "Bob Builder", "cy@example.com"};
  std::string desc;
  bool save_it = true;
  EXPECT_TRUE(writers::SaveNotesGroups(Context(true), name, members, desc, save_it).saved);
  std::string other = "Empty";
  std::vector<std::string> none;
  std::string other_desc = "Nobody yet";
  EXPECT_TRUE(writers::SaveNotesGroups(Context(false), other, none, other_desc, save_it).saved);

  testing::OpenedDatabase book(book_path_);
  auto doc = book.OnlyDocument();
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->ItemNames(), (std::vector<std::string>{"Form", "ListName", "ListDescription", "Members", "Type"}));
  EXPECT_EQ(ItemAs<std::string>(*doc, "Form"), "Group");
  EXPECT_EQ(ItemAs<std::string>(*doc, "ListName"), "Team");
  EXPECT_EQ(ItemAs<std::string>(*doc, "ListDescription"), "");
  EXPECT_EQ(ItemAs<notes::TextList>(*doc, "Members"), members);
  EXPECT_EQ(ItemAs<std::string>(*doc, "Type"), "Group");
  EXPECT_EQ(book.db->FolderDocumentIds("Outlook Groups"), std::vector<std::string>{doc->UniversalID()});

  testing::OpenedDatabase mail(mail_path_);
  auto in_mail = mail.OnlyDocument();
  ASSERT_TRUE(in_mail);
  EXPECT_EQ(ItemAs<std::string>(*in_mail, "ListName"), "Empty");
  EXPECT_EQ(ItemAs<std::string>(*in_mail, "ListDescription"), "Nobody yet");
  EXPECT_EQ(ItemAs<notes::TextList>(*in_mail, "Members"), notes::TextList{});
  EXPECT_EQ(mail.db->FolderDocumentIds("Outlook Groups"), std::vector<std::string>{in_mail->UniversalID()});
}

}  // namespace
}  // namespace norvexa
