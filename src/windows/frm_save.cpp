// frmSave: the save window's controls, their enabling rules, the two
// choosers, the progress labels the conversion run writes, the overall
// progress bar and Stop.
#include "windows/frm_save.h"

#include "conversion/global/global.h"
#include "platform/system/system_services.h"
#include "windows/save_window_run.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <exception>

namespace norvexa::windows {
namespace {

// Clears a flag when the scope ends, however it ends.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
};

// Steps of the progress bar: fine enough for any run, and within an int
// whatever the number of items.
constexpr int kBarSteps = 1000;

// How often the window is drawn while the walk runs (see Yield).
constexpr std::chrono::milliseconds kPaintInterval{100};

// The width the window opens with: room for a path of a good length.
constexpr int kOpeningWidth = 640;

}  // namespace

frmSave::frmSave(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("Export Outlook Mailbox to Lotus Notes"));
  setModal(true);

  QLayout* target = BuildTargetChoice();
  ExportFrame = BuildProgressFrame();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(CmdConversion);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(target);
  layout->addWidget(ExportFrame);
  layout->addLayout(buttons);
  resize(std::max(kOpeningWidth, sizeHint().width()), sizeHint().height());

  // As the window is created: nothing can be started until a target is set.
  CmdConversion->setEnabled(false);
  CmdNewNSF->setEnabled(false);
  CmdExistingNSF->setEnabled(false);
  CmdStop->setEnabled(false);

  ConnectHandlers();
  Form_Load();
}

QLayout* frmSave::BuildTargetChoice() {
  // Target choice: two exclusive options, so that they are one choice for
  // the user and for assistive tools alike; the handlers below still set
  // the other one "not selected" as they always did.
  OptNewNSF = new QRadioButton(QStringLiteral("Save in New NSF file"), this);
  txtNSFFileName = new widgets::PathBox(this);
  CmdNewNSF = new QPushButton(QStringLiteral("&Select..."), this);
  OptExistingNSF = new QRadioButton(QStringLiteral("Save in Existing NSF file"), this);
  txtExNSFFileName = new widgets::PathBox(this);
  CmdExistingNSF = new QPushButton(QStringLiteral("&Select..."), this);
  CmdConversion = new QPushButton(QStringLiteral("&Export Mailbox"), this);
  TargetOptions = new QButtonGroup(this);
  TargetOptions->setExclusive(true);
  TargetOptions->addButton(OptNewNSF);
  TargetOptions->addButton(OptExistingNSF);

  auto* folder_label = new QLabel(QStringLiteral("Select Folder :"), this);
  auto* file_label = new QLabel(QStringLiteral("Select NSF File :"), this);
  folder_label->setBuddy(txtNSFFileName);
  file_label->setBuddy(txtExNSFFileName);
  // Each control is named by its own caption or the label beside it; the two
  // "&Select..." buttons by the row they choose for.
  txtNSFFileName->setAccessibleName(QStringLiteral("Select Folder"));
  txtExNSFFileName->setAccessibleName(QStringLiteral("Select NSF File"));
  CmdNewNSF->setAccessibleName(QStringLiteral("Select Folder..."));
  CmdExistingNSF->setAccessibleName(QStringLiteral("Select NSF File..."));

  auto* target = new QGridLayout;
  target->addWidget(OptNewNSF, 0, 0, 1, 3);
  target->addWidget(folder_label, 1, 0);
  target->addWidget(txtNSFFileName, 1, 1);
  target->addWidget(CmdNewNSF, 1, 2);
  target->addWidget(OptExistingNSF, 2, 0, 1, 3);
  target->addWidget(file_label, 3, 0);
  target->addWidget(txtExNSFFileName, 3, 1);
  target->addWidget(CmdExistingNSF, 3, 2);
  // The path boxes take whatever width the window has.
  target->setColumnStretch(1, 1);
  return target;
}

