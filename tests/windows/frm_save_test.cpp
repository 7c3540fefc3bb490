// The save window: captions, enabling rules, the choosers that start the
// run at once, its layout with texts of real length, and what assistive
// tools are told about its controls.
#include "windows/frm_save.h"

#include "conversion/global/global.h"
#include "conversion/run_environment.h"
#include "platform/dialogs/qt_system_services.h"
#include "support/long_texts.h"
#include "support/scripted_services.h"

#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSet>
#include <QTimer>

#include <gtest/gtest.h>

namespace norvexa::windows {
namespace {

bool RunStarted(const testing::ScriptedServices& services) {
  // Started against a store that cannot be opened: the run says so.
  return !services.messages.empty() && services.messages.back().title == "Norvexa" &&
         services.messages.back().text.startsWith("Could not");
}

TEST(SaveWindow, StartsWithItsCaptionsAndNothingToPress) {
  Global::ExcludeFromViewValues = {"", ""};
  frmSave form;
  EXPECT_EQ(form.windowTitle(), "Export Outlook Mailbox to Lotus Notes");
  EXPECT_TRUE(form.isModal());
  EXPECT_EQ(form.OptNewNSF->text(), "Save in New NSF file");
  EXPECT_EQ(form.OptExistingNSF->text(), "Save in Existing NSF file");
  EXPECT_EQ(form.CmdNewNSF->text(), "&Select...");
  EXPECT_EQ(form.CmdExistingNSF->text(), "&Select...");
  EXPECT_EQ(form.CmdConversion->text(), "&Export Mailbox");
  EXPECT_EQ(form.ExportFrame->title(), " Export Progress Details");
  EXPECT_EQ(form.LblSaveHeader->text(), "Click Export Mailbox Button to Start Export Process");
  EXPECT_EQ(form.LblSubject->text(), "Subject :");
  EXPECT_TRUE(form.txtNSFFileName->isReadOnly());
  EXPECT_TRUE(form.txtExNSFFileName->isReadOnly());
  EXPECT_FALSE(form.CmdConversion->isEnabled());
  EXPECT_FALSE(form.CmdNewNSF->isEnabled());
  EXPECT_FALSE(form.CmdExistingNSF->isEnabled());
  EXPECT_EQ(Global::ExcludeFromViewValues[0], "D");
  EXPECT_EQ(Global::ExcludeFromViewValues[1], "S");
}

TEST(SaveWindow, OptionsEnableTheirOwnGroupOnly) {
  frmSave form;
  form.PrepareForNewDatabase();
  form.OptExistingNSF->click();
  EXPECT_TRUE(form.OptExistingNSF->isChecked());
  EXPECT_FALSE(form.OptNewNSF->isChecked());
  EXPECT_TRUE(form.txtExNSFFileName->isEnabled());
  EXPECT_TRUE(form.CmdExistingNSF->isEnabled());
  EXPECT_FALSE(form.txtNSFFileName->isEnabled());
  EXPECT_FALSE(form.CmdNewNSF->isEnabled());

  form.OptExistingNSF->click();  // clicking the chosen option keeps it chosen
  EXPECT_TRUE(form.OptExistingNSF->isChecked());

  form.OptNewNSF->click();
  EXPECT_TRUE(form.OptNewNSF->isChecked());
  EXPECT_FALSE(form.OptExistingNSF->isChecked());
  EXPECT_TRUE(form.txtNSFFileName->isEnabled());
  EXPECT_TRUE(form.CmdNewNSF->isEnabled());
  EXPECT_FALSE(form.txtExNSFFileName->isEnabled());
  EXPECT_FALSE(form.CmdExistingNSF->isEnabled());
}

TEST(SaveWindow, ExportButtonFollowsTheLastChangedTextBox) {
  frmSave form;
  form.txtNSFFileName->setText("   ");
  EXPECT_FALSE(form.CmdConversion->isEnabled());
  form.txtNSFFileName->setText(" /out ");
  EXPECT_TRUE(form.CmdConversion->isEnabled());
  form.txtExNSFFileName->setText("x");
  form.txtExNSFFileName->setText("  ");  // the last change decides
  EXPECT_FALSE(form.CmdConversion->isEnabled());
}

TEST(SaveWindow, ChoosingAFolderStartsTheRunAndCancellingStartsNothing) {
  testing::RunEnvironment env;
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + sys::PathSeparator().toStdString());
  Global::SelectedStoreId = "no-such-store";
  Global::SelectedFolders = {"x#y"};
  frmSave form;
  form.PrepareForNewDatabase();

