// The save window: captions, enabling rules, and the choosers that start the
// run at once.
#include "conversion/frm_save.h"
#include "conversion/global/global.h"
#include "run_environment.h"
#include "support/scripted_services.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace norvexa::conversion {
namespace {

bool RunStarted(const testing::ScriptedServices& services) {
  // Started against a store that cannot be opened: the run says so.
  return !services.messages.empty() && services.messages.back().title == "Norvexa" &&
         services.messages.back().text.startsWith("Could not");
}

TEST(SaveWindow, StartsWithItsCaptionsAndNothingToPress) {
  Global::ExcludeFromViewValues = {"", ""};
  frmSave form;
  EXPECT_EQ(form.windowTitle(), "Export Outlook Mailbox to Lotus Notes");
  EXPECT_TRUE(form.isModal());
  EXPECT_EQ(form.OptNewNSF->text(), "Save in New NSF file");
  EXPECT_EQ(form.OptExistingNSF->text(), "Save in Existing NSF file");
  EXPECT_EQ(form.CmdNewNSF->text(), "&Select...");
  EXPECT_EQ(form.CmdExistingNSF->text(), "&Select...");
  EXPECT_EQ(form.CmdConversion->text(), "&Export Mailbox");
  EXPECT_EQ(form.ExportFrame->title(), " Export Progress Details");
  EXPECT_EQ(form.LblSaveHeader->text(), "Click Export Mailbox Button to Start Export Process");
  EXPECT_EQ(form.LblSubject->text(), "Subject :");
  EXPECT_TRUE(form.txtNSFFileName->isReadOnly());
  EXPECT_TRUE(form.txtExNSFFileName->isReadOnly());
  EXPECT_FALSE(form.CmdConversion->isEnabled());
  EXPECT_FALSE(form.CmdNewNSF->isEnabled());
  EXPECT_FALSE(form.CmdExistingNSF->isEnabled());
  EXPECT_EQ(Global::ExcludeFromViewValues[0], "D");
  EXPECT_EQ(Global::ExcludeFromViewValues[1], "S");
}

TEST(SaveWindow, OptionsEnableTheirOwnGroupOnly) {
  frmSave form;
  form.PrepareForNewDatabase();
  form.OptExistingNSF->click();
  EXPECT_TRUE(form.OptExistingNSF->isChecked());
  EXPECT_FALSE(form.OptNewNSF->isChecked());
  EXPECT_TRUE(form.txtExNSFFileName->isEnabled());
  EXPECT_TRUE(form.CmdExistingNSF->isEnabled());
  EXPECT_FALSE(form.txtNSFFileName->isEnabled());
  EXPECT_FALSE(form.CmdNewNSF->isEnabled());

  form.OptExistingNSF->click();  // clicking the chosen option keeps it chosen
  EXPECT_TRUE(form.OptExistingNSF->isChecked());

  form.OptNewNSF->click();
  EXPECT_TRUE(form.OptNewNSF->isChecked());
  EXPECT_FALSE(form.OptExistingNSF->isChecked());
  EXPECT_TRUE(form.txtNSFFileName->isEnabled());
  EXPECT_TRUE(form.CmdNewNSF->isEnabled());
  EXPECT_FALSE(form.txtExNSFFileName->isEnabled());
  EXPECT_FALSE(form.CmdExistingNSF->isEnabled());
}

TEST(SaveWindow, ExportButtonFollowsTheLastChangedTextBox) {
  frmSave form;
  form.txtNSFFileName->setText("   ");
  EXPECT_FALSE(form.CmdConversion->isEnabled());
  form.txtNSFFileName->setText(" /out ");
  EXPECT_TRUE(form.CmdConversion->isEnabled());
  form.txtExNSFFileName->setText("x");
  form.txtExNSFFileName->setText("  ");  // the last change decides
  EXPECT_FALSE(form.CmdConversion->isEnabled());
}

TEST(SaveWindow, ChoosingAFolderStartsTheRunAndCancellingStartsNothing) {
  testing::RunEnvironment env;
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + sys::PathSeparator().toStdString());
  Global::SelectedStoreId = "no-such-store";
  Global::SelectedFolders = {"x#y"};
  frmSave form;
  form.PrepareForNewDatabase();

  // Cancelled: the box keeps its text, the path is emptied, nothing runs.
  form.txtNSFFileName->setText("/earlier");
  Global::NsfFilePath = "/earlier";
  form.CmdNewNSF->click();
  ASSERT_EQ(services.folder_prompts.size(), 1u);
  EXPECT_EQ(services.folder_prompts[0], "Select Folder to Save NSF File");
  EXPECT_EQ(form.txtNSFFileName->text(), "/earlier");
  EXPECT_EQ(Global::NsfFilePath, "");
  EXPECT_TRUE(services.messages.empty());

  // Chosen: shown in the box, and the run starts without another click.
  const QString out = QString::fromStdString((env.scratch() / "out").string());
  services.folders.push_back(out);
  form.CmdNewNSF->click();
  EXPECT_EQ(form.txtNSFFileName->text(), out);
  EXPECT_TRUE(RunStarted(services));
  // The run could not open the store: the window stays, the selection too.
  EXPECT_NE(form.result(), QDialog::Accepted);
  EXPECT_EQ(Global::SelectedFolders.size(), 1u);
}

TEST(SaveWindow, ChoosingAFileStartsTheRunAndCancellingClearsTheChoice) {
  testing::RunEnvironment env;
  testing::ScriptedServices services;
  Global::SelectedStoreId = "no-such-store";
  frmSave form;
  form.PrepareForNewDatabase();
  form.OptExistingNSF->click();

  services.open_file_names.push_back("/some/where/mail.nsf");
  form.CmdExistingNSF->click();
  ASSERT_EQ(services.open_file_filters.size(), 1u);
  EXPECT_EQ(services.open_file_filters[0], "Lotus Notes Mailbox (*.nsf)|*.nsf");
  EXPECT_EQ(form.txtExNSFFileName->text(), "/some/where/mail.nsf");
  EXPECT_TRUE(RunStarted(services));
  const std::size_t shown = services.messages.size();

  form.CmdExistingNSF->click();  // cancelled
  EXPECT_EQ(form.txtExNSFFileName->text(), "");
  EXPECT_FALSE(form.CmdConversion->isEnabled());
  EXPECT_EQ(services.messages.size(), shown);
}

}  // namespace
}  // namespace norvexa::conversion
