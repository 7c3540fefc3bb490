// frmMain, the hand-over: the ticked folders go into SelectedFolders and the
// save window opens, set for a new database.
#include "shell/frm_main.h"

#include "conversion/frm_save.h"
#include "conversion/global/global.h"
#include "platform/system/system_services.h"
#include "source/folder_selection.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace norvexa::shell {

void frmMain::CmdStartConversion_Click() {
  const std::vector<source::TickedNode> nodes = source::ReadTicks(OutlookFoldersTree);
  Global::SelectedFolders = source::CollectSelectedFolders(nodes);
  Global::SelectedFolderCounts = source::CollectSelectedCounts(nodes);
  if (source::CountSelectedFolders(Global::SelectedFolders) < 1) {
    sys::ShowNotice(this, "Please Select Folders to Export", "Export Outlook Folders to Lotus Notes");
    return;
  }

  // Every showing loads the window afresh; closing it unloads it.
  if (!SaveWindow) SaveWindow = new conversion::frmSave(this);
  SaveWindow->PrepareForNewDatabase();
  SaveWindow->exec();
  delete SaveWindow.data();
}

}  // namespace norvexa::shell
