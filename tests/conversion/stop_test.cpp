// The overall progress and Stop in whole runs over a generated mailbox of
// real-length texts (400-character subjects and folder name in several
// scripts, a 250-character output path): the progress goes from the folder
// tree's counts to every item, a stop ends the run after the item being
// copied and keeps what was saved, and the save window keeps its size, asks
// before it closes during a run, and enables Stop only while a run goes on.
#include "conversion/export_job.h"
#include "conversion/global/global.h"
#include "mailbox_writer.h"
#include "model.h"
#include "run_environment.h"
#include "support/fixtures.h"
#include "support/long_texts.h"
#include "support/scripted_services.h"
#include "windows/frm_save.h"
#include "windows/save_window_run.h"

#include <QApplication>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

namespace norvexa::conversion {
namespace {

using windows::frmSave;

namespace fs = std::filesystem;
const std::string S = sys::PathSeparator().toStdString();

constexpr int kMails = 12;
constexpr int kContacts = 3;

// A mailbox of kMails mails with 400-character subjects in a folder with a
// 400-character name, kContacts contacts with long names, and a journal of
// two entries, which the run does not convert.
pstgen::MailboxSpec LongTextMailbox() {
  pstgen::MailboxSpec mailbox;
  mailbox.store_name = testing::MixedScriptUtf8(60, 2);
  pstgen::FolderSpec mail;
  mail.name = testing::MixedScriptUtf8(400, 1);
  mail.container_class = "IPF.Note";
  mail.items = [](const std::function<void(const pstgen::Item&)>& sink) {
    for (int i = 0; i < kMails; ++i) {
      pstgen::Item m;
      m.subject = testing::MixedScriptUtf8(400, i);
      m.body = "Body " + std::to_string(i) + "\r\n";
      m.sender = pstgen::Address{testing::MixedScriptUtf8(120, i + 3), "sender@example.com", "SMTP"};
      m.delivered = m.created = m.submitted = 1714550400 + i * 3600;
      sink(m);
    }
  };
  pstgen::FolderSpec contacts;
  contacts.name = "Contacts";
  contacts.container_class = "IPF.Contact";
  contacts.items = [](const std::function<void(const pstgen::Item&)>& sink) {
    for (int i = 0; i < kContacts; ++i) {
      pstgen::Item c;
      c.message_class = "IPM.Contact";
      c.contact["FirstName"] = testing::MixedScriptUtf8(150, i);
      c.contact["LastName"] = testing::MixedScriptUtf8(150, i + 4);
      c.display_name = c.contact["FirstName"] + " " + c.contact["LastName"];
      sink(c);
    }
  };
  pstgen::FolderSpec journal;
  journal.name = "Journal";
  journal.container_class = "IPF.Journal";
  journal.items = [](const std::function<void(const pstgen::Item&)>& sink) {
    for (int i = 0; i < 2; ++i) {
      pstgen::Item j;
      j.message_class = "IPM.Activity";
      j.subject = "Call " + std::to_string(i);
      sink(j);
    }
  };
  mailbox.folders = {mail, contacts, journal};
  return mailbox;
}

// A view without a screen that keeps every overall progress it is shown
// and can act at a yield.
class ProgressView final : public ExportObserver {
 public:
  std::string current;
  std::vector<OverallProgress> shown;
  std::function<void()> on_yield;
  void SetSaveHeader(const std::string&) override {}
  void SetProcessing(const std::string&) override {}
  void SetFound(const std::string&) override {}
  void SetCurrent(const std::string& t) override { current = t; }
  void ResetProgress() override {}
  void Yield() override {
    if (on_yield) on_yield();
  }
  void ShowOverallProgress(const OverallProgress& p) override { shown.push_back(p); }
};

class Stop : public ::testing::Test {
 protected:
  void SetUp() override {
    pst_ = work_ / "Long Texts.pst";
    pstgen::WriteMailbox(LongTextMailbox(), pst_);
    env_ = std::make_unique<testing::RunEnvironment>(std::vector<fs::path>{pst_});
    services_.temp_folder = QString::fromStdString(env_->temp().string() + S);
    Global::SelectedStoreId = testing::StoreIdOf(pst_);
    // The three folders and the empty deleted-items folder every store has.
    references_ = testing::FolderReferences(pst_);
    ASSERT_EQ(references_.size(), 4u);
  }