  // Cancelled: the box keeps its text, the path is emptied, nothing runs.
  form.txtNSFFileName->setText("/earlier");
  Global::NsfFilePath = "/earlier";
  form.CmdNewNSF->click();
  ASSERT_EQ(services.folder_prompts.size(), 1u);
  EXPECT_EQ(services.folder_prompts[0], "Select Folder to Save NSF File");
  EXPECT_EQ(form.txtNSFFileName->text(), "/earlier");
  EXPECT_EQ(Global::NsfFilePath, "");
  EXPECT_TRUE(services.messages.empty());

  // Chosen: shown in the box, and the run starts without another click.
  const QString out = QString::fromStdString((env.scratch() / "out").string());
  services.folders.push_back(out);
  form.CmdNewNSF->click();
  EXPECT_EQ(form.txtNSFFileName->text(), out);
  EXPECT_TRUE(RunStarted(services));
  // The run could not open the store: the window stays, the selection too.
  EXPECT_NE(form.result(), QDialog::Accepted);
  EXPECT_EQ(Global::SelectedFolders.size(), 1u);
}

TEST(SaveWindow, ChoosingAFileStartsTheRunAndCancellingClearsTheChoice) {
  testing::RunEnvironment env;
  testing::ScriptedServices services;
  Global::SelectedStoreId = "no-such-store";
  frmSave form;
  form.PrepareForNewDatabase();
  form.OptExistingNSF->click();

  services.open_file_names.push_back("/some/where/mail.nsf");
  form.CmdExistingNSF->click();
  ASSERT_EQ(services.open_file_filters.size(), 1u);
  EXPECT_EQ(services.open_file_filters[0], "Lotus Notes Mailbox (*.nsf)|*.nsf");
  EXPECT_EQ(form.txtExNSFFileName->text(), "/some/where/mail.nsf");
  EXPECT_TRUE(RunStarted(services));
  const std::size_t shown = services.messages.size();

  form.CmdExistingNSF->click();  // cancelled
  EXPECT_EQ(form.txtExNSFFileName->text(), "");
  EXPECT_FALSE(form.CmdConversion->isEnabled());
  EXPECT_EQ(services.messages.size(), shown);
}

// Lets pending layout and paint events run.
void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

QString AccessibleText(QWidget* widget, QAccessible::Text which) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
  return iface ? iface->text(which) : QString();
}

TEST(SaveWindow, LongTextsInAnyScriptAreElidedInAWindowThatKeepsItsSize) {
  frmSave form;
  form.PrepareForNewDatabase();
  form.show();
  Settle();
  const QSize size = form.size();
  ASSERT_LE(size.width(), QApplication::primaryScreen()->availableGeometry().width());

  // 400-character subjects and folder names, mixed and in one script each
  // (Latin, Cyrillic, Greek, Arabic, Hebrew, Japanese, Devanagari, Korean),
  // and a contact's "first last" of 300.
  std::vector<QString> texts{testing::MixedScriptText(400), testing::MixedScriptText(300, 5)};
  for (int script = 0; script < 8; ++script) {
    QString one;
    while (one.size() < 400) one += testing::MixedScriptText(400, script).section(QLatin1Char(' '), 0, 1) + " ";
    texts.push_back(one.left(400).trimmed());
  }
  for (const QString& text : texts) {
    form.SetSaveHeader(text.toStdString());
    form.SetProcessing(text.toStdString());
    Settle();
    EXPECT_EQ(form.size(), size) << text.toStdString();
    EXPECT_LE(form.minimumSizeHint().width(), size.width());
    for (widgets::ElidedLabel* label : {form.LblSaveHeader, form.LblProcessing}) {
      EXPECT_EQ(label->text(), text);
      EXPECT_EQ(label->toolTip(), text);
      EXPECT_LE(label->fontMetrics().horizontalAdvance(label->DisplayedText()), label->width());
      EXPECT_NE(label->DisplayedText(), text);
      EXPECT_FALSE(label->DisplayedText().isEmpty());
      EXPECT_TRUE(form.rect().contains(QRect(label->mapTo(&form, QPoint(0, 0)), label->size())));
    }
  }
  // A subject that looks like markup is shown as the text it is.
  form.SetProcessing("<b>Re:</b> <i>budget</i>");
  Settle();
  EXPECT_EQ(form.LblProcessing->DisplayedText(), "<b>Re:</b> <i>budget</i>");
  EXPECT_EQ(form.LblProcessing->textFormat(), Qt::PlainText);
}

