// What a calendar entry carries beyond the calendar writer's arguments, read
// from an Outlook appointment: every occurrence of a recurring series (in
// the appointment's own time zone) with its repeat rule in Notes' terms,
// all-day, the reminder, busy status, the organiser and the attendees.
#pragma once

#include "writers/calendar_items.h"

#include <string>
#include <vector>

namespace norvexa::outlook {
class Item;
}

namespace norvexa::conversion {

// The details of ITEM, an appointment. A series is expanded from its
// recurrence blob in its own time zone (the time-zone definition, else
// the older time-zone struct, else the offset its start shows); an endless
// series up to writers::kEndlessSeriesYears after its first occurrence. An
// appointment that does not recur has one occurrence, START to END (none
// when START is missing). A value that cannot be read (a damaged blob)
// leaves that part out and adds a line to PROBLEMS: a series whose blob is
// damaged is written as its first occurrence.
writers::CalendarDetails ReadCalendarDetails(const outlook::Item& item, const std::optional<QDateTime>& start,
                                             const std::optional<QDateTime>& end, std::vector<std::string>& problems);

}  // namespace norvexa::conversion
