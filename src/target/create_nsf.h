// Creation of the new target databases: the mail database from the local
// client's mail template and the companion address book.
#pragma once

#include "target/run_paths.h"

#include <optional>
#include <string>

namespace norvexa::target {

// What the creation shows and where it yields: the two progress labels of
// the save window, and the window's message loop.
class SaveProgress {
 public:
  virtual ~SaveProgress() = default;
  virtual void SetSaveHeader(const std::string& text) = 0;
  virtual void SetProcessing(const std::string& text) = 0;
  // Lets the window's message loop process what is pending.
  virtual void Yield() = 0;
};

// Why the new databases could not be made.
struct CreationFailure {
  enum class Kind {
    NoClient,    // no local Notes client, or its notes.ini cannot be read
    NoSource,    // the mail template or the address book to copy cannot be opened
    NotCreated,  // the new file could not be made (no folder, no permission, no room)
    Taken,       // a file is there already at the mail database's path
  };
  Kind kind = Kind::NotCreated;
  std::string path;    // the database (or, for NoClient, the client's folder) concerned
  std::string reason;  // what the system or the Notes back-end said
};

// What CreateNSF made: the two paths, or why it made nothing.
struct Creation {
  RunPaths paths;                         // set when made
  std::optional<CreationFailure> failure;  // set when not
};

// Creates the mail database at MAIL_DATABASE and the address book
// "names<stamp>.nsf" in FOLDER (ending in the platform's separator), the
// stamp taken after the mail database is made; an address book of that name
// already there moves on to the next free second (free_stamp.h). Returns
// the two paths, with contacts going to the address book, or the failure:
// a mail database path already taken is Taken and nothing is touched; a
// mail database it made before a later failure is removed again, so no
// empty database is left behind. Never ends the program; shows nothing but
// the two progress labels.
Creation CreateNSF(SaveProgress& progress, const std::string& mail_database, const std::string& folder);

}  // namespace norvexa::target
