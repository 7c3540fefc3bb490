// frmAbout: the about window, captioned "About", showing the about picture.
#pragma once

#include <QDialog>

namespace norvexa::shell {

class frmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit frmAbout(QWidget* owner = nullptr);
};

}  // namespace norvexa::shell
