// Help viewer placeholder until the CHM reader lands: says that help cannot
// be shown.
#include "platform/system/help_viewer.h"

#include <QMessageBox>

namespace norvexa::sys {

void OpenHelpViewer(QWidget* owner, const QString& path) {
  QMessageBox::information(owner, "Help", "The help file cannot be shown yet:\n" + path);
}

}  // namespace norvexa::sys
