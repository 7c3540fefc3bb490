// The values the writers put into Notes documents: date-times that may be
// missing, the date and the time of day of a date-time, the exclude-from-view
// list, and the put itself under a writer's failure policy.
#pragma once

#include "platform/notes/notes.h"
#include "writers/steps.h"
#include "writers/writers.h"

#include <memory>
#include <string>

namespace norvexa::writers {

// A date-time item's value: the date-time itself, or the empty text when the
// source has none (a missing date is never made up).
notes::ItemValue DateValue(const DateArg& when);

// The calendar date of WHEN as a date-time at midnight (same time zone), or
// the empty text when WHEN is missing.
notes::ItemValue DayValue(const DateArg& when);

// The time of day of WHEN to the second, without a date, or the empty text
// when WHEN is missing.
notes::ItemValue TimeOfDayValue(const DateArg& when);

// The context's exclude-from-view values as a text list.
notes::TextList ExcludeFromViewList(const WriterContext& context);

// Puts item NAME with VALUE into DOC as one step of STEPS.
void Put(Steps& steps, const std::unique_ptr<notes::Document>& doc, const std::string& name,
         const notes::ItemValue& value);

}  // namespace norvexa::writers
