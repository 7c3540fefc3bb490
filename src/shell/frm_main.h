// frmMain: the main window. Its frame (banner, tabs, status bar, menus),
// the source choice of tab " Select File", and the store list, folder tree
// and folder hand-over of tab " Mailbox Preview". The handlers are split
// over one file per concern: the frame's and the source choice's in
// shell/frm_main*.cpp; those of tab " Mailbox Preview" are the source
// library's (source/mailbox_preview.h), which works on this window through
// the interface MailboxPreview that it implements (shell/frm_main_preview.cpp),
// so that the source library needs nothing of the shell's.
#pragma once

#include "platform/outlook/outlook.h"
#include "source/folders_tree.h"
#include "source/mailbox_preview.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <string>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;

namespace norvexa::windows {
class frmSave;
}

namespace norvexa::shell {

class ImageList;

class frmMain : public QMainWindow, public source::MailboxPreview {
  Q_OBJECT

 public:
  // The caption of the main window.
  static constexpr const char* kCaption = "Norvexa v6.0 - Release 1209";

  explicit frmMain(QWidget* parent = nullptr);
  ~frmMain() override;

  // Banner.
  QLabel* LblMaker = nullptr;
  QLabel* LblProduct = nullptr;
  QLabel* LblTagline = nullptr;

  // Tabs: index 0 is tab 1 " Select File", index 1 is tab 2 " Mailbox Preview".
  QTabWidget* NotesTab = nullptr;

  // Tab 1: the source choice.
  QGroupBox* SourceFrame = nullptr;
  QRadioButton* OptConfiguredPST = nullptr;
  QPushButton* CmdExportConfigured = nullptr;
  QRadioButton* OptOtherPST = nullptr;
  QGroupBox* OtherPSTFrame = nullptr;
  QPushButton* CmdBrowse = nullptr;
  QLineEdit* txtNotesDatabaseFile = nullptr;
  QPushButton* CmdExportOther = nullptr;
  QGroupBox* HelpFrame = nullptr;
  QLabel* LblHelp = nullptr;
  QLabel* LblSupports = nullptr;

  // Tab 2: the store list, the folder tree and the start button.
  QLabel* LblStores = nullptr;
  QComboBox* CmbOutlookStores = nullptr;
  QLabel* LblFolders = nullptr;
  QTreeWidget* OutlookFoldersTree = nullptr;
  QPushButton* CmdStartConversion = nullptr;

  // Status bar panels (widths 150, 200, 400).
  QLabel* StatusPanel1 = nullptr;
  QLabel* StatusPanel2 = nullptr;
  QLabel* StatusPanel3 = nullptr;

  // Menu entries.
  QAction* mnuExit = nullptr;
  QAction* mnuHelp = nullptr;
  QAction* mnuAbout = nullptr;

  // The image list the folder tree draws from.
  std::unique_ptr<ImageList> SmallIcons;
  // The picture of an image slot of SmallIcons, as the folder tree asks
  // for it.
  source::ImageLookup FolderImage;

  // The store-access session and the store being read; held only while a
  // store list or a folder tree is being filled (the store browser holds
  // them here and empties both before it returns).
  std::unique_ptr<outlook::Session> CurrentSession;
  std::unique_ptr<outlook::Store> CurrentStore;

  // The save window while it is shown (owned by this window).
  QPointer<windows::frmSave> SaveWindow;

  // ---- Frame and menus (frm_main.cpp) ----
  void Form_Load();
  void mnuExit_Click();
  void mnuHelp_Click();
  void mnuAbout_Click();

  // ---- Source choice (frm_main_source_choice.cpp) ----
  void OptConfiguredPST_Click();
  void OptOtherPST_Click();
  void CmdBrowse_Click();
  void txtNotesDatabaseFile_Change();

  // ---- Tab " Mailbox Preview" (frm_main_preview.cpp) ----
  // Each calls its handler of source/mailbox_preview.h on this window.
  void CmdExportConfigured_Click();
  void CmdExportOther_Click();
  void CmbOutlookStores_Click();
  // Fills the tree for the store of the current CmbOutlookStores entry
  // (source::ShowMailboxFolders); true when the fill completed.
  bool ShowMailboxFolders();
  // Fills the tree from CurrentStore (an opened .pst). STORE_ID is not used.
  // Throws OutlookError when the store cannot be read; nodes added so far stay.
  void ShowPstFolders(const std::string& store_id);
  // Lets the windows repaint during long work.
  static void YieldToMessageLoop();
  void CmdStartConversion_Click();

  // source::MailboxPreview: the controls of the tab, the store being read,
  // the folder images, and the save window (made afresh for every showing,
  // set for a new database, unloaded when closed).
  QWidget* PreviewOwner() override { return this; }
  QTabWidget* PreviewTabs() override { return NotesTab; }
  QLineEdit* PstPathBox() override { return txtNotesDatabaseFile; }
  QComboBox* StoreList() override { return CmbOutlookStores; }
  QTreeWidget* FolderTree() override { return OutlookFoldersTree; }
  QPushButton* StartButton() override { return CmdStartConversion; }
  std::unique_ptr<outlook::Session>& PreviewSession() override { return CurrentSession; }
  std::unique_ptr<outlook::Store>& PreviewStore() override { return CurrentStore; }
  const source::ImageLookup& FolderImages() override { return FolderImage; }
  void OpenSaveWindow() override;

  // The size the window has for good: its design size, or more when its
  // contents (the three status bar panels, larger fonts) need more.
  QSize FixedSize() const;

 protected:
  // A window manager that maximises the window or makes it full screen
  // regardless of its fixed size is undone: the window returns to its size.
  void changeEvent(QEvent* event) override;
  // Fixes the window's size with everything in it shown.
  void showEvent(QShowEvent* event) override;

 private:
  void BuildBanner(QWidget* host);
  QWidget* BuildSelectFileTab();
  QWidget* BuildMailboxPreviewTab();
  void BuildStatusBar();
  void BuildMenus();
};

}  // namespace norvexa::shell
