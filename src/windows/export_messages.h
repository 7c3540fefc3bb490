// The message boxes of the save window for what an export job came to: the
// box of a run that could not start, the one for new databases that could
// not be made (after which the program ends), and the completion or stop
// message of a run that wrote. Word for word the boxes users know.
#pragma once

#include "conversion/export_result.h"

#include <QString>

class QWidget;

namespace norvexa::windows {

// The text of the "Norvexa" warning box for a run that could not start for
// FAILURE (not DatabaseNotMade, which ends the program).
QString StartFailureText(const conversion::StartFailure& failure);

// Shows "Lotus Notes NOT INSTALLED or CONFIGURED Properly." (title "Notes
// Not Installed/Configured") and ends the program through the system
// services; does not return.
[[noreturn]] void EndProgramNotesNotInstalled();

// Shows the box for RESULT over OWNER (may be null): a run that could not
// start gets the warning box of StartFailureText, or, when its new
// databases could not be made, EndProgramNotesNotInstalled; a halted or
// stopped run the report's stop message; a completed run the completion
// message; both with the run's target paths.
void ShowOutcome(QWidget* owner, const conversion::ExportResult& result);

}  // namespace norvexa::windows
