// The main window as users see it with real data: a size fixed for good
// that no maximising changes, status panels that fit, a store list that
// tells two stores of one display name apart without touching the entry
// texts and opens inside the window, a folder tree whose long names scroll
// sideways with their counts, and a name of its own for every control.
#include "conversion/global/global.h"
#include "mailbox_writer.h"
#include "model.h"
#include "shell/frm_main.h"
#include "shell/shell_test_support.h"
#include "source/fake_store.h"
#include "source/folders_tree.h"
#include "source/model/store_entry.h"
#include "source/store_list_box.h"
#include "support/fixtures.h"
#include "support/long_texts.h"
#include "support/scripted_services.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSet>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace norvexa::shell {
namespace {

namespace fs = std::filesystem;

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

QString AccessibleName(QWidget* widget) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
  return iface ? iface->text(QAccessible::Name) : QString();
}

// The rectangle of WIDGET in WINDOW's coordinates.
QRect RectIn(const QWidget* widget, const QWidget* window) {
  return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

// The three status panels keep their widths, follow one another and end
// before the size grip and the window's edge.
void ExpectStatusPanelsFit(const frmMain& w) {
  EXPECT_EQ(w.StatusPanel1->width(), 150);
  EXPECT_EQ(w.StatusPanel2->width(), 200);
  EXPECT_EQ(w.StatusPanel3->width(), 400);
  const QRect p1 = RectIn(w.StatusPanel1, &w), p2 = RectIn(w.StatusPanel2, &w), p3 = RectIn(w.StatusPanel3, &w);
  EXPECT_LT(p1.right(), p2.left());
  EXPECT_LT(p2.right(), p3.left());
  EXPECT_TRUE(w.rect().contains(p3)) << p3.right() << " in a window " << w.width() << " wide";
  for (const QSizeGrip* grip : w.statusBar()->findChildren<QSizeGrip*>()) {
    if (grip->isVisible()) {
      EXPECT_LT(p3.right(), RectIn(grip, &w).left());
    }
  }
}

TEST(MainWindowLayout, SizeIsFixedForGoodAndTheStatusPanelsFitInside) {
  frmMain w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  Settle();
  const QSize size = w.size();
  EXPECT_EQ(w.minimumSize(), size);
  EXPECT_EQ(w.maximumSize(), size);
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  ExpectStatusPanelsFit(w);

  // A window manager that maximises it anyway, or makes it full screen: the
  // window comes back to its size.
  for (Qt::WindowState state : {Qt::WindowMaximized, Qt::WindowFullScreen}) {
    w.setWindowState(state);
    QTest::qWait(50);
    EXPECT_FALSE(w.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) << state;
    EXPECT_EQ(w.size(), size) << state;
  }
  w.showMaximized();
  QTest::qWait(50);
  EXPECT_FALSE(w.isMaximized());
  EXPECT_EQ(w.size(), size);

  // Larger fonts (a display set to a higher scale): the window grows to
  // hold the panels, which keep their widths and still fit.
  const QFont normal = QApplication::font();
  QFont large = normal;
  large.setPointSizeF(normal.pointSizeF() * 1.6);
  QApplication::setFont(large);
  {
    frmMain big;
    big.show();
    Settle();
    ExpectStatusPanelsFit(big);
    EXPECT_EQ(big.minimumSize(), big.maximumSize());
  }
  QApplication::setFont(normal);
}

TEST(MainWindowLayout, StoreListTellsTwoStoresOfOneNameApartAndKeepsTheirEntryTexts) {
  testing::ScratchDir scratch;
  // Two archives of one long display name in several scripts.
  pstgen::MailboxSpec mailbox;
  mailbox.store_name = testing::MixedScriptUtf8(120, 3);
  pstgen::FolderSpec inbox;
  inbox.name = "Inbox";
  inbox.container_class = "IPF.Note";
  inbox.items = [](const std::function<void(const pstgen::Item&)>&) {};
  mailbox.folders = {inbox};
  const fs::path first = scratch / "Archive 2019.pst";
  const fs::path second = scratch / "Archive 2020.pst";
  pstgen::WriteMailbox(mailbox, first);
  pstgen::WriteMailbox(mailbox, second);
  testing::ProfileGuard profile(testing::WriteProfile(scratch / "profile", {first, second}));
  testing::ScriptedServices services;
  frmMain w;
  w.show();
  Settle();
  const QSize size = w.size();

  w.CmdExportConfigured_Click();
  auto* list = qobject_cast<source::StoreListBox*>(w.CmbOutlookStores);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), 2);
  const std::vector<std::string> ids{outlook::OpenStoreFile(first)->StoreID(), outlook::OpenStoreFile(second)->StoreID()};
  const QString name = QString::fromStdString(mailbox.store_name);
  for (int i = 0; i < 2; ++i) {
    // The entry text is exactly as it always was: the handlers read it.
    EXPECT_EQ(list->itemText(i).toStdString(), mailbox.store_name + std::string(300, ' ') + "#" + ids[i]);
    EXPECT_EQ(list->itemData(i, Qt::AccessibleTextRole).toString(), list->ShownText(i));
    EXPECT_FALSE(list->ShownText(i).contains('#'));
  }
  EXPECT_EQ(list->ShownText(0), name + QString::fromUtf8(" \u2014 Archive 2019.pst"));
  EXPECT_EQ(list->ShownText(1), name + QString::fromUtf8(" \u2014 Archive 2020.pst"));
  EXPECT_EQ(list->itemData(1, Qt::ToolTipRole).toString(), QString::fromStdString(second.string()));

  // The open list stays inside the window however long the entry texts.
  list->showPopup();
  Settle();
  QWidget* popup = list->view()->window();
  ASSERT_NE(popup, &w);
  EXPECT_TRUE(popup->isVisible());
  EXPECT_LE(popup->width(), w.width());
  EXPECT_GE(popup->geometry().left(), w.geometry().left());
  EXPECT_LE(popup->geometry().right(), w.geometry().right());
  list->hidePopup();

  // Picking the second store reads its identifier from the entry text, and
  // the box shows the label, not the text.
  list->setCurrentIndex(1);
  w.CmbOutlookStores_Click();
  EXPECT_EQ(Global::SelectedStoreId, ids[1]);
  EXPECT_EQ(list->currentText(), list->itemText(1));
  // Assistive tools hear the label, never the raw entry text.
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(list);
  EXPECT_EQ(iface->role(), QAccessible::ComboBox);
  EXPECT_EQ(iface->text(QAccessible::Value), list->ShownText(1));
  for (QAccessible::Text which : {QAccessible::Name, QAccessible::Value, QAccessible::Description}) {
    EXPECT_FALSE(iface->text(which).contains(QString::fromStdString(ids[1]))) << which;
  }
