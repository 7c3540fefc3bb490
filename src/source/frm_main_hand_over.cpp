// The main window's hand-over: the ticked folders go into SelectedFolders
// and the save window opens, set for a new database.
#include "source/mailbox_preview.h"

#include "conversion/global/global.h"
#include "platform/system/system_services.h"
#include "source/folder_selection.h"


namespace norvexa::source {

void StartConversionClick(MailboxPreview& window) {
  const std::vector<TickedNode> nodes = ReadTicks(window.FolderTree());
  Global::SelectedFolders = CollectSelectedFolders(nodes);
  Global::SelectedFolderCounts = CollectSelectedCounts(nodes);
  if (CountSelectedFolders(Global::SelectedFolders) < 1) {
    sys::ShowNotice(window.PreviewOwner(), "Please Select Folders to Export", "Export Outlook Folders to Lotus Notes");
    return;
  }
  window.OpenSaveWindow();
}

}  // namespace norvexa::source
