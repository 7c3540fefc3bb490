// Sharing of open store files across sessions: a second session on the same
// file reuses the open file, a file rewritten or replaced on disk is read
// anew, and ReleaseCachedStores lets go of the kept file.
#include "mailbox_writer.h"
#include "platform/outlook/outlook.h"
#include "platform/outlook/store_file_cache.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace norvexa::outlook {
namespace {

namespace fs = std::filesystem;

// Writes a mailbox named STORE_NAME at PATH whose one folder FOLDER holds
// ITEMS mails with subjects "FOLDER 1", "FOLDER 2"...
void WriteBox(const fs::path& path, const std::string& store_name, const std::string& folder, int items) {
  pstgen::MailboxSpec spec;
  spec.store_name = store_name;
  pstgen::FolderSpec f;
  f.name = folder;
  f.container_class = "IPF.Note";
  f.items = [folder, items](const std::function<void(const pstgen::Item&)>& sink) {
    for (int i = 1; i <= items; ++i) {
      pstgen::Item item;
      item.subject = folder + " " + std::to_string(i);
      item.body = "body of " + item.subject;
      sink(item);
    }
  };
  spec.folders.push_back(f);
  pstgen::WriteMailbox(spec, path);
}

// The names of the folders below the top folder (the writer's fixed
// "Deleted Items" first) and the subject of the last item of the last one.
std::string Describe(const Store& store) {
  std::string text = store.DisplayName() + ":";
  const auto folders = store.IPMRootFolder()->Folders();
  for (const auto& folder : folders) text += " " + folder->Name();
  if (!folders.empty()) {
    const auto items = folders.back()->GetItems();
    if (items->Count() > 0) text += " / " + items->GetItem(items->Count())->Subject();
  }
  return text;
}

TEST(SharedStoreFiles, SessionsShareTheOpenFileUntilItChangesOrIsReleased) {
  testing::ScratchDir scratch;
  const fs::path pst = scratch / "box.pst";
  WriteBox(pst, "First Box", "Alpha", 3);
  const fs::path profile = testing::WriteFile(scratch / "profile", pst.string() + "\n");
  ReleaseCachedStores();
  const std::uint64_t before = pst::StoreFileOpenCount();

  // The store list offers the store: one real opening for its name,
  // identifier and offer text together.
  std::string id;
  {
    Session list;
    list.LogonProfile(profile);
    const auto store = list.Stores().Item(1);
    EXPECT_EQ(store->OfferText(), fs::absolute(pst).lexically_normal().string());
    EXPECT_EQ(store->DisplayName(), "First Box");
    id = store->StoreID();
    list.Logoff();
  }
  EXPECT_EQ(pst::StoreFileOpenCount(), before + 1);

  // The folder tree's session, then the run's own session, find it by
  // identifier without reading the file again; they see the same store.
  {
    Session tree;
    tree.LogonProfile(profile);
    const auto store = tree.GetStoreFromID(id);
    EXPECT_EQ(Describe(*store), "First Box: Deleted Items Alpha / Alpha 3");
    // While it is in use another way in (opening the file by name) shares it.
    const auto direct = OpenStoreFile(pst);
    EXPECT_EQ(direct->StoreID(), id);
  }
  std::unique_ptr<Store> old_store;
  {
    Session run;
    run.LogonProfile(profile);
    old_store = run.GetStoreFromID(id);
    EXPECT_EQ(Describe(*old_store), "First Box: Deleted Items Alpha / Alpha 3");
    run.Logoff();  // the store outlives the session's log-on
  }
  EXPECT_EQ(pst::StoreFileOpenCount(), before + 1);

  // The file is replaced on disk (written aside, renamed over it) while the
  // old store is still in use: a new opening reads the new file; the old
  // store keeps reading the file it opened.
  const fs::path aside = scratch / "box.new";
  WriteBox(aside, "Second Box", "Beta", 5);
  // (Files of a few pages often have the same size; a replacement differs
  // in its last-write time.)
  fs::last_write_time(aside, fs::last_write_time(pst) + std::chrono::seconds(2));
  fs::rename(aside, pst);
  {
    Session run;
    run.LogonProfile(profile);
    const auto store = run.GetStoreFromID(id);
    EXPECT_EQ(Describe(*store), "Second Box: Deleted Items Beta / Beta 5");
    EXPECT_EQ(store->PstPath(), old_store->PstPath());
  }
  EXPECT_EQ(pst::StoreFileOpenCount(), before + 2);
  EXPECT_EQ(Describe(*old_store), "First Box: Deleted Items Alpha / Alpha 3");
  old_store.reset();

  // Rewritten in place (same size here too): the new last-write time alone
  // makes it a new file.
  const fs::file_time_type stamp = fs::last_write_time(pst);
  WriteBox(pst, "Third Box", "Gamma", 5);
  fs::last_write_time(pst, stamp + std::chrono::seconds(2));
  EXPECT_EQ(Describe(*OpenStoreFile(pst)), "Third Box: Deleted Items Gamma / Gamma 5");
  EXPECT_EQ(pst::StoreFileOpenCount(), before + 3);
  EXPECT_EQ(Describe(*OpenStoreFile(pst)), "Third Box: Deleted Items Gamma / Gamma 5");
  EXPECT_EQ(pst::StoreFileOpenCount(), before + 3);

  // Released, the kept file is closed and the next session reads it again;
  // a store in use when the cache is released keeps working and is still
  // shared until it goes.
  ReleaseCachedStores();
  const auto in_use = OpenStoreFile(pst);
  EXPECT_EQ(pst::StoreFileOpenCount(), before + 4);
  ReleaseCachedStores();
  EXPECT_EQ(Describe(*in_use), "Third Box: Deleted Items Gamma / Gamma 5");
  EXPECT_EQ(Describe(*OpenStoreFile(pst)), "Third Box: Deleted Items Gamma / Gamma 5");
  EXPECT_EQ(pst::StoreFileOpenCount(), before + 4);
}

TEST(SharedStoreFiles, OnlyTheLatestFileIsKeptAndFailedOpeningsAreNotKept) {
  testing::ScratchDir scratch;
  const fs::path first = scratch / "first.pst";
  const fs::path second = scratch / "second.pst";
  WriteBox(first, "First Box", "Alpha", 1);
  WriteBox(second, "Second Box", "Beta", 1);
  ReleaseCachedStores();
  const std::uint64_t before = pst::StoreFileOpenCount();

  EXPECT_EQ(OpenStoreFile(first)->DisplayName(), "First Box");
  EXPECT_EQ(OpenStoreFile(second)->DisplayName(), "Second Box");
  EXPECT_EQ(OpenStoreFile(second)->DisplayName(), "Second Box");
  EXPECT_EQ(pst::StoreFileOpenCount(), before + 2);
  // The first one was let go when the second was opened.
  EXPECT_EQ(OpenStoreFile(first)->DisplayName(), "First Box");
  EXPECT_EQ(pst::StoreFileOpenCount(), before + 3);

  // A file that is not a store fails every time with its reason, and a
  // store written there afterwards opens.
  const fs::path bad = testing::WriteFile(scratch / "bad.pst", "!BDN but nothing more");
  EXPECT_THROW(OpenStoreFile(bad), OutlookError);
  EXPECT_THROW(OpenStoreFile(bad), OutlookError);
  WriteBox(bad, "Mended Box", "Delta", 2);
  EXPECT_EQ(Describe(*OpenStoreFile(bad)), "Mended Box: Deleted Items Delta / Delta 2");
  // The same file under another name (a link) keeps that name as its
  // path and identifier, as it would without sharing.
  const fs::path link = scratch / "link.pst";
  fs::create_symlink(first, link);
  const auto by_name = OpenStoreFile(first);
  const auto by_link = OpenStoreFile(link);
  EXPECT_EQ(by_link->PstPath(), fs::absolute(link).lexically_normal().string());
  EXPECT_NE(by_link->StoreID(), by_name->StoreID());
  EXPECT_EQ(by_link->DisplayName(), "First Box");
  ReleaseCachedStores();
}

}  // namespace
}  // namespace norvexa::outlook