#ifdef Q_OS_UNIX
  EXPECT_EQ(iface->text(QAccessible::Name), list->ShownText(1));
#else
  EXPECT_EQ(iface->text(QAccessible::Name), w.LblStores->text());
#endif
  ASSERT_EQ(iface->childCount(), 1);
  EXPECT_EQ(iface->child(0)->object(), list->view());
  EXPECT_FALSE(list->grab().isNull());
  EXPECT_EQ(w.size(), size);
  EXPECT_TRUE(services.messages.empty());
}

TEST(MainWindowLayout, LongFolderNameScrollsSidewaysAndKeepsItsCount) {
  frmMain w;
  w.NotesTab->setTabEnabled(1, true);
  w.NotesTab->setCurrentIndex(1);
  w.show();
  Settle();
  QTreeWidget* tree = w.OutlookFoldersTree;
  const QAbstractItemView* view = tree;

  // A short tree fills the width and does not scroll.
  {
    auto store = std::make_unique<testing::FakeStore>("Mailbox");
    store->Top().Add("Inbox", "IPM.Note", 3);
    w.CurrentStore = std::move(store);
    w.ShowPstFolders("");
    Settle();
    EXPECT_EQ(tree->horizontalScrollBar()->maximum(), 0);
    EXPECT_GE(tree->columnWidth(0), tree->viewport()->width());
  }

  // A 400-character name in several scripts, one level down, with its count.
  const std::string name = testing::MixedScriptUtf8(400, 4);
  auto store = std::make_unique<testing::FakeStore>(testing::MixedScriptUtf8(80, 6));
  store->Top().Add("Inbox", "IPM.Note", 2).Add(name, "IPM.Note", 12345);
  w.CurrentStore = std::move(store);
  w.ShowPstFolders("");
  Settle();
  QTreeWidgetItem* node = source::NodeAt(tree, 3);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->text(0).toStdString(), name + " (12345)");
  EXPECT_EQ(node->toolTip(0), node->text(0));
  // The column is as wide as the widest node needs, so nothing of it is
  // cut; the tree scrolls sideways to it.
  EXPECT_GE(tree->columnWidth(0), view->sizeHintForColumn(0));
  EXPECT_GT(tree->columnWidth(0), tree->viewport()->width());
  EXPECT_GT(tree->horizontalScrollBar()->maximum(), 0);
  // Scrolled to the end, the column's end (where the count is) is in view.
  tree->horizontalScrollBar()->setValue(tree->horizontalScrollBar()->maximum());
  Settle();
  EXPECT_LE(tree->header()->sectionViewportPosition(0) + tree->columnWidth(0), tree->viewport()->width());

  // Collapsing the long node's parent and expanding it again keeps the fit.
  source::NodeAt(tree, 2)->setExpanded(false);
  Settle();
  EXPECT_LT(view->sizeHintForColumn(0), tree->viewport()->width());
  source::NodeAt(tree, 2)->setExpanded(true);
  Settle();
  EXPECT_GE(tree->columnWidth(0), view->sizeHintForColumn(0));
  EXPECT_GT(tree->horizontalScrollBar()->maximum(), 0);
}