QGroupBox* frmSave::BuildProgressFrame() {
  auto* frame = new QGroupBox(QStringLiteral(" Export Progress Details"), this);
  LblSaveHeader = new widgets::ElidedLabel(QStringLiteral("Click Export Mailbox Button to Start Export Process"), frame);
  LblSubject = new QLabel(QStringLiteral("Subject :"), frame);
  LblProcessing = new widgets::ElidedLabel(frame);
  LblFound = new widgets::ElidedLabel(frame);
  LblCurrent = new widgets::ElidedLabel(frame);
  LblProcessing->SetCaption(QStringLiteral("Subject"));
  LblFound->SetCaption(QStringLiteral("Found"));
  LblCurrent->SetCaption(QStringLiteral("Current"));
  auto* found_label = new QLabel(QStringLiteral("Found :"), frame);
  auto* current_label = new QLabel(QStringLiteral("Current :"), frame);
  auto* overall_label = new QLabel(QStringLiteral("Overall :"), frame);
  PrgOverall = new QProgressBar(frame);
  PrgOverall->setRange(0, kBarSteps);
  PrgOverall->setValue(0);
  PrgOverall->setAccessibleName(QStringLiteral("Overall progress"));
  overall_label->setBuddy(PrgOverall);
  LblOverall = new widgets::ElidedLabel(frame);
  LblOverall->SetCaption(QStringLiteral("Items copied, rate and time left"));
  CmdStop = new QPushButton(QStringLiteral("S&top"), frame);

  auto* progress = new QGridLayout(frame);
  progress->addWidget(LblSaveHeader, 0, 0, 1, 3);
  progress->addWidget(LblSubject, 1, 0);
  progress->addWidget(LblProcessing, 1, 1, 1, 2);
  progress->addWidget(found_label, 2, 0);
  progress->addWidget(LblFound, 2, 1, 1, 2);
  progress->addWidget(current_label, 3, 0);
  progress->addWidget(LblCurrent, 3, 1, 1, 2);
  progress->addWidget(overall_label, 4, 0);
  progress->addWidget(PrgOverall, 4, 1);
  progress->addWidget(CmdStop, 4, 2);
  progress->addWidget(LblOverall, 5, 1, 1, 2);
  progress->setColumnStretch(1, 1);
  return frame;
}

void frmSave::ConnectHandlers() {
  connect(OptNewNSF, &QRadioButton::toggled, this, [this](bool on) {
    if (on) OptNewNSF_Click();
  });
  connect(OptExistingNSF, &QRadioButton::toggled, this, [this](bool on) {
    if (on) OptExistingNSF_Click();
  });
  connect(CmdNewNSF, &QPushButton::clicked, this, [this] { CmdNewNSF_Click(); });
  connect(CmdExistingNSF, &QPushButton::clicked, this, [this] { CmdExistingNSF_Click(); });
  connect(CmdConversion, &QPushButton::clicked, this, [this] { CmdConversion_Click(); });
  connect(CmdStop, &QPushButton::clicked, this, [this] { CmdStop_Click(); });
  connect(txtNSFFileName, &QLineEdit::textChanged, this, [this] { txtNSFFileName_Change(); });
  connect(txtExNSFFileName, &QLineEdit::textChanged, this, [this] { txtExNSFFileName_Change(); });
}

frmSave::~frmSave() = default;

void frmSave::Form_Load() { Global::ExcludeFromViewValues = {"D", "S"}; }

void frmSave::OptNewNSF_Click() {
  OptExistingNSF->setChecked(false);
  txtExNSFFileName->setEnabled(false);
  CmdExistingNSF->setEnabled(false);
  txtNSFFileName->setEnabled(true);
  CmdNewNSF->setEnabled(true);
}

void frmSave::PrepareForNewDatabase() {
  OptExistingNSF->setChecked(false);
  txtExNSFFileName->setEnabled(false);
  CmdExistingNSF->setEnabled(false);
  OptNewNSF->setChecked(true);
  txtNSFFileName->setEnabled(true);
  CmdNewNSF->setEnabled(true);
}

void frmSave::OptExistingNSF_Click() {
  txtExNSFFileName->setEnabled(true);
  CmdExistingNSF->setEnabled(true);
  OptNewNSF->setChecked(false);
  txtNSFFileName->setEnabled(false);
  CmdNewNSF->setEnabled(false);
}

void frmSave::CmdNewNSF_Click() {
  // During a run a new choice would change the target under the writers.
  if (running_) return;
  // A new choice of target begins: the last run's database is no longer it.
  Global::NsfFilePath.clear();
  output_folder_ = Global::BrowseForFolder(nullptr, "Select Folder to Save NSF File");
  if (output_folder_.empty()) return;
  txtNSFFileName->setText(QString::fromStdString(output_folder_));
  CmdConversion_Click();
}

void frmSave::CmdExistingNSF_Click() {
  if (running_) return;
  const QString chosen =
      sys::Services().OpenFileName(this, QString(), QStringLiteral("Lotus Notes Mailbox (*.nsf)|*.nsf"));
  txtExNSFFileName->setText(chosen);
  if (!txtExNSFFileName->text().isEmpty()) CmdConversion_Click();
}

void frmSave::ApplyChangeRule(const QString& text) { CmdConversion->setEnabled(!text.trimmed().isEmpty()); }

void frmSave::txtNSFFileName_Change() { ApplyChangeRule(txtNSFFileName->text()); }

void frmSave::txtExNSFFileName_Change() { ApplyChangeRule(txtExNSFFileName->text()); }

