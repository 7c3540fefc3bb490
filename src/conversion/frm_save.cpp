// frmSave: the save window's controls, their enabling rules, the two
// choosers, and the progress labels the conversion run writes.
#include "conversion/frm_save.h"

#include "conversion/global/global.h"
#include "platform/system/system_services.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <exception>

namespace norvexa::conversion {
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

}  // namespace

frmSave::frmSave(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("Export Outlook Mailbox to Lotus Notes"));
  setModal(true);

  // Target choice. The two options are exclusive by the handlers below, not
  // by Qt, so that either can be set "not selected" as the handlers say.
  OptNewNSF = new QRadioButton(QStringLiteral("Save in New NSF file"), this);
  OptNewNSF->setAutoExclusive(false);
  txtNSFFileName = new QLineEdit(this);
  txtNSFFileName->setReadOnly(true);
  CmdNewNSF = new QPushButton(QStringLiteral("&Select..."), this);
  OptExistingNSF = new QRadioButton(QStringLiteral("Save in Existing NSF file"), this);
  OptExistingNSF->setAutoExclusive(false);
  txtExNSFFileName = new QLineEdit(this);
  txtExNSFFileName->setReadOnly(true);
  CmdExistingNSF = new QPushButton(QStringLiteral("&Select..."), this);
  CmdConversion = new QPushButton(QStringLiteral("&Export Mailbox"), this);

  auto* target = new QGridLayout;
  target->addWidget(OptNewNSF, 0, 0, 1, 3);
  target->addWidget(new QLabel(QStringLiteral("Select Folder :"), this), 1, 0);
  target->addWidget(txtNSFFileName, 1, 1);
  target->addWidget(CmdNewNSF, 1, 2);
  target->addWidget(OptExistingNSF, 2, 0, 1, 3);
  target->addWidget(new QLabel(QStringLiteral("Select NSF File :"), this), 3, 0);
  target->addWidget(txtExNSFFileName, 3, 1);
  target->addWidget(CmdExistingNSF, 3, 2);

  // Progress.
  ExportFrame = new QGroupBox(QStringLiteral(" Export Progress Details"), this);
  LblSaveHeader = new QLabel(QStringLiteral("Click Export Mailbox Button to Start Export Process"), ExportFrame);
  LblSubject = new QLabel(QStringLiteral("Subject :"), ExportFrame);
  LblProcessing = new QLabel(ExportFrame);
  LblFound = new QLabel(ExportFrame);
  LblCurrent = new QLabel(ExportFrame);
  auto* progress = new QGridLayout(ExportFrame);
  progress->addWidget(LblSaveHeader, 0, 0, 1, 2);
  progress->addWidget(LblSubject, 1, 0);
  progress->addWidget(LblProcessing, 1, 1);
  progress->addWidget(new QLabel(QStringLiteral("Found :"), ExportFrame), 2, 0);
  progress->addWidget(LblFound, 2, 1);
  progress->addWidget(new QLabel(QStringLiteral("Current :"), ExportFrame), 3, 0);
  progress->addWidget(LblCurrent, 3, 1);
  progress->setColumnStretch(1, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(CmdConversion);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(target);
  layout->addWidget(ExportFrame);
  layout->addLayout(buttons);

  // As the window is created: nothing can be started until a target is set.
  CmdConversion->setEnabled(false);
  CmdNewNSF->setEnabled(false);
  CmdExistingNSF->setEnabled(false);

  connect(OptNewNSF, &QRadioButton::toggled, this, [this](bool on) {
    if (on) OptNewNSF_Click();
  });
  connect(OptExistingNSF, &QRadioButton::toggled, this, [this](bool on) {
    if (on) OptExistingNSF_Click();
  });
  // A click on the selected option keeps it selected, as option buttons do.
  connect(OptNewNSF, &QRadioButton::clicked, this, [this](bool on) {
    if (!on) OptNewNSF->setChecked(true);
  });
  connect(OptExistingNSF, &QRadioButton::clicked, this, [this](bool on) {
    if (!on) OptExistingNSF->setChecked(true);
  });
  connect(CmdNewNSF, &QPushButton::clicked, this, [this] { CmdNewNSF_Click(); });
  connect(CmdExistingNSF, &QPushButton::clicked, this, [this] { CmdExistingNSF_Click(); });
  connect(CmdConversion, &QPushButton::clicked, this, [this] { CmdConversion_Click(); });
  connect(txtNSFFileName, &QLineEdit::textChanged, this, [this] { txtNSFFileName_Change(); });
  connect(txtExNSFFileName, &QLineEdit::textChanged, this, [this] { txtExNSFFileName_Change(); });

  Form_Load();
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
  Global::NsfFilePath = Global::BrowseForFolder(nullptr, "Select Folder to Save NSF File");
  if (Global::NsfFilePath.empty()) return;
  txtNSFFileName->setText(QString::fromStdString(Global::NsfFilePath));
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
  RunEnd end = RunEnd::Stopped;
  {
    FlagGuard running(running_);
    RunTarget target;
    target.new_database = OptNewNSF->isChecked();
    target.existing_file = txtExNSFFileName->text().toStdString();
    ConversionRun run(*this);
    try {
      end = run.Run(target);
    } catch (const std::exception& e) {
      // Anything the run did not meet itself: say so and keep the window.
      sys::Message message;
      message.text = QStringLiteral("The export stopped before its end:\r\n") + QString::fromStdString(e.what());
      message.title = QStringLiteral("Norvexa");
      message.icon = sys::Icon::Critical;
      sys::Services().ShowMessage(this, message);
      return;
    }
  }
  if (end == RunEnd::Completed || end == RunEnd::Halted) accept();
}

void frmSave::reject() {
  if (running_) return;
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
  LblSubject->setVisible(false);
  LblSubject->setVisible(true);
}

void frmSave::Yield() { QCoreApplication::processEvents(); }

QWidget* frmSave::MessageOwner() { return this; }

}  // namespace norvexa::conversion