TEST(SaveWindow, PathBoxesTakeTheWindowsWidthAndElideTheMiddleOfALongPath) {
  frmSave form;
  form.PrepareForNewDatabase();
  form.show();
  Settle();
  const QSize size = form.size();
  const QString path = QString::fromStdString(testing::LongPath("/home/user", 250).string());
  ASSERT_EQ(path.size(), 250);
  form.txtNSFFileName->setText(path);
  form.txtExNSFFileName->setText(path);
  Settle();
  EXPECT_EQ(form.size(), size);
  for (widgets::PathBox* box : {form.txtNSFFileName, form.txtExNSFFileName}) {
    // Everything the row leaves over: the window less its label and button.
    EXPECT_GE(box->width(), form.width() / 2) << box->width() << " of " << form.width();
    EXPECT_EQ(box->text(), path);
    EXPECT_EQ(box->toolTip(), path);
    const QString shown = box->DisplayedText();
    EXPECT_LT(shown.size(), path.size());
    EXPECT_TRUE(shown.startsWith(path.left(8))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(path.right(8))) << shown.toStdString();
    EXPECT_FALSE(box->grab().isNull());
  }
  // The user in the box gets the line edit as it is, to scroll or copy.
  QApplication::setActiveWindow(&form);
  form.txtNSFFileName->setFocus();
  Settle();
  ASSERT_TRUE(form.txtNSFFileName->hasFocus());
  EXPECT_EQ(form.txtNSFFileName->DisplayedText(), path);
  form.txtNSFFileName->clearFocus();
  // A wider window gives the boxes the room.
  const int before = form.txtExNSFFileName->width();
  form.resize(size.width() + 200, size.height());
  Settle();
  EXPECT_EQ(form.txtExNSFFileName->width(), before + 200);

  // The completion message naming the path opens inside the screen.
  sys::QtSystemServices qt;
  sys::ScopedServices installed(qt);
  QRect box_geometry;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      answer.stop();
      box_geometry = box->frameGeometry();
      box->button(QMessageBox::Ok)->click();
    }
  });
  answer.start(10);
  sys::Message done;
  done.title = "Export Complete";
  done.text = "Outlook Mailbox Exported Successfully to Lotus Notes Mailbox.\r\n" + path + "\r\n" + path;
  sys::Services().ShowMessage(&form, done);
  ASSERT_FALSE(box_geometry.isNull());
  EXPECT_TRUE(QApplication::primaryScreen()->availableGeometry().contains(box_geometry)) << box_geometry.width();
}

TEST(SaveWindow, EveryControlHasItsOwnAccessibleNameAndTheOptionsAreOneChoice) {
  frmSave form;
  form.PrepareForNewDatabase();
  form.show();
  Settle();

  for (QRadioButton* option : {form.OptNewNSF, form.OptExistingNSF}) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(option);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::RadioButton);
    EXPECT_EQ(form.TargetOptions->id(option) != -1, true);
  }
  EXPECT_TRUE(form.TargetOptions->exclusive());

  // Every control, the empty progress labels included, is read out under a
  // name of its own, never the frame's.
  const std::vector<std::pair<QWidget*, QString>> names{
      {form.OptNewNSF, "Save in New NSF file"},
      {form.txtNSFFileName, "Select Folder"},
      {form.CmdNewNSF, "Select Folder..."},
      {form.OptExistingNSF, "Save in Existing NSF file"},
      {form.txtExNSFFileName, "Select NSF File"},
      {form.CmdExistingNSF, "Select NSF File..."},
      {form.LblProcessing, "Subject"},
      {form.LblFound, "Found"},
      {form.LblCurrent, "Current"},
      {form.PrgOverall, "Overall progress"},
      {form.LblOverall, "Items copied, rate and time left"},
      {form.CmdStop, "Stop"},
      {form.CmdConversion, "Export Mailbox"},
  };
  QSet<QString> seen;
  for (const auto& [widget, name] : names) {
    EXPECT_EQ(AccessibleText(widget, QAccessible::Name), name) << widget->metaObject()->className();
    EXPECT_FALSE(seen.contains(name)) << name.toStdString();
    seen.insert(name);
  }
  EXPECT_EQ(AccessibleText(form.ExportFrame, QAccessible::Name), form.ExportFrame->title());
  // A captioned label tells its text as its description.
  form.SetFound("120");
  EXPECT_EQ(AccessibleText(form.LblFound, QAccessible::Name), "Found");
  EXPECT_EQ(AccessibleText(form.LblFound, QAccessible::Description), "120");
  // No button, box or bar of the window is left without a name.
  for (QWidget* widget : form.findChildren<QWidget*>()) {
    if (!widget->isVisible()) continue;
    if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
        qobject_cast<QProgressBar*>(widget) || qobject_cast<widgets::ElidedLabel*>(widget)) {
      EXPECT_FALSE(AccessibleText(widget, QAccessible::Name).isEmpty()) << widget->metaObject()->className();
    }
  }
}

}  // namespace
}  // namespace norvexa::windows
