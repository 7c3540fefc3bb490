// The items a Task gets beyond the task's own; see task_items.h.
#include "writers/task_items.h"

#include "writers/item_values.h"

#include <cmath>

namespace norvexa::writers {

std::string TaskStatusText(std::int64_t status) {
  switch (status) {
    case 0: return "Not Started";
    case 1: return "In Progress";
    case 2: return "Completed";
    case 3: return "Waiting on someone else";
    case 4: return "Deferred";
    default: return std::string();
  }
}

void PutTaskExtras(Steps& steps, const std::unique_ptr<notes::Document>& document, const TaskExtras& extras) {
  if (extras.status) {
    const std::string text = TaskStatusText(*extras.status);
    if (!text.empty()) Put(steps, document, "TaskStatus", text);
  }
  if (extras.percent_complete && std::isfinite(*extras.percent_complete)) {
    // Outlook keeps a fraction; people (and Notes views) read percent.
    Put(steps, document, "PercentComplete", std::round(*extras.percent_complete * 100.0));
  }
  const bool complete = extras.complete || extras.status.value_or(-1) == 2;
  if (complete && extras.completed) Put(steps, document, "CompletedDateTime", DateValue(extras.completed));
  if (!extras.owner.empty()) Put(steps, document, "TaskOwner", extras.owner);
}

}  // namespace norvexa::writers
