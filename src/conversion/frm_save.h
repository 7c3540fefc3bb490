// frmSave: the save window, where the user picks the target of the export (a
// new mail database in a chosen folder, or an existing .nsf file) and where
// the conversion run shows its progress. Modal over the main window. The
// window is thin: the run itself is ConversionRun.
#pragma once

#include "conversion/conversion_run.h"
#include "target/create_nsf.h"

#include <QDialog>

class QRadioButton;
class QLineEdit;
class QPushButton;
class QLabel;
class QGroupBox;

namespace norvexa::conversion {

class frmSave : public QDialog, public RunView {
  Q_OBJECT

 public:
  explicit frmSave(QWidget* owner = nullptr);
  ~frmSave() override;

  // Target choice.
  QRadioButton* OptNewNSF = nullptr;       // "Save in New NSF file"
  QLineEdit* txtNSFFileName = nullptr;     // read-only, the chosen folder
  QPushButton* CmdNewNSF = nullptr;        // "&Select..."
  QRadioButton* OptExistingNSF = nullptr;  // "Save in Existing NSF file"
  QLineEdit* txtExNSFFileName = nullptr;   // read-only, the chosen .nsf
  QPushButton* CmdExistingNSF = nullptr;   // "&Select..."
  QPushButton* CmdConversion = nullptr;    // "&Export Mailbox"

  // Progress ("Export Progress Details").
  QGroupBox* ExportFrame = nullptr;
  QLabel* LblSaveHeader = nullptr;
  QLabel* LblProcessing = nullptr;
  QLabel* LblSubject = nullptr;
  QLabel* LblFound = nullptr;
  QLabel* LblCurrent = nullptr;

  // The conversion run: reads SelectedStoreId and SelectedFolders, writes
  // every item of every ticked folder, shows the completion message and
  // closes the window. A second start while one runs is ignored.
  void CmdConversion_Click();

  // Sets ExcludeFromViewValues to "D", "S". Runs once, when the window is made.
  void Form_Load();

  // The option handlers: enable the controls of the chosen target, disable
  // the other's.
  void OptNewNSF_Click();
  // Sets the window up for a new target database before it is shown, in
  // this order: the existing-file option off, its text box and button
  // disabled, the new-database option on, its text box and button enabled.
  void PrepareForNewDatabase();
  void OptExistingNSF_Click();

  // The choosers: the folder browser (new database) and the open-file
  // dialog (existing database). A choice starts the run at once; a cancel
  // starts nothing. Ignored while a run is in progress.
  void CmdNewNSF_Click();
  void CmdExistingNSF_Click();

  // The change rule of both text boxes: "&Export Mailbox" is enabled exactly
  // when the text that changed, trimmed, is not empty.
  void txtNSFFileName_Change();
  void txtExNSFFileName_Change();

  // True while a run is in progress.
  bool Running() const { return running_; }

  // RunView
  void SetSaveHeader(const std::string& text) override;
  void SetProcessing(const std::string& text) override;
  void SetFound(const std::string& text) override;
  void SetCurrent(const std::string& text) override;
  void ResetProgress() override;
  void Yield() override;
  QWidget* MessageOwner() override;

 public slots:
  // Closing the window (Esc, the close box) is refused while a run is in
  // progress, so the run always finishes in a window that still exists.
  void reject() override;

 private:
  // Sets CmdConversion by the change rule for TEXT.
  void ApplyChangeRule(const QString& text);

  bool running_ = false;
};

}  // namespace norvexa::conversion
