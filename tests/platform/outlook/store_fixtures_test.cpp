// Every shared PST fixture opens, and its folder tree, folder classes and
// item counts are what independent readers (pffexport, readpst) find.
#include "platform/outlook/outlook.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace norvexa::outlook {
namespace {

struct FolderRow {
  std::string path;
  std::string klass;
  std::int64_t count;
};

// The tree below the top folder in pre-order.
std::vector<FolderRow> Tree(const Store& store) {
  std::vector<FolderRow> rows;
  std::function<void(const Folder&)> walk = [&](const Folder& folder) {
    rows.push_back({folder.FolderPath(), folder.DefaultMessageClass(), folder.GetItems()->Count()});
    for (const auto& sub : folder.Folders()) walk(*sub);
  };
  walk(*store.IPMRootFolder());
  return rows;
}

struct Expected {
  const char* file;
  const char* name;
  std::vector<FolderRow> tree;
};

const std::vector<Expected>& AllFixtures() {
  static const std::vector<Expected> all = {
      {"contacts.pst", "Personal folders",
       {{"\\\\Personal folders", "IPM.Note", 0},
        {"\\\\Personal folders\\Deleted Items", "IPM.Note", 0},
        {"\\\\Personal folders\\Contacts", "IPM.Note", 6}}},
      {"dist-list.pst", "Personal Folders",
       {{"\\\\Personal Folders", "IPM.Note", 0},
        {"\\\\Personal Folders\\Deleted Items", "IPM.Note", 0},
        {"\\\\Personal Folders\\Inbox", "IPM.Note", 0},
        {"\\\\Personal Folders\\Outbox", "IPM.Note", 0},
        {"\\\\Personal Folders\\Sent Items", "IPM.Note", 0},
        {"\\\\Personal Folders\\Calendar", "IPM.Appointment", 1},
        {"\\\\Personal Folders\\Contacts", "IPM.Contact", 2},
        {"\\\\Personal Folders\\Journal", "IPM.Journal", 0},
        {"\\\\Personal Folders\\Notes", "IPM.StickyNote", 0},
        {"\\\\Personal Folders\\Tasks", "IPM.Task", 0},
        {"\\\\Personal Folders\\Drafts", "IPM.Note", 0},
        {"\\\\Personal Folders\\RSS Feeds", "IPM.Note", 0},
        {"\\\\Personal Folders\\Junk E-mail", "IPM.Note", 0}}},
      {"empty-ansi.pst", "Personal Folders",
       {{"\\\\Personal Folders", "IPM.Note", 0},
        {"\\\\Personal Folders\\Deleted Items", "IPM.Note", 0},
        {"\\\\Personal Folders\\Folder", "IPM.Note", 1}}},
      {"exchange-user.pst", "user1@test.lab",
       {{"\\\\user1@test.lab", "IPM.Note", 0},
        {"\\\\user1@test.lab\\Deleted Items", "IPM.Note", 0},
        {"\\\\user1@test.lab\\Deleted Items\\Contacts", "IPM.Note", 0},
        {"\\\\user1@test.lab\\Inbox", "IPM.Note", 0},
        {"\\\\user1@test.lab\\Outbox", "IPM.Note", 0},
        {"\\\\user1@test.lab\\Sent Items", "IPM.Note", 0},
        {"\\\\user1@test.lab\\Junk E-mail", "IPM.Note", 0},
        {"\\\\user1@test.lab\\Conversation Action Settings", "IPM.Configuration", 0},
        {"\\\\user1@test.lab\\Quick Step Settings", "IPM.Configuration", 0},
        {"\\\\user1@test.lab\\FolderWithSingleMessage", "IPM.Note", 1},
        {"\\\\user1@test.lab\\FolderWithSingleUnreadMessage", "IPM.Note", 1},
        {"\\\\user1@test.lab\\FolderWithTwoSubFolders", "IPM.Note", 0},
        {"\\\\user1@test.lab\\FolderWithTwoSubFolders\\SubFolder1", "IPM.Note", 0},
        {"\\\\user1@test.lab\\FolderWithTwoSubFolders\\SubFolder2", "IPM.Note", 0},
        {"\\\\user1@test.lab\\FolderWithMessagesWithAttachments", "IPM.Note", 2},
        {"\\\\user1@test.lab\\FolderWithSampleMessages", "IPM.Note", 2}}},
      {"four-nesting-levels.pst", "pst-test-2@aranetic.com",
       {{"\\\\pst-test-2@aranetic.com", "IPM.Note", 0},
        {"\\\\pst-test-2@aranetic.com\\Inbox", "IPM.Note", 1},
        {"\\\\pst-test-2@aranetic.com\\Junk E-mail", "IPM.Note", 0},
        {"\\\\pst-test-2@aranetic.com\\Deleted Items", "IPM.Note", 0},
        {"\\\\pst-test-2@aranetic.com\\Sent Items", "IPM.Note", 0}}},
      {"high-encryption.pst", "quickquick",
       {{"\\\\quickquick", "IPM.Note", 0}, {"\\\\quickquick\\Deleted Items", "IPM.Note", 36}}},
      {"mixed-kinds.pst", "Personal Folders",
       {{"\\\\Personal Folders", "IPM.Note", 0},
        {"\\\\Personal Folders\\Deleted Items", "IPM.Note", 0},
        {"\\\\Personal Folders\\Inbox", "IPM.Note", 0},
        {"\\\\Personal Folders\\Outbox", "IPM.Note", 0},
        {"\\\\Personal Folders\\Sent Items", "IPM.Note", 0},
        {"\\\\Personal Folders\\Calendar", "IPM.Appointment", 1},
        {"\\\\Personal Folders\\Contacts", "IPM.Contact", 2},
        {"\\\\Personal Folders\\Journal", "IPM.Journal", 1},
        {"\\\\Personal Folders\\Notes", "IPM.StickyNote", 0},
        {"\\\\Personal Folders\\Tasks", "IPM.Task", 1},
        {"\\\\Personal Folders\\Drafts", "IPM.Note", 1},
        {"\\\\Personal Folders\\RSS Feeds", "IPM.Note", 0},
        {"\\\\Personal Folders\\Junk E-mail", "IPM.Note", 0}}},
      {"no-encryption.pst", "quickquick",
       {{"\\\\quickquick", "IPM.Note", 0}, {"\\\\quickquick\\Deleted Items", "IPM.Note", 20}}},
      {"outlook98.pst", "Personal Folders",
       {{"\\\\Personal Folders", "IPM.Note", 0}, {"\\\\Personal Folders\\Deleted Items", "IPM.Note", 0}}},
      {"sample1.pst", "sample1",
       {{"\\\\sample1", "IPM.Note", 0}, {"\\\\sample1\\Deleted Items", "IPM.Note", 0},
        {"\\\\sample1\\Sample1", "IPM.Note", 1}}},
      {"sample2-ansi.pst", "sample2",
       {{"\\\\sample2", "IPM.Note", 0}, {"\\\\sample2\\Deleted Items", "IPM.Note", 0},
        {"\\\\sample2\\Sample2", "IPM.Note", 1}}},
  };
  return all;
}

TEST(OutlookFixtures, EveryFixtureHasTheTreeClassesAndCountsOfTheIndependentReaders) {
  NORVEXA_REQUIRE_SHARED_PST(probe, "sample1.pst");
  for (const Expected& expected : AllFixtures()) {
    SCOPED_TRACE(expected.file);
    const auto path = testing::SharedPst(expected.file);
    ASSERT_FALSE(path.empty());
    const auto store = OpenStoreFile(path);
    EXPECT_EQ(store->DisplayName(), expected.name);
    EXPECT_EQ(store->OfferText(), std::filesystem::absolute(path).lexically_normal().string());
    EXPECT_EQ(store->PstPath(), store->OfferText());
    EXPECT_EQ(store->StoreID().find('#'), std::string::npos);
    const auto tree = Tree(*store);
    ASSERT_EQ(tree.size(), expected.tree.size());
    for (std::size_t i = 0; i < tree.size(); ++i) {
      EXPECT_EQ(tree[i].path, expected.tree[i].path);
      EXPECT_EQ(tree[i].klass, expected.tree[i].klass) << tree[i].path;
      EXPECT_EQ(tree[i].count, expected.tree[i].count) << tree[i].path;
    }
  }
}

TEST(OutlookFixtures, FoldersReopenByEntryIdWithTheSamePathAndContents) {
  NORVEXA_REQUIRE_SHARED_PST(path, "exchange-user.pst");
  const auto store = OpenStoreFile(path);
  std::vector<std::pair<std::string, std::string>> seen;  // entry id, path
  std::function<void(const Folder&)> walk = [&](const Folder& folder) {
    EXPECT_EQ(folder.EntryID().find('#'), std::string::npos);
    seen.emplace_back(folder.EntryID(), folder.FolderPath());
    for (const auto& sub : folder.Folders()) walk(*sub);
  };
  walk(*store->IPMRootFolder());
  // A new store object, as the conversion run opens it, finds each folder.
  const auto again = OpenStoreFile(path);
  for (const auto& [id, folder_path] : seen) {
    const auto folder = again->GetFolderFromID(id);
    EXPECT_EQ(folder->FolderPath(), folder_path);
    EXPECT_EQ(folder->EntryID(), id);
  }
  const auto sub = again->GetFolderFromID(" 000081e2 ");
  EXPECT_EQ(sub->Name(), "SubFolder1");
  EXPECT_EQ(sub->FolderPath().substr(2), "user1@test.lab\\FolderWithTwoSubFolders\\SubFolder1");
  EXPECT_THROW(again->GetFolderFromID("nothex"), OutlookError);
  EXPECT_THROW(again->GetFolderFromID("00FFFFF2"), OutlookError);
  EXPECT_THROW(again->GetFolderFromID(""), OutlookError);
}

TEST(OutlookFixtures, ImapFoldersAreMailFoldersAndKeepTheirContainerClass) {
  NORVEXA_REQUIRE_SHARED_PST(path, "four-nesting-levels.pst");
  const auto store = OpenStoreFile(path);
  const auto folders = store->IPMRootFolder()->Folders();
  ASSERT_EQ(folders.size(), 4u);
  for (const auto& folder : folders) {
    EXPECT_EQ(folder->ContainerClass(), "IPF.Imap");
    EXPECT_EQ(folder->DefaultMessageClass(), "IPM.Note");
  }
  EXPECT_EQ(store->IPMRootFolder()->ContainerClass(), "");
}

TEST(OutlookFixtures, ItemsOutOfRangeAreErrors) {
  NORVEXA_REQUIRE_SHARED_PST(path, "sample1.pst");
  const auto items = OpenStoreFile(path)->GetFolderFromID("00008082")->GetItems();
  ASSERT_EQ(items->Count(), 1);
  EXPECT_THROW(items->GetItem(0), OutlookError);
  EXPECT_THROW(items->GetItem(2), OutlookError);
  const auto item = items->GetItem(1);
  const auto attachments = item->GetAttachments();
  EXPECT_THROW(attachments->GetAttachment(0), OutlookError);
  EXPECT_THROW(attachments->GetAttachment(attachments->Count() + 1), OutlookError);
}

TEST(OutlookFixtures, ObjectsOutliveTheObjectsTheyCameFrom) {
  NORVEXA_REQUIRE_SHARED_PST(path, "exchange-user.pst");
  std::unique_ptr<Attachment> attachment;
  std::unique_ptr<Item> item;
  {
    auto store = OpenStoreFile(path);
    auto folder = store->GetFolderFromID("00008222");
    auto items = folder->GetItems();
    item = items->GetItem(1);
    attachment = item->GetAttachments()->GetAttachment(1);
  }
  EXPECT_EQ(item->Subject(), "TestWithTextFileAttachment");
  item.reset();
  EXPECT_EQ(attachment->FileName(), "TextFile.txt");
  EXPECT_EQ(attachment->Size(), 4);
}

}  // namespace
}  // namespace norvexa::outlook
