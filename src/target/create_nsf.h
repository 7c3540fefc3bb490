// Creation of the new target databases: the mail database from the local
// client's mail template and the companion address book.
#pragma once

#include "target/run_paths.h"

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

// Creates the mail database at MAIL_DATABASE and the address book
// "names<stamp>.nsf" in FOLDER (ending in the platform's separator), the
// stamp taken after the mail database is made. Returns the two paths, with
// contacts going to the address book. On any failure it shows "Lotus Notes
// NOT INSTALLED or CONFIGURED Properly." and ends the program through the
// system services; it does not return. A mail database it made before the
// failure is removed first, so no empty database is left behind.
RunPaths CreateNSF(SaveProgress& progress, const std::string& mail_database, const std::string& folder);

}  // namespace norvexa::target
