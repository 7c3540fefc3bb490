// The handlers of the main window's tab " Mailbox Preview": listing the
// stores of the profile or opening a .pst file, filling the folder tree for
// the picked store, and handing the ticked folders over to the save window.
// They work on the window through MailboxPreview, an interface of their own
// that the main window implements, so that this library needs nothing of
// the shell's; the store browser does the store work, the handlers set the
// enable states and show the boxes.
#pragma once

#include "platform/outlook/outlook.h"
#include "source/folders_tree.h"

#include <memory>
#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QWidget;

namespace norvexa::source {

// What the handlers need of the main window.
class MailboxPreview {
 public:
  virtual ~MailboxPreview() = default;
  // The window: the owner of the boxes shown.
  virtual QWidget* PreviewOwner() = 0;
  // The tabs (index 1 is " Mailbox Preview"), the .pst path box of tab
  // " Select File", the store list, the folder tree and "Start Conversion".
  virtual QTabWidget* PreviewTabs() = 0;
  virtual QLineEdit* PstPathBox() = 0;
  virtual QComboBox* StoreList() = 0;
  virtual QTreeWidget* FolderTree() = 0;
  virtual QPushButton* StartButton() = 0;
  // The store-access session and the store being read, held by the window
  // while a store list or a folder tree is filled.
  virtual std::unique_ptr<outlook::Session>& PreviewSession() = 0;
  virtual std::unique_ptr<outlook::Store>& PreviewStore() = 0;
  // The picture of an image slot of the window's small icons.
  virtual const ImageLookup& FolderImages() = 0;
  // Opens the save window, set for a new database, modal over the window;
  // returns once it is closed.
  virtual void OpenSaveWindow() = 0;
};

// Lets the windows repaint during long work.
void YieldToMessageLoop();

// ---- Store session and store list (frm_main_store_list.cpp) ----

// Shows "Outlook NOT installed or configured properly.", with DETAIL (what
// the store access said) behind "Show Details": the box for a session that
// could not be logged on.
void ShowOutlookNotConfigured(MailboxPreview& window, const std::string& detail);
// "Export" of the configured profile: lists its stores and opens the tab.
void ExportConfiguredClick(MailboxPreview& window);
// "Export" of a .pst file: opens it, fills the tree and opens the tab.
void ExportOtherClick(MailboxPreview& window);
// A store picked from the list: its folders fill the tree.
void StoreListClick(MailboxPreview& window);

// ---- Folder tree (frm_main_folder_tree.cpp) ----

// Fills the tree for the store of the current store-list entry in a session
// of its own, which is logged off and released on every path. A failure is
// shown to the user; the tree then keeps the nodes added so far unticked
// (or, when the store was not found, its earlier nodes). Returns true when
// the fill completed.
bool ShowMailboxFolders(MailboxPreview& window);
// Fills the tree from the window's store (an opened .pst). Throws
// OutlookError when the store cannot be read; nodes added so far stay.
void ShowPstFolders(MailboxPreview& window);

// ---- Folder hand-over (frm_main_hand_over.cpp) ----

// "Start Conversion": the ticked folders go into SelectedFolders (with their
// counts) and the save window opens; with none ticked, a box asks for some.
void StartConversionClick(MailboxPreview& window);

}  // namespace norvexa::source
