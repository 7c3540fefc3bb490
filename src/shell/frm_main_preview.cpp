// frmMain, tab " Mailbox Preview": its members call the handlers of the
// source library (source/mailbox_preview.h) on this window, and the save
// window is opened here, for the hand-over.
#include "shell/frm_main.h"

#include "windows/frm_save.h"

namespace norvexa::shell {

void frmMain::CmdExportConfigured_Click() { source::ExportConfiguredClick(*this); }

void frmMain::CmdExportOther_Click() { source::ExportOtherClick(*this); }

void frmMain::CmbOutlookStores_Click() { source::StoreListClick(*this); }

bool frmMain::ShowMailboxFolders() { return source::ShowMailboxFolders(*this); }

void frmMain::ShowPstFolders(const std::string& /*store_id*/) { source::ShowPstFolders(*this); }

void frmMain::YieldToMessageLoop() { source::YieldToMessageLoop(); }

void frmMain::CmdStartConversion_Click() { source::StartConversionClick(*this); }

void frmMain::OpenSaveWindow() {
  // Every showing loads the window afresh; closing it unloads it.
  if (!SaveWindow) SaveWindow = new windows::frmSave(this);
  SaveWindow->PrepareForNewDatabase();
  SaveWindow->exec();
  delete SaveWindow.data();
}

}  // namespace norvexa::shell
