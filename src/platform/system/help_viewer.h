// The help viewer: shows a compiled HTML Help (.chm) file in a window with
// its table of contents. Reports a missing or unreadable file itself.
#pragma once

#include <QString>

class QWidget;

namespace norvexa::sys {

// Opens a non-modal viewer window over OWNER showing the CHM file at PATH.
void OpenHelpViewer(QWidget* owner, const QString& path);

}  // namespace norvexa::sys
