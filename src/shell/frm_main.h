// frmMain: the main window. Its frame (banner, tabs, status bar, menus),
// the source choice of tab " Select File", and the store list, folder tree
// and folder hand-over of tab " Mailbox Preview". The handlers are split
// over one file per concern: the frame's and the source choice's in
// shell/frm_main*.cpp, those of tab " Mailbox Preview" in
// source/frm_main_*.cpp beside the plain classes that do their work (the
// store browser, the folder tree and the hand-over). Those files use
// nothing of shell/ but this header, so the source library does not depend
// on the shell's.
#pragma once

#include "platform/outlook/outlook.h"
#include "source/folders_tree.h"

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

namespace norvexa::conversion {
class frmSave;
}

namespace norvexa::shell {

class ImageList;

class frmMain : public QMainWindow {
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
  QPointer<conversion::frmSave> SaveWindow;

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

  // ---- Store session and store list (source/frm_main_store_list.cpp) ----
  void CmdExportConfigured_Click();
  void CmdExportOther_Click();
  void CmbOutlookStores_Click();

  // ---- Folder tree (source/frm_main_folder_tree.cpp) ----
  // Fills the tree for the store of the current CmbOutlookStores entry in a
  // session of its own, which is logged off and released on every path. A
  // failure is shown to the user; the tree then keeps the nodes added so far
  // unticked (or, when the store was not found, its earlier nodes). Returns
  // true when the fill completed.
  bool ShowMailboxFolders();
  // Fills the tree from CurrentStore (an opened .pst). STORE_ID is not used.
  // Throws OutlookError when the store cannot be read; nodes added so far stay.
  void ShowPstFolders(const std::string& store_id);

  // Lets the windows repaint during long work.
  static void YieldToMessageLoop();

  // ---- Folder hand-over (source/frm_main_hand_over.cpp) ----
  void CmdStartConversion_Click();

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

  // Shows "Outlook NOT installed or configured properly.", with DETAIL (what
  // the store access said) behind "Show Details": the box for a session that
  // could not be logged on (source/frm_main_store_list.cpp).
  void ShowOutlookNotConfigured(const std::string& detail);
};

}  // namespace norvexa::shell
