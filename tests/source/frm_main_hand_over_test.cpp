// "Start Conversion": the ticked folders go into SelectedFolders and the
// save window opens, set for a new database.
#include "conversion/global/global.h"
#include "shell/frm_main.h"
#include "shell/shell_test_support.h"
#include "source/fake_store.h"
#include "source/folders_tree.h"
#include "support/scripted_services.h"
#include "windows/frm_save.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace norvexa::shell {
namespace {

using testing::FakeStore;
using testing::ScriptedServices;

// What the save window looked like when it came up.
struct SaveWindowState {
  bool shown = false;
  QWidget* owner = nullptr;
  bool new_selected = false, existing_selected = false;
  bool new_text = false, new_button = false, existing_text = false, existing_button = false;
};

// Presses Start Conversion on W; records the save window's state if it
// comes up, lets TWEAK change it, then closes it.
SaveWindowState PressStart(frmMain& w, std::function<void(windows::frmSave*)> tweak = {}) {
  SaveWindowState state;
  const auto watch_modal = testing::OnNextModal([&state, tweak](QWidget* modal) {
    auto* save = qobject_cast<windows::frmSave*>(modal);
    if (!save) {
      modal->close();
      return;
    }
    state.shown = true;
    state.owner = save->parentWidget();
    state.new_selected = save->OptNewNSF->isChecked();
    state.existing_selected = save->OptExistingNSF->isChecked();
    state.new_text = save->txtNSFFileName->isEnabled();
    state.new_button = save->CmdNewNSF->isEnabled();
    state.existing_text = save->txtExNSFFileName->isEnabled();
    state.existing_button = save->CmdExistingNSF->isEnabled();
    if (tweak) tweak(save);
    save->reject();
  });
  w.CmdStartConversion_Click();
  return state;
}

// A main window showing a root and three folders A, B, C.
void FillRootAndThree(frmMain& w) {
  auto store = std::make_unique<FakeStore>("S");
  store->Top().Add("A", "IPM.Note", 1);
  store->Top().Add("B", "IPM.Note", 1);
  store->Top().Add("C", "IPM.Task", 1);
  w.CurrentStore = std::move(store);
  w.ShowPstFolders("");
  w.CurrentStore.reset();
}

TEST(HandOver, SecondAndThirdTickedGoToTheFirstIndicesAndTheSaveWindowOpensForANewDatabase) {
  ScriptedServices services;
  frmMain w;
  w.show();
  FillRootAndThree(w);
  const std::string b = source::NodeFolderReference(source::NodeAt(w.OutlookFoldersTree, 3));
  const std::string c = source::NodeFolderReference(source::NodeAt(w.OutlookFoldersTree, 4));
  source::NodeAt(w.OutlookFoldersTree, 2)->setCheckState(0, Qt::Unchecked);

  Global::SelectedFolders = {"stale"};
  const SaveWindowState state = PressStart(w, [](windows::frmSave* save) {
    // Leave it set for an existing database; the next press resets it.
    save->OptExistingNSF->click();
  });
  EXPECT_EQ(Global::SelectedFolders, (std::vector<std::string>{b, c, "", "", ""}));
  EXPECT_TRUE(services.messages.empty());
  ASSERT_TRUE(state.shown);
  EXPECT_EQ(state.owner, &w);
  EXPECT_TRUE(state.new_selected);
  EXPECT_FALSE(state.existing_selected);
  EXPECT_TRUE(state.new_text);
  EXPECT_TRUE(state.new_button);
  EXPECT_FALSE(state.existing_text);
  EXPECT_FALSE(state.existing_button);

  const SaveWindowState again = PressStart(w);
  ASSERT_TRUE(again.shown);
  EXPECT_TRUE(again.new_selected);
  EXPECT_FALSE(again.existing_selected);
  EXPECT_TRUE(again.new_button);
  EXPECT_FALSE(again.existing_button);
  // The ticks are left as they were.
  EXPECT_FALSE(source::NodeTicked(source::NodeAt(w.OutlookFoldersTree, 2)));
}

TEST(HandOver, NothingTickedOrOnlyTheRootSaysSoAndOpensNothing) {
  ScriptedServices services;
  frmMain w;
  w.show();
  EXPECT_FALSE(PressStart(w).shown);  // an empty tree
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].text, "Please Select Folders to Export");
  EXPECT_EQ(services.messages[0].title, "Export Outlook Folders to Lotus Notes");
  EXPECT_EQ(services.messages[0].icon, sys::Icon::Information);
  EXPECT_EQ(services.messages[0].buttons, sys::Buttons::Ok);
  EXPECT_EQ(Global::SelectedFolders, std::vector<std::string>(1));

  FillRootAndThree(w);
  for (int i = 2; i <= 4; ++i) source::NodeAt(w.OutlookFoldersTree, i)->setCheckState(0, Qt::Unchecked);
  EXPECT_FALSE(PressStart(w).shown);
  EXPECT_EQ(services.messages.size(), 2u);
  EXPECT_EQ(Global::SelectedFolders, std::vector<std::string>(5));
}

TEST(HandOver, TickedChildUnderUntickedParentIsCollected) {
  ScriptedServices services;
  frmMain w;
  w.show();
  auto store = std::make_unique<FakeStore>("S");
  store->Top().Add("Parent", "IPM.Note").Add("Child", "IPM.Note");
  w.CurrentStore = std::move(store);
  w.ShowPstFolders("");
  source::NodeAt(w.OutlookFoldersTree, 1)->setCheckState(0, Qt::Unchecked);
  source::NodeAt(w.OutlookFoldersTree, 2)->setCheckState(0, Qt::Unchecked);
  const std::string child = source::NodeFolderReference(source::NodeAt(w.OutlookFoldersTree, 3));
  EXPECT_TRUE(PressStart(w).shown);
  EXPECT_EQ(Global::SelectedFolders, (std::vector<std::string>{child, "", "", ""}));
}

}  // namespace
}  // namespace norvexa::shell
