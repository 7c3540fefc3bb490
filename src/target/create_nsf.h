// Creation of the new target databases: the mail database from the local
// client's mail template and the companion address book.
#pragma once

#include <string>

namespace norvexa::target {

// The two progress labels of the save window that the creation writes.
class SaveProgress {
 public:
  virtual ~SaveProgress() = default;
  virtual void SetSaveHeader(const std::string& text) = 0;
  virtual void SetProcessing(const std::string& text) = 0;
};

// Creates the mail database at Global::NsfFilePath and the address book
// "names<stamp>.nsf" in the folder Global::AddressBookPath, which it extends
// to the address book's full path. Returns normally when both exist. On any
// failure it shows "Lotus Notes NOT INSTALLED or CONFIGURED Properly." and
// ends the program through the system services; it does not return. A mail
// database it made before the failure is removed first, so no empty
// database is left behind.
void CreateNSF(SaveProgress& progress);

}  // namespace norvexa::target
