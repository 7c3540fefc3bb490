// The date stamp in the names of new databases.
#pragma once

#include <QDateTime>

#include <string>

namespace norvexa::target {

// The date stamp of WHEN in the form "dd-mm-yyyy-h-m-s": day and month in two
// digits, four-digit year, then hour (24-hour clock), minutes and seconds
// without leading zeros, in ASCII digits whatever the user's locale.
std::string DateStamp(const QDateTime& when);

}  // namespace norvexa::target
