// Provisioning of a local Notes client: notes.ini, the mail template, the
// address-book template and the personal address book.
#include "platform/notes/notes_schema.h"

#include "platform/notes/notes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace norvexa::notes {

namespace {

constexpr const char* kMailTemplate = "mail.ntf";
constexpr const char* kAddressBookTemplate = "pernames.ntf";
constexpr const char* kAddressBook = "names.nsf";

// The mail template: the forms the writers store documents with, and the
// standard views and folders of a mail database.
internal::NewDatabase MailTemplate() {
  return {"Mail (Norvexa)",
          "StdNorvexaMail",
          {
              {"form", "Memo", R"({"fields":["From","SendTo","CopyTo","BlindCopyTo","Subject","Body","PostedDate","DeliveredDate"]})"},
              {"form", "Reply", R"({"fields":["From","SendTo","CopyTo","BlindCopyTo","Subject","Body","PostedDate","DeliveredDate"]})"},
              {"form", "Appointment", R"({"fields":["Chair","AppointmentType","STARTDATETIME","EndDateTime","Location","Subject","Body"]})"},
              {"form", "Task", R"({"fields":["TaskType","DueDate","StartDate","Subject","Body","Importance"]})"},
              {"folder", "($Inbox)", R"({"title":"Inbox"})"},
              {"view", "($Sent)", R"({"title":"Sent","selection":"PostedDate != \"\" & DeliveredDate = \"\""})"},
              {"view", "($Drafts)", R"({"title":"Drafts","selection":"PostedDate = \"\""})"},
              {"view", "($Calendar)", R"({"title":"Calendar","selection":"Form = \"Appointment\""})"},
              {"view", "($ToDo)", R"({"title":"To Do","selection":"Form = \"Task\""})"},
              {"folder", "($Trash)", R"({"title":"Trash"})"},
          }};
}

// The personal address-book template.
internal::NewDatabase AddressBookTemplate() {
  return {"Personal Address Book (Norvexa)",
          "StdNorvexaPersonalAddressBook",
          {
              {"form", "Person", R"({"fields":["FirstName","LastName","FullName","MailAddress","CompanyName"]})"},
              {"form", "Group", R"({"fields":["ListName","ListDescription","Members"]})"},
              {"view", "($People)", R"({"title":"People","selection":"Form = \"Person\""})"},
              {"view", "($Groups)", R"({"title":"Groups","selection":"Form = \"Group\""})"},
          }};
}

// Writes TEXT to a new file PATH; never replaces an existing one.
void WriteNewFile(const std::filesystem::path& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) throw NotesError("write " + path.string() + ": " + std::strerror(errno));
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const std::string reason = std::strerror(errno);
      ::close(fd);
      throw NotesError("write " + path.string() + ": " + reason);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) throw NotesError("write " + path.string() + ": " + std::strerror(errno));
}

}  // namespace

void ProvisionClient(const std::filesystem::path& given) {
  std::error_code ec;
  // Every path below is made absolute first: the back-end reads a relative
  // database path from the client's data folder, which is not this one yet.
  const std::filesystem::path dir = std::filesystem::absolute(given, ec).lexically_normal();
  const std::string where = "provision Notes client in " + (ec ? given : dir).string();
  if (ec) throw NotesError(where + ": " + ec.message());
  std::filesystem::create_directories(dir, ec);
  if (ec) throw NotesError(where + ": " + ec.message());
  for (const char* name : {"notes.ini", kMailTemplate, kAddressBookTemplate, kAddressBook}) {
    if (std::filesystem::exists(dir / name, ec))
      throw NotesError(where + ": " + (dir / name).string() + " already exists; an existing client is never overwritten");
  }
  internal::CreateDatabaseFile(dir / kMailTemplate, MailTemplate());
  internal::CreateDatabaseFile(dir / kAddressBookTemplate, AddressBookTemplate());
  OpenDatabaseFile(dir / kAddressBookTemplate)->CreateCopy("", (dir / kAddressBook).string());
  // notes.ini comes last: a folder holding it is a complete client.
  WriteNewFile(dir / "notes.ini", "[Notes]\nDirectory=" + std::filesystem::absolute(dir).string() + "\nDefaultMailTemplate=" + kMailTemplate +
                                      "\nNAMES=" + kAddressBook + "\n");
}

}  // namespace norvexa::notes