void frmSave::CmdConversion_Click() {
  // The run yields to the message loop, where a second click could arrive.
  if (running_) return;
  using conversion::RunEnd;
  RunEnd end = RunEnd::Stopped;
  {
    FlagGuard running(running_);
    RunTarget target;
    target.new_database = OptNewNSF->isChecked();
    target.existing_file = txtExNSFFileName->text().toStdString();
    target.output_folder = output_folder_;
    conversion::ExportJob run;
    // Stop works while this run is in progress, and only then, however the
    // run ends.
    struct CurrentRun {
      frmSave& form;
      CurrentRun(frmSave& f, conversion::ExportJob& r) : form(f) {
        form.run_ = &r;
        form.stop_asked_ = false;
        form.CmdStop->setEnabled(true);
      }
      ~CurrentRun() {
        form.walking_ = false;
        form.SetDrawnAsUsual(true);
        form.run_ = nullptr;
        form.CmdStop->setEnabled(false);
      }
      CurrentRun(const CurrentRun&) = delete;
      CurrentRun& operator=(const CurrentRun&) = delete;
    } current(*this, run);
    try {
      end = RunFromSaveWindow(run, *this, target, this);
    } catch (const std::exception& e) {
      // Anything the run did not meet itself: say so and keep the window.
      sys::ShowNotice(this, QStringLiteral("The export stopped before its end:\r\n") + QString::fromStdString(e.what()),
                      QStringLiteral("Norvexa"), sys::Icon::Critical);
      return;
    }
  }
  if (end == RunEnd::Completed || end == RunEnd::Halted || end == RunEnd::StoppedByUser) accept();
}

void frmSave::CmdStop_Click() {
  if (!run_ || stop_asked_) return;
  run_->RequestStop();
  stop_asked_ = true;
  CmdStop->setEnabled(false);
  LblOverall->setText(LblOverall->text() + QStringLiteral(", stopping after the current item"));
}

void frmSave::reject() {
  if (running_) {
    // Already stopping, or only the report is left: the window closes as
    // soon as the run has ended.
    if (stop_asked_ || !CmdStop->isEnabled()) return;
    sys::Message question;
    question.text = QStringLiteral(
        "An export is running. Do you want to stop it after the item it is copying?\r\n"
        "Everything copied so far is kept.");
    question.title = QStringLiteral("Norvexa");
    question.icon = sys::Icon::Question;
    question.buttons = sys::Buttons::YesNo;
    if (sys::Services().ShowMessage(this, question) == sys::Answer::Yes) CmdStop_Click();
    return;
  }
  QDialog::reject();
}

void frmSave::SetSaveHeader(const std::string& text) { LblSaveHeader->setText(QString::fromStdString(text)); }

void frmSave::SetProcessing(const std::string& text) { LblProcessing->setText(QString::fromStdString(text)); }

void frmSave::SetFound(const std::string& text) { LblFound->setText(QString::fromStdString(text)); }

void frmSave::SetCurrent(const std::string& text) { LblCurrent->setText(QString::fromStdString(text)); }

void frmSave::ResetProgress() {
  LblSaveHeader->setText(QStringLiteral("Checking Configuration..."));
  LblProcessing->setText(QStringLiteral("Processing..."));
  LblFound->setText(QString());
  LblCurrent->setText(QString());
  // The "Subject :" caption is hidden and shown again, so that it is on
  // screen from here on whatever state it was left in.
  LblSubject->setVisible(false);
  LblSubject->setVisible(true);
  PrgOverall->setValue(0);
  LblOverall->setText(QString());
}

void frmSave::Yield() {
  // While the walk runs, the window is drawn and laid out at most every
  // kPaintInterval: the labels take every item's texts at once, but
  // drawing them, and laying the window out again after every new text,
  // would cost more than copying the item. Clicks and keys are handled at
  // every yield.
  if (!walking_) {
    QCoreApplication::processEvents();
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - last_paint_ < kPaintInterval) {
    QCoreApplication::processEvents();
    return;
  }
  last_paint_ = now;
  SetDrawnAsUsual(true);
  QCoreApplication::processEvents();
  if (walking_) SetDrawnAsUsual(false);
}

void frmSave::SetDrawnAsUsual(bool usual) {
  // The window's layouts, innermost first, so that each is laid out with
  // the sizes of those inside it.
  QList<QWidget*> widgets = findChildren<QWidget*>();
  std::reverse(widgets.begin(), widgets.end());
  widgets.push_back(this);
  for (QWidget* widget : widgets) {
    QLayout* layout = widget->layout();
    if (!layout || layout->isEnabled() == usual) continue;
    layout->setEnabled(usual);
    // A layout that was off missed the requests made meanwhile.
    if (usual) layout->activate();
  }
  setUpdatesEnabled(usual);
}

void frmSave::ShowOverallProgress(const conversion::OverallProgress& progress) {
  const double part = progress.total > 0 ? static_cast<double>(progress.done) / static_cast<double>(progress.total) : 0;
  PrgOverall->setValue(static_cast<int>(part * kBarSteps));
  QString text = conversion::OverallProgressText(progress, locale());
  if (stop_asked_) text += QStringLiteral(", stopping after the current item");
  LblOverall->setText(text);
  // Nothing is left to stop once the walk is over, and the window is drawn
  // as usual again.
  walking_ = !progress.finished;
  if (progress.finished) {
    CmdStop->setEnabled(false);
    SetDrawnAsUsual(true);
  }
}

}  // namespace norvexa::windows
