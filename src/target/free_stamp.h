// Names that are taken: a new database is named after the second it is made
// in, so two exports into one folder within a second would meet on a name.
// The second one moves on to the next second that is free, and never
// overwrites nor gives up on a name that another program took meanwhile.
#pragma once

#include <QDateTime>

#include <functional>
#include <string>

namespace norvexa::target {

// How many seconds from the first a name may move on: an hour of names
// taken in one folder is more than any fleet of exports makes.
inline constexpr int kStampTries = 3600;

// What one try at making a database came to.
enum class Attempt {
  Made,    // the database is there, made by this try
  Taken,   // a file of that name was there (another program made it first)
  Failed,  // it could not be made for another reason
};

// Walks the seconds FIRST, FIRST + 1 s, ... (at most kStampTries of them):
// PATH_AT gives the database's path for a second; a path where a file is
// there already is passed over; otherwise TRY(path) is called, and its
// answer is returned unless it is Taken, when the walk goes on. LAST_PATH
// is set to the path tried last. Returns Taken when every second was taken.
Attempt WithFreeStamp(const QDateTime& first, const std::function<std::string(const QDateTime&)>& path_at,
                      const std::function<Attempt(const std::string&)>& attempt, std::string& last_path);

}  // namespace norvexa::target
