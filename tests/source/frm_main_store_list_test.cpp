// The store list and the store session: listing the profile's stores,
// picking one, opening a .pst file, and the failures on the way.
#include "conversion/global/global.h"
#include "shell/frm_main.h"
#include "shell/shell_test_support.h"
#include "source/folders_tree.h"
#include "source/model/store_entry.h"
#include "support/fixtures.h"
#include "support/scripted_services.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace norvexa::shell {
namespace {

using testing::ProfileGuard;
using testing::ScratchDir;
using testing::ScriptedServices;
using testing::WriteProfile;

// Display name and identifier of the store file at PATH as a session sees it.
std::pair<std::string, std::string> NameAndId(const std::filesystem::path& path) {
  ScratchDir scratch;
  outlook::Session session;
  session.LogonProfile(WriteProfile(scratch / "one", {path}));
  auto store = session.Stores().Item(1);
  return {store->DisplayName(), store->StoreID()};
}

// Picks entry INDEX of the store list as the user does.
void Pick(frmMain& w, int index) {
  w.CmbOutlookStores->setCurrentIndex(index);
  w.CmbOutlookStores_Click();
}

TEST(StoreList, ListsOfferedStoresTwiceOnTwoPressesAndPicksOne) {
  NORVEXA_REQUIRE_SHARED_PST(sample, "sample1.pst");
  NORVEXA_REQUIRE_SHARED_PST(mixed, "mixed-kinds.pst");
  ScratchDir scratch;
  ProfileGuard profile(WriteProfile(scratch / "profile", {sample, scratch / "missing.pst", mixed}));
  ScriptedServices services;
  frmMain w;
  w.show();

  w.CmdExportConfigured_Click();
  ASSERT_EQ(w.CmbOutlookStores->count(), 2);  // the missing file is not offered
  const auto [sample_name, sample_id] = NameAndId(sample);
  const auto [mixed_name, mixed_id] = NameAndId(mixed);
  EXPECT_EQ(w.CmbOutlookStores->itemText(0).toStdString(), sample_name + std::string(300, ' ') + "#" + sample_id);
  EXPECT_EQ(w.CmbOutlookStores->itemText(1).toStdString(), source::StoreListEntry(mixed_name, mixed_id));
  EXPECT_TRUE(w.CmbOutlookStores->isEnabled());
  EXPECT_TRUE(w.NotesTab->isTabEnabled(1));
  EXPECT_EQ(w.NotesTab->currentIndex(), 1);
  EXPECT_FALSE(w.CmdStartConversion->isEnabled());
  EXPECT_EQ(w.CurrentSession, nullptr);
  EXPECT_EQ(w.CurrentStore, nullptr);
  EXPECT_EQ(w.CmbOutlookStores->currentText(), "");  // still the initial text

  w.CmdExportConfigured_Click();
  ASSERT_EQ(w.CmbOutlookStores->count(), 4);
  EXPECT_EQ(w.CmbOutlookStores->itemText(2), w.CmbOutlookStores->itemText(0));

  Pick(w, 1);
  EXPECT_EQ(Global::SelectedStoreId, mixed_id);
  EXPECT_EQ(w.CmbOutlookStores->currentIndex(), 1);
  EXPECT_TRUE(w.CmdStartConversion->isEnabled());
  EXPECT_TRUE(w.CmbOutlookStores->isEnabled());
  ASSERT_GE(source::NodeCount(w.OutlookFoldersTree), 2);
  EXPECT_EQ(source::NodeAt(w.OutlookFoldersTree, 1)->text(0).toStdString(), mixed_name);
  for (int i = 1; i <= source::NodeCount(w.OutlookFoldersTree); ++i)
    EXPECT_TRUE(source::NodeTicked(source::NodeAt(w.OutlookFoldersTree, i))) << i;
  EXPECT_EQ(w.CurrentSession, nullptr);
  EXPECT_EQ(w.CurrentStore, nullptr);

  // Another store replaces every node; the same one again refills.
  Pick(w, 0);
  EXPECT_EQ(Global::SelectedStoreId, sample_id);
  EXPECT_EQ(source::NodeAt(w.OutlookFoldersTree, 1)->text(0).toStdString(), sample_name);
  const int sample_nodes = source::NodeCount(w.OutlookFoldersTree);
  source::NodeAt(w.OutlookFoldersTree, 2)->setCheckState(0, Qt::Unchecked);
  Pick(w, 0);
  EXPECT_EQ(source::NodeCount(w.OutlookFoldersTree), sample_nodes);
  EXPECT_TRUE(source::NodeTicked(source::NodeAt(w.OutlookFoldersTree, 2)));
  EXPECT_TRUE(w.CmdStartConversion->isEnabled());
  EXPECT_TRUE(services.messages.empty());
}

TEST(StoreList, ProfileWithoutOfferedStoreStillShowsTabTwo) {
  ScratchDir scratch;
  ProfileGuard profile(WriteProfile(scratch / "profile", {scratch / "gone.pst"}));
  ScriptedServices services;
  frmMain w;
  w.CmbOutlookStores->setEnabled(false);
  w.CmdStartConversion->setEnabled(true);
  w.CmdExportConfigured_Click();
  EXPECT_EQ(w.CmbOutlookStores->count(), 0);
  EXPECT_FALSE(w.CmbOutlookStores->isEnabled());  // keeps its earlier state
  EXPECT_TRUE(w.NotesTab->isTabEnabled(1));
  EXPECT_EQ(w.NotesTab->currentIndex(), 1);
  EXPECT_FALSE(w.CmdStartConversion->isEnabled());
  EXPECT_TRUE(services.messages.empty());
}

TEST(StoreList, FailedLogOnSaysOutlookIsNotConfiguredAndChangesNothingElse) {
  ScratchDir scratch;
  ProfileGuard profile(scratch / "no-such-profile");
  ScriptedServices services;
  frmMain w;
  w.CmdStartConversion->setEnabled(true);
  w.CmdExportConfigured_Click();
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].text, "Outlook NOT installed or configured properly.");
  EXPECT_EQ(services.messages[0].title, "Norvexa");
  EXPECT_EQ(services.messages[0].icon, sys::Icon::Information);
  EXPECT_EQ(services.messages[0].buttons, sys::Buttons::Ok);
  EXPECT_FALSE(w.CmdStartConversion->isEnabled());
  EXPECT_FALSE(w.NotesTab->isTabEnabled(1));
  EXPECT_EQ(w.NotesTab->currentIndex(), 0);
  EXPECT_EQ(w.CurrentSession, nullptr);

  w.txtNotesDatabaseFile->setText("/somewhere/file.pst");
  w.CmdExportOther_Click();
  ASSERT_EQ(services.messages.size(), 2u);
  EXPECT_EQ(services.messages[1].text, "Outlook NOT installed or configured properly.");
  EXPECT_FALSE(w.NotesTab->isTabEnabled(1));
}

