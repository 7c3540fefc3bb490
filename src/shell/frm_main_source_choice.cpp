// frmMain, tab " Select File": choosing between the configured stores and a
// .pst file, the help text beside the choice, and the .pst chooser.
#include "shell/frm_main.h"

#include "platform/system/system_services.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace norvexa::shell {

void frmMain::OptConfiguredPST_Click() {
  OtherPSTFrame->setEnabled(false);
  CmdExportOther->setEnabled(false);
  CmdExportConfigured->setEnabled(true);
  CmdBrowse->setEnabled(false);
  LblHelp->setText(
      "This Option allows you to convert deafult Outlook mailbox or other configured Outlook PST files. Software "
      "will list all configured Outlook mailboxes and you can choose which mailbox you need to convert to Lotus "
      "Notes mailbox.");
}

void frmMain::OptOtherPST_Click() {
  OtherPSTFrame->setEnabled(true);
  CmdExportConfigured->setEnabled(false);
  CmdExportOther->setEnabled(false);
  CmdBrowse->setEnabled(true);
  LblHelp->setText("This Option allows you to select a Outlook PST file to be converted to Lotus Notes mailbox.");
}

void frmMain::CmdBrowse_Click() {
  // A cancelled dialog gives "", which clears an earlier choice.
  txtNotesDatabaseFile->setText(sys::Services().OpenFileName(this, QString(), "Outlook Mailbox (*.pst)|*.pst"));
  NotesTab->setTabEnabled(1, false);
}

void frmMain::txtNotesDatabaseFile_Change() { CmdExportOther->setEnabled(txtNotesDatabaseFile->text().length() > 0); }

}  // namespace norvexa::shell
