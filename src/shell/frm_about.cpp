// frmAbout: the about window.
#include "shell/frm_about.h"

#include "shell/svg_picture.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace norvexa::shell {

frmAbout::frmAbout(QWidget* owner) : QDialog(owner) {
  setWindowTitle("About");
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* layout = new QVBoxLayout(this);
  auto* picture = new SvgPicture(":/pictures/about.svg", this);
  picture->setMinimumSize(480, 260);
  layout->addWidget(picture);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

}  // namespace norvexa::shell