TEST(StoreList, FailedFillIsReportedReleasesItsSessionAndKeepsTheTree) {
  NORVEXA_REQUIRE_SHARED_PST(sample, "sample1.pst");
  ScratchDir scratch;
  const auto profile_path = WriteProfile(scratch / "profile", {sample});
  ProfileGuard profile(profile_path);
  ScriptedServices services;
  frmMain w;
  w.CmdExportConfigured_Click();
  Pick(w, 0);
  const int nodes = source::NodeCount(w.OutlookFoldersTree);
  ASSERT_GE(nodes, 2);

  // An entry whose store cannot be found.
  w.CmbOutlookStores->addItem(QString::fromStdString(source::StoreListEntry("Lost", "NOSUCHSTORE")));
  Pick(w, 1);
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].title, "Norvexa");
  EXPECT_FALSE(services.messages[0].detail.isEmpty());
  EXPECT_EQ(w.CurrentSession, nullptr);
  EXPECT_EQ(w.CurrentStore, nullptr);
  EXPECT_EQ(source::NodeCount(w.OutlookFoldersTree), nodes);
  EXPECT_FALSE(w.CmdStartConversion->isEnabled());
  EXPECT_TRUE(w.CmbOutlookStores->isEnabled());

  // The profile gone between listing and picking: the log-on fails.
  std::filesystem::remove(profile_path);
  Pick(w, 0);
  ASSERT_EQ(services.messages.size(), 2u);
  EXPECT_EQ(services.messages[1].text, "Outlook NOT installed or configured properly.");
  EXPECT_EQ(w.CurrentSession, nullptr);
  EXPECT_FALSE(w.CmdStartConversion->isEnabled());
}

TEST(StoreList, OpensAPstFileTrimmedAndPassesOverOneThatCannotBeOpened) {
  NORVEXA_REQUIRE_SHARED_PST(mixed, "mixed-kinds.pst");
  ScratchDir scratch;
  ProfileGuard profile(WriteProfile(scratch / "profile", {}));
  ScriptedServices services;
  frmMain w;
  w.show();
  const auto [name, id] = NameAndId(mixed);

  w.OptOtherPST->click();
  w.txtNotesDatabaseFile->setText(QString::fromStdString("  " + mixed.string() + "  "));
  w.CmdExportOther_Click();
  EXPECT_EQ(Global::SelectedStoreId, id);
  EXPECT_EQ(source::NodeAt(w.OutlookFoldersTree, 1)->text(0).toStdString(), name);
  const int nodes = source::NodeCount(w.OutlookFoldersTree);
  EXPECT_GE(nodes, 2);
  EXPECT_FALSE(w.CmbOutlookStores->isEnabled());
  EXPECT_TRUE(w.CmdStartConversion->isEnabled());
  EXPECT_TRUE(w.NotesTab->isTabEnabled(1));
  EXPECT_EQ(w.NotesTab->currentIndex(), 1);
  EXPECT_EQ(w.CurrentSession, nullptr);
  EXPECT_EQ(w.CurrentStore, nullptr);

  const std::string previous_id = Global::SelectedStoreId;
  w.NotesTab->setCurrentIndex(0);
  testing::WriteFile(scratch / "not-a-store.pst", "plain text, not a store");
  w.txtNotesDatabaseFile->setText(QString::fromStdString((scratch / "not-a-store.pst").string()));
  w.CmdExportOther_Click();
  EXPECT_TRUE(services.messages.empty());
  EXPECT_FALSE(w.CmdStartConversion->isEnabled());
  EXPECT_EQ(source::NodeCount(w.OutlookFoldersTree), nodes);
  EXPECT_EQ(Global::SelectedStoreId, previous_id);
  EXPECT_TRUE(w.NotesTab->isTabEnabled(1));
  EXPECT_EQ(w.NotesTab->currentIndex(), 1);
}

}  // namespace
}  // namespace norvexa::shell
