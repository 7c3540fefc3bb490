// The store browser without a screen: what each operation returns, what it
// does to the tree it fills and when, and that it never leaves a session or
// a store behind, on generated mailboxes and on failures of every kind.
#include "source/model/store_browser.h"

#include "mailbox_writer.h"
#include "shell/shell_test_support.h"
#include "source/fake_store.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace norvexa::source {
namespace {

using testing::ProfileGuard;
using testing::ScratchDir;
using testing::WriteProfile;

// Writes a mailbox named NAME with a mail folder holding a task folder, and
// a calendar (after the deleted-items folder every store has), to PATH;
// returns PATH.
std::filesystem::path WriteStore(const std::filesystem::path& path, const std::string& name) {
  pstgen::MailboxSpec spec;
  spec.store_name = name;
  pstgen::FolderSpec inbox;
  inbox.name = "Inbox";
  inbox.container_class = "IPF.Note";
  pstgen::FolderSpec tasks;
  tasks.name = "To do";
  tasks.container_class = "IPF.Task";
  inbox.children.push_back(tasks);
  pstgen::FolderSpec calendar;
  calendar.name = "Calendar";
  calendar.container_class = "IPF.Appointment";
  spec.folders = {inbox, calendar};
  pstgen::WriteMailbox(spec, path);
  return path;
}

// The slots lent to a browser for its session and store, and the browser.
struct Slots {
  std::unique_ptr<outlook::Session> session;
  std::unique_ptr<outlook::Store> store;
  StoreBrowser browser{session, store};

  bool Held() const { return session != nullptr && store != nullptr; }
  bool Empty() const { return session == nullptr && store == nullptr; }
};

// Records every step a fill takes on the tree, and whether the browser
// held its session and store at each node.
class RecordingSink : public FolderTreeSink {
 public:
  explicit RecordingSink(const Slots& lent) : lent_(lent) {}

  std::vector<std::string> steps;
  bool held_at_every_node = true;
  bool released_before_completion = false;

  void RemoveAllNodes() override { steps.push_back("remove"); }
  void AddNode(const FolderNode& node) override {
    steps.push_back(node.text);
    held_at_every_node = held_at_every_node && lent_.Held();
  }
  void RootAdded() override { steps.push_back("root shown"); }
  void FillCompleted() override {
    steps.push_back("completed");
    released_before_completion = lent_.Empty();
  }
  void Yield() override { steps.push_back("yield"); }

  // The steps other than yields.
  std::vector<std::string> TreeSteps() const {
    std::vector<std::string> tree;
    std::copy_if(steps.begin(), steps.end(), std::back_inserter(tree), [](const std::string& s) { return s != "yield"; });
    return tree;
  }

