// frmSave: the save window, where the user picks the target of the export (a
// new mail database in a chosen folder, or an existing .nsf file) and where
// the conversion run shows its progress. Modal over the main window.
#pragma once

#include "target/create_nsf.h"

#include <QDialog>

class QRadioButton;
class QLineEdit;
class QPushButton;
class QLabel;
class QGroupBox;

namespace norvexa::conversion {

class frmSave : public QDialog, public target::SaveProgress {
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

  // target::SaveProgress
  void SetSaveHeader(const std::string& text) override;
  void SetProcessing(const std::string& text) override;
};

}  // namespace norvexa::conversion
