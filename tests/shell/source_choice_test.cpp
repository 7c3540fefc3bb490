// Tab " Select File": the two options with their help texts, the chooser
// and the enabling of the export buttons.
#include "shell/frm_main.h"
#include "shell/shell_test_support.h"
#include "support/scripted_services.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace norvexa::shell {
namespace {

const QString kDesignText =
    "This Option allows you to convert default Outlook mailbox or other configured Outlook PST files. Software will "
    "list all configured Outlook mailboxes and you can choose which mailbox you need to convert to Lotus Notes "
    "mailbox.";
const QString kConfiguredText =
    "This Option allows you to convert deafult Outlook mailbox or other configured Outlook PST files. Software will "
    "list all configured Outlook mailboxes and you can choose which mailbox you need to convert to Lotus Notes "
    "mailbox.";
const QString kOtherText = "This Option allows you to select a Outlook PST file to be converted to Lotus Notes mailbox.";

TEST(SourceChoice, StartStateAndTheTwoHelpTextsThatDifferInOneWord) {
  frmMain w;
  w.show();
  EXPECT_EQ(w.SourceFrame->title(), " Select Outlook  (.pst) file to convert");
  EXPECT_EQ(w.OptConfiguredPST->text(), "  Convert configured Outlook Mailboxes");
  EXPECT_EQ(w.OptOtherPST->text(), "  Convert Other PST file");
  EXPECT_EQ(w.OtherPSTFrame->title(), " Select Outlook File (.pst) ");
  EXPECT_EQ(w.HelpFrame->title(), " Help");
  EXPECT_EQ(w.LblSupports->text(), "Supports Outlook 2000, 2002 (XP), 2003, 2007");
  EXPECT_EQ(w.CmdBrowse->text(), "Browse...");
  EXPECT_EQ(w.CmdExportConfigured->text(), "Export Mailbox");
  EXPECT_EQ(w.CmdExportOther->text(), "Export Mailbox");

  EXPECT_TRUE(w.OptConfiguredPST->isChecked());
  EXPECT_FALSE(w.OtherPSTFrame->isEnabled());
  EXPECT_TRUE(w.CmdExportConfigured->isEnabled());
  EXPECT_TRUE(w.txtNotesDatabaseFile->isReadOnly());
  EXPECT_EQ(w.txtNotesDatabaseFile->text(), "");
  EXPECT_EQ(w.LblHelp->text(), kDesignText);

  w.OptOtherPST->click();
  EXPECT_TRUE(w.OtherPSTFrame->isEnabled());
  EXPECT_FALSE(w.CmdExportConfigured->isEnabled());
  EXPECT_FALSE(w.CmdExportOther->isEnabled());
  EXPECT_TRUE(w.CmdBrowse->isEnabled());
  EXPECT_EQ(w.LblHelp->text(), kOtherText);

  w.OptConfiguredPST->click();
  EXPECT_FALSE(w.OtherPSTFrame->isEnabled());
  EXPECT_FALSE(w.CmdExportOther->isEnabled());
  EXPECT_TRUE(w.CmdExportConfigured->isEnabled());
  EXPECT_FALSE(w.CmdBrowse->isEnabled());
  EXPECT_EQ(w.LblHelp->text(), kConfiguredText);
  EXPECT_NE(kConfiguredText, kDesignText);
}

TEST(SourceChoice, BrowseFillsThePathCancelClearsItAndTabTwoIsDisabled) {
  frmMain w;
  w.show();
  testing::ScriptedServices services;
  w.OptOtherPST->click();

  services.open_file_names = {"/data/Archive 2007.pst"};
  w.NotesTab->setTabEnabled(1, true);
  w.CmdBrowse->click();
  ASSERT_EQ(services.open_file_filters, std::vector<QString>{"Outlook Mailbox (*.pst)|*.pst"});
  EXPECT_EQ(w.txtNotesDatabaseFile->text(), "/data/Archive 2007.pst");
  EXPECT_TRUE(w.CmdExportOther->isEnabled());
  EXPECT_FALSE(w.NotesTab->isTabEnabled(1));

  // Selecting the option again disables the button although a path shows.
  w.OptConfiguredPST->click();
  w.OptOtherPST->click();
  EXPECT_EQ(w.txtNotesDatabaseFile->text(), "/data/Archive 2007.pst");
  EXPECT_FALSE(w.CmdExportOther->isEnabled());

  // A cancelled second browse clears the earlier choice.
  w.NotesTab->setTabEnabled(1, true);
  w.CmdBrowse->click();
  EXPECT_EQ(w.txtNotesDatabaseFile->text(), "");
  EXPECT_FALSE(w.CmdExportOther->isEnabled());
  EXPECT_FALSE(w.NotesTab->isTabEnabled(1));

  // A path of blanks still counts as text: no trimming.
  services.open_file_names = {" "};
  w.CmdBrowse->click();
  EXPECT_TRUE(w.CmdExportOther->isEnabled());
  EXPECT_TRUE(services.messages.empty());
}

}  // namespace
}  // namespace norvexa::shell
