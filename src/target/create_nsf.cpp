// CreateNSF: the new mail database from the client's mail template, and the
// companion address book from the user's address book or "pernames.ntf".
#include "target/create_nsf.h"

#include "platform/notes/notes.h"
#include "platform/system/paths.h"
#include "platform/system/system_services.h"
#include "platform/system/text.h"
#include "target/date_stamp.h"
#include "target/free_stamp.h"

#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace norvexa::target {

namespace {

using Kind = CreationFailure::Kind;

// A failure of one step of the creation, on its way to the caller.
struct StepFailed {
  CreationFailure failure;
};

// The database FILE of the local client, which must exist: a missing file
// gives a database that is not open, and copying it would only fail later.
std::unique_ptr<notes::Database> OpenSource(notes::Session& session, const std::string& file) {
  try {
    std::unique_ptr<notes::Database> db = session.GetDatabase("", file);
    if (db && db->IsOpen()) return db;
    throw StepFailed{{Kind::NoSource, file, "no such database in the Notes client's folder"}};
  } catch (const std::exception& e) {
    throw StepFailed{{Kind::NoSource, file, e.what()}};
  }
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(sys::PathFromUtf8(path), ec);
}

// Copies SOURCE to a new database at PATH. Made, or Taken when a file was
// there before (another program made it first; nothing of it is touched),
// else Failed with the reason in FAILURE.
Attempt CopyTo(notes::Database& source, const std::string& path, CreationFailure& failure) {
  try {
    source.CreateCopy("", path).reset();
    return Attempt::Made;
  } catch (const std::exception& e) {
    failure = {Exists(path) ? Kind::Taken : Kind::NotCreated, path, e.what()};
    return failure.kind == Kind::Taken ? Attempt::Taken : Attempt::Failed;
  }
}

// Removes the empty mail database at PATH that this creation made, with the
// journal files SQLite may leave beside it. Called after every object on it
// has been released. A file that cannot be removed is left: it is empty,
// and the failure the caller reports names its folder.
void RemoveCreatedDatabase(const std::string& path) {
  std::error_code ec;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    std::filesystem::remove(sys::PathFromUtf8(path + suffix), ec);
  }
}

// The address book in FOLDER, copied from the client's NAMES entry (its
// first database) or pernames.ntf, under the first free stamp from now.
std::string MakeAddressBook(notes::Session& session, const std::string& folder) {
  const std::string names = session.GETENVIRONMENTSTRING("NAMES", true);
  const std::string source = names.empty() ? std::string("pernames.ntf") : names.substr(0, names.find(','));
  std::unique_ptr<notes::Database> source_db = OpenSource(session, source);
  CreationFailure failure;
  std::string path;
  const Attempt made = WithFreeStamp(
      sys::Services().Now(), [&](const QDateTime& when) { return folder + "names" + DateStamp(when) + ".nsf"; },
      [&](const std::string& candidate) { return CopyTo(*source_db, candidate, failure); }, path);
  if (made == Attempt::Taken) failure = {Kind::NotCreated, path, "every name for an hour of stamps is taken"};
  if (made != Attempt::Made) throw StepFailed{failure};
  return path;
}

}  // namespace

Creation CreateNSF(SaveProgress& progress, const std::string& mail_database, const std::string& folder) {
  progress.SetSaveHeader("Creating Lotus Notes Mailbox...");
  progress.SetProcessing("Please Wait...");

  Creation creation;
  bool mail_database_made = false;
  try {
    std::unique_ptr<notes::Session> session;
    try {
      session = std::make_unique<notes::Session>();
    } catch (const std::exception& e) {
      throw StepFailed{{Kind::NoClient, sys::Utf8(notes::DefaultClientDirectory()), e.what()}};
    }
    const std::string mail_template = sys::Trim(session->GETENVIRONMENTSTRING("DefaultMailTemplate", true));
    {
      std::unique_ptr<notes::Database> template_db = OpenSource(*session, mail_template);
      CreationFailure failure;
      if (CopyTo(*template_db, mail_database, failure) != Attempt::Made) throw StepFailed{failure};
      mail_database_made = true;
    }
    progress.Yield();

    // The design came with the copy: its header is shown for the step users
    // know by that name and gives way at once to the address book's.
    progress.SetSaveHeader("Creating Design Elements...");
    progress.SetSaveHeader("Creating Address Book...");
    creation.paths.mail_database = mail_database;
    creation.paths.address_book = MakeAddressBook(*session, folder);
    creation.paths.contacts_to_address_book = true;
    progress.Yield();
    return creation;
  } catch (const StepFailed& failed) {
    // The Notes objects are released by now.
    creation.failure = failed.failure;
  }
  creation.paths = RunPaths();
  if (mail_database_made) RemoveCreatedDatabase(mail_database);
  return creation;
}

}  // namespace norvexa::target
