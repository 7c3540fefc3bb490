// The items a Task gets beyond the task's own: its status, how far it has
// come, when it was completed and whose it is (docs/notes-database.md,
// "Tasks beyond the task form").
#pragma once

#include "platform/notes/notes.h"
#include "writers/item_extras.h"
#include "writers/steps.h"

#include <memory>
#include <string>

namespace norvexa::writers {

// The name Outlook shows for task status STATUS ("Not Started", "In
// Progress", "Completed", "Waiting on someone else", "Deferred"); "" for
// another value.
std::string TaskStatusText(std::int64_t status);

// Puts into DOCUMENT, each a step of STEPS: TaskStatus (text, when the task
// has a status), PercentComplete (number 0 to 100, when known),
// CompletedDateTime (when the task is complete and the date is known) and
// TaskOwner (when not "").
void PutTaskExtras(Steps& steps, const std::unique_ptr<notes::Document>& document, const TaskExtras& extras);

}  // namespace norvexa::writers
