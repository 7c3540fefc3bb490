// frmSave: the save window, where the user picks the target of the export (a
// new mail database in a chosen folder, or an existing .nsf file) and where
// the conversion run shows its progress: the labels of the folder and item
// being copied, the overall progress bar and the Stop button. Modal over the
// main window. The window is thin: the run itself is an ExportJob (started
// through save_window_run.h, which also shows the boxes at its end), the
// progress figures RunProgress. It keeps its size whatever the length of
// the texts it shows.
#pragma once

#include "conversion/export_job.h"
#include "widgets/elided_label.h"

#include <QDialog>

#include <chrono>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLayout;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace norvexa::windows {

class frmSave : public QDialog, public conversion::ExportObserver {
  Q_OBJECT

 public:
  explicit frmSave(QWidget* owner = nullptr);
  ~frmSave() override;

  // Target choice. The two options are one exclusive group.
  QRadioButton* OptNewNSF = nullptr;            // "Save in New NSF file"
  widgets::PathBox* txtNSFFileName = nullptr;   // read-only, the chosen folder
  QPushButton* CmdNewNSF = nullptr;             // "&Select..."
  QRadioButton* OptExistingNSF = nullptr;       // "Save in Existing NSF file"
  widgets::PathBox* txtExNSFFileName = nullptr;  // read-only, the chosen .nsf
  QPushButton* CmdExistingNSF = nullptr;        // "&Select..."
  QPushButton* CmdConversion = nullptr;         // "&Export Mailbox"
  QButtonGroup* TargetOptions = nullptr;

  // Progress ("Export Progress Details"). The labels that show item texts
  // elide what does not fit and carry the whole text in their tooltip.
  QGroupBox* ExportFrame = nullptr;
  widgets::ElidedLabel* LblSaveHeader = nullptr;
  widgets::ElidedLabel* LblProcessing = nullptr;
  QLabel* LblSubject = nullptr;
  widgets::ElidedLabel* LblFound = nullptr;
  widgets::ElidedLabel* LblCurrent = nullptr;
  // Overall progress over every ticked folder: the bar, "N of M items" with
  // the rate and the time left under it, and Stop (enabled only during a run).
  QProgressBar* PrgOverall = nullptr;
  widgets::ElidedLabel* LblOverall = nullptr;
  QPushButton* CmdStop = nullptr;  // "S&top"

  // The export: a job for SelectedStoreId and SelectedFolders into the
  // chosen target, which writes every item of every ticked folder; then the
  // completion message, and the window closes. A second start while one
  // runs is ignored.
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

  // Asks the run in progress to end after the item it is copying; Stop is
  // disabled from then on. Does nothing when no run is in progress.
  void CmdStop_Click();

  // True while a run is in progress.
  bool Running() const { return running_; }

  // ExportObserver: the labels, the yields and the overall progress.
  void SetSaveHeader(const std::string& text) override;
  void SetProcessing(const std::string& text) override;
  void SetFound(const std::string& text) override;
  void SetCurrent(const std::string& text) override;
  // Also empties the overall progress.
  void ResetProgress() override;
  void Yield() override;
  void ShowOverallProgress(const conversion::OverallProgress& progress) override;

 public slots:
  // Closing the window (Esc, the close box) while a run is in progress asks
  // whether to stop it; Yes stops it as Stop does, and the window closes
  // when the run has ended, so the run always finishes in a window that
  // still exists. No lets the run go on.
  void reject() override;

 private:
  // The parts of the window, made by the constructor in this order.
  QLayout* BuildTargetChoice();
  QGroupBox* BuildProgressFrame();
  void ConnectHandlers();

  // USUAL: the window is drawn and laid out as any window is; else, while
  // the walk runs between two drawings, neither (its layouts are off).
  void SetDrawnAsUsual(bool usual);

  // Sets CmdConversion by the change rule for TEXT.
  void ApplyChangeRule(const QString& text);

  bool running_ = false;
  std::string output_folder_;                // chosen with CmdNewNSF; "" until then
  conversion::ExportJob* run_ = nullptr;     // the run in progress
  bool stop_asked_ = false;       // Stop was pressed during this run
  bool walking_ = false;          // the run's walk of the folders is under way
  std::chrono::steady_clock::time_point last_paint_;  // of the window, during the walk
};

}  // namespace norvexa::windows
