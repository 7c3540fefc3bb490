// The main window's frame: caption, banner, tabs, status bar, menus, the
// image list, and the three menu commands.
#include "shell/frm_about.h"
#include "shell/frm_main.h"
#include "shell/image_list.h"
#include "shell/maker.h"
#include "shell/shell_test_support.h"
#include "support/scripted_services.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTabWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace norvexa::shell {
namespace {

using testing::ProgramExited;
using testing::ScriptedServices;

TEST(MainWindow, FrameAsTheUserFirstSeesIt) {
  frmMain w;
  EXPECT_EQ(w.windowTitle(), "Norvexa v6.0 - Release 1209");
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);

  EXPECT_EQ(w.LblMaker->text(), kMakerName);
  EXPECT_EQ(w.LblProduct->text(), "Norvexa");
  EXPECT_EQ(w.LblTagline->text(), "Migrate Outlook Emails, Contacts, Calendar, Tasks to Lotus Notes");

  ASSERT_EQ(w.NotesTab->count(), 2);
  EXPECT_EQ(w.NotesTab->tabText(0), " Select File");
  EXPECT_EQ(w.NotesTab->tabText(1), " Mailbox Preview");
  EXPECT_EQ(w.NotesTab->currentIndex(), 0);
  EXPECT_FALSE(w.NotesTab->isTabEnabled(1));
  // A disabled tab cannot be selected by the user.
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QTest::mouseClick(w.NotesTab->tabBar(), Qt::LeftButton, {}, w.NotesTab->tabBar()->tabRect(1).center());
  EXPECT_EQ(w.NotesTab->currentIndex(), 0);

  EXPECT_EQ(w.CmbOutlookStores->placeholderText(), "---- Select a Outlook Mailbox ----");
  EXPECT_EQ(w.CmbOutlookStores->count(), 0);
  EXPECT_EQ(w.CmbOutlookStores->currentText(), "");
  EXPECT_EQ(w.OutlookFoldersTree->headerItem()->text(0), "Mailbox Folders");
  EXPECT_EQ(w.CmdStartConversion->text(), "Start Conversion");

  EXPECT_EQ(w.StatusPanel1->text(), kMakerName);
  EXPECT_EQ(w.StatusPanel1->width(), 150);
  EXPECT_TRUE(w.StatusPanel1->font().bold());
  EXPECT_EQ(w.StatusPanel2->text(), QString("Email: ") + kSupportAddress);
  EXPECT_EQ(w.StatusPanel2->width(), 200);
  EXPECT_FALSE(w.StatusPanel2->font().bold());
  EXPECT_EQ(w.StatusPanel3->text(), kWebAddress);
  EXPECT_EQ(w.StatusPanel3->width(), 400);
  EXPECT_TRUE(w.StatusPanel3->font().bold());
  EXPECT_TRUE(w.statusBar()->isSizeGripEnabled());

  const QList<QAction*> menus = w.menuBar()->actions();
  ASSERT_EQ(menus.size(), 2);
  EXPECT_EQ(menus[0]->text(), "&File");
  EXPECT_EQ(menus[1]->text(), "&Help");
  EXPECT_EQ(menus[0]->menu()->actions(), QList<QAction*>{w.mnuExit});
  EXPECT_EQ(menus[1]->menu()->actions(), (QList<QAction*>{w.mnuHelp, w.mnuAbout}));
  EXPECT_EQ(w.mnuExit->text(), "E&xit");
  EXPECT_EQ(w.mnuHelp->text(), "Contents");
  EXPECT_EQ(w.mnuAbout->text(), "&About...");
}

TEST(MainWindow, ImageListHasItsSlotsAndKeys) {
  ImageList icons;
  EXPECT_EQ(icons.Count(), 76);
  for (int slot = 0; slot < 76; ++slot) EXPECT_FALSE(icons.Image(slot).isNull()) << slot;
  EXPECT_THROW(icons.Image(76), std::out_of_range);
  EXPECT_THROW(icons.Key(-1), std::out_of_range);
  EXPECT_EQ(icons.SlotOfKey("Notesico"), 3);
  EXPECT_EQ(icons.SlotOfKey("tasks"), 58);
  EXPECT_EQ(icons.SlotOfKey("cal"), 60);
  EXPECT_EQ(icons.SlotOfKey("contacts"), 61);
  EXPECT_EQ(icons.SlotOfKey("journal"), 62);
  EXPECT_EQ(icons.SlotOfKey("Abouts"), 68);
  EXPECT_EQ(icons.SlotOfKey("follow-up"), 75);
  EXPECT_EQ(icons.SlotOfKey("Tasks"), -1);
  EXPECT_EQ(icons.Key(0), "");
  EXPECT_EQ(icons.Key(2), "");
  EXPECT_EQ(icons.Key(67), "");

  // The tree's own pictures are drawn, sharp at any size, and differ from
  // the generic folder.
  for (int slot : {0, 2, 58, 60, 61, 62, 67}) {
    for (int size : {16, 32, 64}) {
      const QImage image = icons.Image(slot).pixmap(size, size).toImage();
      EXPECT_EQ(image.size(), QSize(size, size));
      EXPECT_NE(image, icons.Image(1).pixmap(size, size).toImage()) << "slot " << slot << " size " << size;
    }
  }
}

TEST(MainWindow, ExitAsksAndOnlyYesEnds) {
  frmMain w;
  w.show();
  ScriptedServices services;
  services.answers = {sys::Answer::No};
  w.mnuExit_Click();
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].text, "Are you sure you want to close the software");
  EXPECT_EQ(services.messages[0].title, "Norvexa");
  EXPECT_EQ(services.messages[0].icon, sys::Icon::Information);
  EXPECT_EQ(services.messages[0].buttons, sys::Buttons::YesNo);
  EXPECT_TRUE(w.isVisible());

  services.answers = {sys::Answer::Yes};
  try {
    w.mnuExit_Click();
    ADD_FAILURE() << "Yes did not end the program";
  } catch (const ProgramExited& exited) {
    EXPECT_EQ(exited.status, 0);
  }
  EXPECT_EQ(services.messages.size(), 2u);
}

TEST(MainWindow, HelpOpensHelpChmInTheProgramFolder) {
  frmMain w;
  ScriptedServices services;
  w.mnuHelp->trigger();
  ASSERT_EQ(services.help_paths.size(), 1u);
  EXPECT_EQ(services.help_paths[0], QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) +
                                        QDir::separator() + "Help.chm");
  EXPECT_TRUE(services.messages.empty());
}

TEST(MainWindow, AboutIsModalOverTheMainWindow) {
  frmMain w;
  w.show();
  QString title;
  QWidget* owner = nullptr;
  bool is_about = false;
  const auto watch_modal = testing::OnNextModal([&](QWidget* modal) {
    title = modal->windowTitle();
    owner = modal->parentWidget();
    is_about = qobject_cast<frmAbout*>(modal) != nullptr;
    modal->close();
  });
  w.mnuAbout_Click();
  EXPECT_TRUE(is_about);
  EXPECT_EQ(title, "About");
  EXPECT_EQ(owner, &w);
}

}  // namespace
}  // namespace norvexa::shell