 private:
  const Slots& lent_;
};

TEST(StoreBrowser, FailedLogOnComesBackAsAValueAndTouchesNothing) {
  ScratchDir scratch;
  ProfileGuard profile(scratch / "no-such-profile");
  Slots lent;

  const StoreListing listing = lent.browser.ListStores();
  ASSERT_TRUE(listing.error);
  EXPECT_EQ(listing.error->failure, BrowseFailure::LogOn);
  EXPECT_FALSE(listing.error->detail.empty());
  EXPECT_TRUE(listing.stores.empty());
  EXPECT_TRUE(lent.Empty());

  RecordingSink sink(lent);
  const TreeFill fill = lent.browser.ShowStore(StoreListEntry("Mailbox", "0000ABCD"), sink);
  ASSERT_TRUE(fill.error);
  EXPECT_EQ(fill.error->failure, BrowseFailure::LogOn);
  EXPECT_EQ(fill.store_id, std::nullopt);  // the identifier is read only once logged on
  EXPECT_TRUE(sink.steps.empty());
  EXPECT_TRUE(lent.Empty());

  bool shown = false;
  const TreeFill load = lent.browser.OpenPst((scratch / "any.pst").string(), [&](const std::string&) { shown = true; });
  ASSERT_TRUE(load.error);
  EXPECT_EQ(load.error->failure, BrowseFailure::LogOn);
  EXPECT_FALSE(shown);
  EXPECT_TRUE(lent.Empty());
}

TEST(StoreBrowser, ListsTheOfferedStoresAsValuesInFullOnEveryListing) {
  ScratchDir scratch;
  const auto first = WriteStore(scratch / "first.pst", "First Mailbox");
  const auto second = WriteStore(scratch / "second.pst", "Second #2");
  ProfileGuard profile(WriteProfile(scratch / "profile", {first, scratch / "missing.pst", second}));
  Slots lent;

  const StoreListing listing = lent.browser.ListStores();
  EXPECT_FALSE(listing.error);
  ASSERT_EQ(listing.stores.size(), 2u);  // the missing file is not offered
  const auto second_store = outlook::OpenStoreFile(second);
  EXPECT_EQ(listing.stores[1].entry, StoreListEntry("Second #2", second_store->StoreID()));
  EXPECT_EQ(listing.stores[1].label, StoreEntryLabel("Second #2", second.string()));
  EXPECT_EQ(listing.stores[1].path, second_store->PstPath());
  EXPECT_EQ(StoreIdOfEntry(listing.stores[0].entry), outlook::OpenStoreFile(first)->StoreID());
  EXPECT_TRUE(lent.Empty());

  // A second listing offers every store again (the window appends them all
  // a second time), not only what changed since the first.
  const StoreListing again = lent.browser.ListStores();
  ASSERT_EQ(again.stores.size(), 2u);
  EXPECT_EQ(again.stores[0].entry, listing.stores[0].entry);
  EXPECT_EQ(again.stores[1].entry, listing.stores[1].entry);
  EXPECT_TRUE(lent.Empty());
}

TEST(StoreBrowser, PickedEntryReplacesTheTreeOnlyOnceItsStoreIsOpen) {
  ScratchDir scratch;
  const auto path = WriteStore(scratch / "mailbox.pst", "Team #7");
  ProfileGuard profile(WriteProfile(scratch / "profile", {path}));
  Slots lent;
  const std::string id = outlook::OpenStoreFile(path)->StoreID();

  RecordingSink sink(lent);
  const TreeFill fill = lent.browser.ShowStore(StoreListEntry("Team #7", id), sink);
  EXPECT_FALSE(fill.error);
  EXPECT_EQ(fill.store_id, id);
  // (Every store file has its deleted-items folder.)
  EXPECT_EQ(sink.TreeSteps(), (std::vector<std::string>{"remove", "Team #7", "root shown", "Deleted Items (0)",
                                                        "Inbox (0)", "To do (0)", "Calendar (0)", "completed"}));
  // It yields once logged on, before touching the tree, and once more
  // between logging off and completing the tree.
  EXPECT_EQ(sink.steps.front(), "yield");
  EXPECT_EQ(sink.steps[sink.steps.size() - 2], "yield");
  EXPECT_TRUE(sink.held_at_every_node);
  EXPECT_TRUE(sink.released_before_completion);
  EXPECT_TRUE(lent.Empty());

  // A store that cannot be found: the identifier is known, the tree is
  // left exactly as it was.
  RecordingSink lost(lent);
  const TreeFill missing = lent.browser.ShowStore(StoreListEntry("Lost", "NOSUCHSTORE"), lost);
  ASSERT_TRUE(missing.error);
  EXPECT_EQ(missing.error->failure, BrowseFailure::StoreNotFound);
  EXPECT_FALSE(missing.error->detail.empty());
  EXPECT_EQ(missing.store_id, "NOSUCHSTORE");
  EXPECT_TRUE(lost.TreeSteps().empty());
  EXPECT_TRUE(lent.Empty());

  // The list's initial text names no store: no identifier, tree untouched.
  RecordingSink initial(lent);
  const TreeFill none = lent.browser.ShowStore("---- Select a Outlook Mailbox ----", initial);
  ASSERT_TRUE(none.error);
  EXPECT_EQ(none.error->failure, BrowseFailure::NotAStoreEntry);
  EXPECT_EQ(none.store_id, std::nullopt);
  EXPECT_TRUE(initial.TreeSteps().empty());
  EXPECT_TRUE(lent.Empty());
}

TEST(StoreBrowser, PstIsShownWhileHeldAndOneThatCannotBeOpenedIsNotLoaded) {
  ScratchDir scratch;
  const auto path = WriteStore(scratch / "archive.pst", "Archive");
  ProfileGuard profile(WriteProfile(scratch / "profile", {}));
  Slots lent;

  std::vector<std::string> shown;
  bool held_while_shown = false;
  const TreeFill load = lent.browser.OpenPst("  " + path.string() + "  ", [&](const std::string& id) {
    shown.push_back(id);
    held_while_shown = lent.Held() && lent.store->DisplayName() == "Archive";
  });
  EXPECT_FALSE(load.error);
  const std::string id = outlook::OpenStoreFile(path)->StoreID();
  EXPECT_EQ(shown, std::vector<std::string>{id});
  EXPECT_EQ(load.store_id, id);
  EXPECT_TRUE(held_while_shown);
  EXPECT_TRUE(lent.Empty());

  // Not a store, or no file at all: not loaded, nothing shown, nothing held.
  testing::WriteFile(scratch / "not-a-store.pst", "plain text, not a store");
  for (const auto& bad : {scratch / "not-a-store.pst", scratch / "gone.pst"}) {
    bool called = false;
    const TreeFill refused = lent.browser.OpenPst(bad.string(), [&](const std::string&) { called = true; });
    ASSERT_TRUE(refused.error) << bad;
    EXPECT_EQ(refused.error->failure, BrowseFailure::NotLoaded) << bad;
    EXPECT_FALSE(refused.error->detail.empty()) << bad;
    EXPECT_EQ(refused.store_id, std::nullopt) << bad;
    EXPECT_FALSE(called) << bad;
    EXPECT_TRUE(lent.Empty()) << bad;
  }

  // A fill that fails half-way is a read failure of that store, and the
  // session still goes.
  const TreeFill broken = lent.browser.OpenPst(path.string(), [](const std::string&) {
    throw outlook::OutlookError("folder damaged");
  });
  ASSERT_TRUE(broken.error);
  EXPECT_EQ(broken.error->failure, BrowseFailure::ReadFailed);
  EXPECT_EQ(broken.error->detail, "folder damaged");
  EXPECT_EQ(broken.store_id, id);
  EXPECT_TRUE(lent.Empty());
}

TEST(StoreBrowser, FillThatFailsHalfWayKeepsItsNodesAndNeverCompletes) {
  testing::FakeStore store("Broken");
  store.Top().Add("Fine", "IPM.Note", 1);
  store.Top().Add("Damaged", "IPM.Note", 1).fail_count = true;
  store.Top().Add("Never reached", "IPM.Note", 1);
  Slots lent;
  RecordingSink sink(lent);
  EXPECT_THROW(StoreBrowser::FillTree(store, sink), outlook::OutlookError);
  EXPECT_EQ(sink.TreeSteps(), (std::vector<std::string>{"remove", "Broken", "root shown", "Fine (1)"}));
}

}  // namespace
}  // namespace norvexa::source
