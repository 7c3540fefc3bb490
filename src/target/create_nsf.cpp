// CreateNSF: the new mail database from the client's mail template, and the
// companion address book from the user's address book or "pernames.ntf".
#include "target/create_nsf.h"

#include "platform/notes/notes.h"
#include "platform/system/system_services.h"
#include "platform/system/text.h"
#include "target/date_stamp.h"

#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace norvexa::target {

namespace {

// The database FILE of the local client, which must exist: a missing file
// gives a database that is not open, and copying it would only fail later.
std::unique_ptr<notes::Database> OpenSource(notes::Session& session, const std::string& file) {
  std::unique_ptr<notes::Database> db = session.GetDatabase("", file);
  if (!db || !db->IsOpen()) throw notes::NotesError("cannot open " + file);
  return db;
}

// Removes the empty mail database at PATH that this creation made, with the
// journal files SQLite may leave beside it. Called after every object on it
// has been released. A file that cannot be removed is left: the program is
// about to end and the user can delete it.
void RemoveCreatedDatabase(const std::string& path) {
  std::error_code ec;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    std::filesystem::remove(std::filesystem::path(path + suffix), ec);
  }
}

// Tells the user that Notes is missing or misconfigured and ends the
// program (ExitProgram does not return).
[[noreturn]] void NotesNotInstalled() {
  sys::ShowNotice(nullptr, QStringLiteral("Lotus Notes NOT INSTALLED or CONFIGURED Properly."),
                  QStringLiteral("Notes Not Installed/Configured"));
  sys::Services().ExitProgram(1);
  // ExitProgram does not return; the compiler cannot see that through the
  // seam, and the program must not go on either way.
  std::terminate();
}

}  // namespace

RunPaths CreateNSF(SaveProgress& progress, const std::string& mail_database, const std::string& folder) {
  progress.SetSaveHeader("Creating Lotus Notes Mailbox...");
  progress.SetProcessing("Please Wait...");

  bool mail_database_made = false;
  try {
    auto session = std::make_unique<notes::Session>();

    const std::string mail_template = session->GETENVIRONMENTSTRING("DefaultMailTemplate", true);
    {
      std::unique_ptr<notes::Database> template_db = OpenSource(*session, sys::Trim(mail_template));
      std::unique_ptr<notes::Database> mail_db = template_db->CreateCopy("", mail_database);
      mail_database_made = true;
      mail_db.reset();
      template_db.reset();
    }
    progress.Yield();

    // The design came with the copy: its header is shown for the step users
    // know by that name and gives way at once to the address book's.
    progress.SetSaveHeader("Creating Design Elements...");
    progress.SetSaveHeader("Creating Address Book...");
    const std::string names = session->GETENVIRONMENTSTRING("NAMES", true);
    const std::string source = names.empty() ? std::string("pernames.ntf") : names.substr(0, names.find(','));
    std::unique_ptr<notes::Database> source_db = OpenSource(*session, source);
    RunPaths paths;
    paths.mail_database = mail_database;
    paths.address_book = folder + "names" + DateStamp(sys::Services().Now()) + ".nsf";
    paths.contacts_to_address_book = true;
    std::unique_ptr<notes::Database> address_book = source_db->CreateCopy("", paths.address_book);

    progress.Yield();
    address_book.reset();
    source_db.reset();
    session.reset();
    return paths;
  } catch (const std::exception&) {
    // Every failure gets the same message below; which step failed is not
    // told to the user. The Notes objects are released by now.
  }
  if (mail_database_made) RemoveCreatedDatabase(mail_database);
  NotesNotInstalled();
}

}  // namespace norvexa::target