TEST(MainWindowLayout, EveryControlHasANameOfItsOwn) {
  frmMain w;
  w.NotesTab->setTabEnabled(1, true);
  w.OptOtherPST->click();
  w.show();
  Settle();

  EXPECT_NE(AccessibleName(w.txtNotesDatabaseFile), w.OtherPSTFrame->title());
  EXPECT_NE(AccessibleName(w.txtNotesDatabaseFile), w.SourceFrame->title());
  EXPECT_EQ(AccessibleName(w.txtNotesDatabaseFile), "Outlook (.pst) file");
  for (QGroupBox* frame : w.findChildren<QGroupBox*>()) EXPECT_EQ(AccessibleName(frame), frame->title());
  // The list is labelled by the text above it (its name where the platform
  // names lists by their label, its relation everywhere).
  const auto labels = QAccessible::queryAccessibleInterface(w.CmbOutlookStores)->relations(QAccessible::Label);
  ASSERT_FALSE(labels.isEmpty());
  EXPECT_EQ(labels.first().first->object(), w.LblStores);
  EXPECT_EQ(AccessibleName(w.OutlookFoldersTree), w.LblFolders->text());
  for (QRadioButton* option : {w.OptConfiguredPST, w.OptOtherPST}) {
    EXPECT_EQ(QAccessible::queryAccessibleInterface(option)->role(), QAccessible::RadioButton);
  }

  // On both tabs: every button, box, list and tree is named, and no two
  // controls share a name.
  for (int tab = 0; tab < 2; ++tab) {
    w.NotesTab->setCurrentIndex(tab);
    Settle();
    QSet<QString> names;
    for (QWidget* widget : w.NotesTab->currentWidget()->findChildren<QWidget*>()) {
      if (!widget->isVisible()) continue;
      if (!(qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
            qobject_cast<QComboBox*>(widget) || qobject_cast<QTreeWidget*>(widget))) {
        continue;
      }
      const QString name = AccessibleName(widget);
      EXPECT_FALSE(name.trimmed().isEmpty()) << widget->metaObject()->className();
      EXPECT_FALSE(names.contains(name)) << name.toStdString();
      names.insert(name);
    }
    EXPECT_GE(names.size(), tab == 0 ? 6 : 3);
  }
}

}  // namespace
}  // namespace norvexa::shell