  // Hands every folder over as the folder tree would, with the counts it
  // showed: the mail folder as it was when the tree was filled, two mails
  // short of what it holds now.
  void HandOver() {
    Global::SelectedFolders = references_;
    Global::SelectedFolderCounts.clear();
    for (const std::string& reference : references_) {
      std::int64_t count = 0;
      if (reference.ends_with(testing::MixedScriptUtf8(400, 1))) count = kMails - 2;
      if (reference.ends_with("\\Contacts")) count = kContacts;
      if (reference.ends_with("\\Journal")) count = 2;
      Global::SelectedFolderCounts[reference] = count;
    }
  }

  testing::ScratchDir work_;
  fs::path pst_;
  std::unique_ptr<testing::RunEnvironment> env_;
  testing::ScriptedServices services_;
  std::vector<std::string> references_;
};

TEST_F(Stop, ProgressRunsFromTheTreeCountsToEveryItemAndAStopKeepsWhatWasSaved) {
  // A whole run: the progress starts from the tree's counts (journal
  // included) and ends at every item the run went through.
  {
    HandOver();
    ProgressView view;
    ExportJob run;
    ASSERT_EQ(windows::RunFromSaveWindow(run, view, {true, "", (env_->scratch() / "all").string()}, nullptr),
              RunEnd::Completed)
        << services_.messages.back().text.toStdString();
    ASSERT_GE(view.shown.size(), 2u);
    EXPECT_EQ(view.shown.front().done, 0);
    EXPECT_EQ(view.shown.front().total, kMails - 2 + kContacts + 2);
    EXPECT_EQ(view.shown.back().done, kMails + kContacts);
    EXPECT_EQ(view.shown.back().total, kMails + kContacts);
    EXPECT_TRUE(view.shown.back().finished);
    EXPECT_FALSE(view.shown.front().finished);
    for (std::size_t i = 1; i < view.shown.size(); ++i) {
      EXPECT_GE(view.shown[i].done, view.shown[i - 1].done);
      EXPECT_LE(view.shown[i].done, view.shown[i].total);
    }
  }

  // Stopped at the yield after the fifth mail: the run ends after that
  // item, the five documents stay, the staging folder goes, and the message
  // says so with how many of how many were copied.
  HandOver();
  const std::string stopped_folder = (env_->scratch() / "stopped").string();
  ProgressView view;
  ExportJob run;
  view.on_yield = [&] {
    if (view.current == "5/" + std::to_string(kMails)) run.RequestStop();
  };
  ASSERT_EQ(windows::RunFromSaveWindow(run, view, {true, "", stopped_folder}, nullptr), RunEnd::StoppedByUser);
  EXPECT_EQ(testing::DocumentCount(Global::NsfFilePath), 5u);
  EXPECT_EQ(testing::DocumentCount(Global::AddressBookPath), 0u);
  EXPECT_TRUE(fs::is_empty(env_->temp()));
  EXPECT_TRUE(Global::SelectedFolders.empty());
  EXPECT_EQ(run.Report().Copied(), 5);
  EXPECT_EQ(run.Report().NotCopied(), kMails - 5 + kContacts);

  const sys::Message& stopped = services_.messages.back();
  EXPECT_EQ(stopped.title, "Export Stopped");
  EXPECT_EQ(stopped.icon, sys::Icon::Information);
  EXPECT_TRUE(stopped.text.startsWith("The export was stopped before its end, as you asked."));
  EXPECT_TRUE(stopped.text.contains(QString("5 of %1 items were copied and %2 were not reached.")
                                        .arg(kMails + kContacts)
                                        .arg(kMails - 5 + kContacts)))
      << stopped.text.toStdString();
  EXPECT_TRUE(stopped.text.contains(QString::fromStdString(Global::NsfFilePath)));
  EXPECT_TRUE(stopped.detail.contains(QString("Not reached when the export stopped: %1 items").arg(kMails - 5 + kContacts)))
      << stopped.detail.toStdString();
  // The bar ends as the message does: 5 of them.
  EXPECT_EQ(view.shown.back().done, 5);
  EXPECT_EQ(view.shown.back().total, kMails + kContacts);
}

TEST_F(Stop, SaveWindowKeepsItsSizeAsksBeforeClosingAndStopsOnlyDuringARun) {
  const QRect screen = QApplication::primaryScreen()->availableGeometry();
  // A 250-character output folder. Its names are Latin: the Notes
  // back-end cannot open a database whose path passes 512 bytes of UTF-8,
  // which 250 characters of these scripts and the database's own name do.
  const fs::path out = testing::LongPath(env_->scratch().path(), 250, false);
  ASSERT_EQ(QString::fromStdString(out.string()).size(), 250);
  const QString subject_of_item_3 = testing::MixedScriptText(400, 2);
  const QString folder_name = testing::MixedScriptText(400, 1);

  // The first run: closing the window at the second item is answered No and
  // the run goes on; at the fourth, Yes, and the run stops after it.
  HandOver();
  frmSave form;
  form.PrepareForNewDatabase();
  form.show();
  const QSize size = form.size();
  ASSERT_LE(size.width(), screen.width());
  EXPECT_FALSE(form.CmdStop->isEnabled());

  int questions = 0;
  bool stop_enabled_during_run = true;
  bool checked_layout = false;
  QTimer at_yield;
  QObject::connect(&at_yield, &QTimer::timeout, [&] {
    if (!form.Running()) return;
    const QString current = form.LblCurrent->text();
    stop_enabled_during_run = stop_enabled_during_run && (form.CmdStop->isEnabled() || questions == 2);
    if (current == QString("2/%1").arg(kMails) && questions == 0) {
      ++questions;
      form.close();
      // Refused: the window stays open and the run goes on, Stop at hand.
      EXPECT_TRUE(form.isVisible());
      EXPECT_TRUE(form.Running());
      EXPECT_TRUE(form.CmdStop->isEnabled());
      EXPECT_FALSE(form.LblOverall->text().endsWith("stopping after the current item"));
    } else if (current == QString("3/%1").arg(kMails) && !checked_layout) {
      // Texts of real length as the run shows them: the window keeps its
      // size, the labels their place, the whole texts are in the tooltips.
      checked_layout = true;
      EXPECT_EQ(form.size(), size);
      EXPECT_EQ(form.LblProcessing->text(), subject_of_item_3);
      EXPECT_EQ(form.LblProcessing->toolTip(), subject_of_item_3);
      EXPECT_EQ(form.LblSaveHeader->text(), folder_name);
      EXPECT_EQ(form.LblSaveHeader->toolTip(), folder_name);
      for (const QWidget* label : {static_cast<QWidget*>(form.LblProcessing), static_cast<QWidget*>(form.LblSaveHeader)}) {
        EXPECT_TRUE(form.rect().contains(QRect(label->mapTo(&form, QPoint(0, 0)), label->size())));
      }
      EXPECT_LT(form.LblProcessing->DisplayedText().size(), subject_of_item_3.size());
      EXPECT_EQ(form.txtNSFFileName->text(), QString::fromStdString(out.string()));
      // Until a quarter of a second has passed the bar shows the start.
      EXPECT_TRUE(form.LblOverall->text().contains(QString("of %1 items").arg(kMails - 2 + kContacts + 2)))
          << form.LblOverall->text().toStdString();
    } else if (current == QString("4/%1").arg(kMails) && questions == 1) {
      ++questions;
      form.close();
      // Accepted: the window stays until the run has ended after this item.
      EXPECT_TRUE(form.isVisible());
      EXPECT_FALSE(form.CmdStop->isEnabled());  // the stop is under way
      EXPECT_TRUE(form.LblOverall->text().endsWith("stopping after the current item"));
    }
  });
  at_yield.start(0);
  services_.answers = {sys::Answer::No, sys::Answer::Yes};
  services_.folders.push_back(QString::fromStdString(out.string()));
  form.CmdNewNSF->click();
  at_yield.stop();

  EXPECT_TRUE(checked_layout);
  EXPECT_TRUE(stop_enabled_during_run);
  EXPECT_EQ(questions, 2);
  ASSERT_GE(services_.messages.size(), 3u);
  for (std::size_t i = 0; i < 2; ++i) {
    const sys::Message& question = services_.messages[i];
    EXPECT_EQ(question.title, "Norvexa");
    EXPECT_EQ(question.buttons, sys::Buttons::YesNo);
    EXPECT_TRUE(question.text.startsWith("An export is running. Do you want to stop it")) << question.text.toStdString();
  }
  EXPECT_EQ(services_.messages.back().title, "Export Stopped");
  EXPECT_TRUE(services_.messages.back().text.contains(QString("4 of %1 items were copied").arg(kMails + kContacts)))
      << services_.messages.back().text.toStdString();
  EXPECT_EQ(form.result(), QDialog::Accepted);
  // The bar ends where the run ended.
  EXPECT_EQ(form.PrgOverall->value(), 4 * 1000 / (kMails + kContacts));
  EXPECT_TRUE(form.LblOverall->text().startsWith(QString("4 of %1 items").arg(kMails + kContacts)))
      << form.LblOverall->text().toStdString();
  EXPECT_EQ(testing::DocumentCount(Global::NsfFilePath), 4u);
  EXPECT_FALSE(form.CmdStop->isEnabled());
  // Drawn and laid out only now and then during the walk, as usual after it.
  EXPECT_TRUE(form.updatesEnabled());
  for (const QWidget* widget : form.findChildren<QWidget*>()) {
    if (widget->layout()) EXPECT_TRUE(widget->layout()->isEnabled()) << widget->objectName().toStdString();
  }
  ASSERT_TRUE(form.layout());
  EXPECT_TRUE(form.layout()->isEnabled());
  EXPECT_EQ(form.size(), size);
  EXPECT_TRUE(fs::is_empty(env_->temp()));

  // The second run: Stop pressed at the third item.
  HandOver();
  frmSave second;
  second.PrepareForNewDatabase();
  second.OptExistingNSF->click();
  const std::string existing = Global::NsfFilePath;
  QTimer press;
  QObject::connect(&press, &QTimer::timeout, [&] {
    if (second.Running() && second.LblCurrent->text() == QString("3/%1").arg(kMails)) second.CmdStop->click();
  });
  press.start(0);
  services_.open_file_names.push_back(QString::fromStdString(existing));
  second.CmdExistingNSF->click();
  press.stop();
  EXPECT_TRUE(services_.messages.back().text.contains(QString("3 of %1 items were copied").arg(kMails + kContacts)))
      << services_.messages.back().text.toStdString();
  EXPECT_EQ(testing::DocumentCount(existing), 4u + 3u);
  EXPECT_EQ(second.result(), QDialog::Accepted);
  EXPECT_FALSE(second.CmdStop->isEnabled());
  // Stop outside a run does nothing.
  second.CmdStop_Click();
  EXPECT_EQ(services_.messages.size(), 4u);

  // A run that goes to its end: when its report comes there is nothing left
  // to stop, and closing the window then asks nothing.
  HandOver();
  frmSave third;
  third.PrepareForNewDatabase();
  third.OptExistingNSF->click();
  bool stop_enabled_at_report = true;
  services_.on_message = [&](const sys::Message& m) {
    if (m.title != "Export Complete") return;
    stop_enabled_at_report = third.CmdStop->isEnabled();
    third.close();
  };
  services_.open_file_names.push_back(QString::fromStdString(existing));
  third.CmdExistingNSF->click();
  services_.on_message = nullptr;
  EXPECT_FALSE(stop_enabled_at_report);
  EXPECT_EQ(services_.messages.size(), 5u);
  EXPECT_EQ(services_.messages.back().title, "Export Complete");
  EXPECT_EQ(third.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace norvexa::conversion
