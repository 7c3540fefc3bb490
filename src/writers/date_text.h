// Dates written as text in the system's regional date format, and read back.
// A contact's birthday and anniversary reach the Person writer as such text.
#pragma once

#include <QDate>

#include <optional>
#include <string>

namespace norvexa::writers {

// DATE in the system locale's short date format, its year always written
// with four digits so that no century is lost ("3/7/2005" in en_US,
// "07.03.2005" in de_DE). "" for an invalid date.
std::string RegionalDateText(const QDate& date);

// The calendar date TEXT denotes, read by the system locale's conventions:
// its short or long date format (with a four- or two-digit year), optionally
// followed by a time of day, or an ISO 8601 date or date-time. A two-digit
// year means 1930 to 2029. std::nullopt when TEXT is not a date.
std::optional<QDate> ParseRegionalDate(const std::string& text);

}  // namespace norvexa::writers
