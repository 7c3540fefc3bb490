// The sample mailbox, described in code so that it needs no data file: one
// function per folder, each a short list of its items.
#include "sample.h"

namespace norvexa::pstgen {
namespace {

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kBase = 1714550400;  // 2024-05-01 08:00:00 UTC

// The people the sample's items are from and to.
const Address kAnna{"Anna Berger", "anna.berger@example.com", "SMTP"};
const Address kMe{"Sample User", "sample.user@example.com", "SMTP"};
const Address kBoss{"Paul Martin", "/O=EXAMPLE/OU=EXCHANGE ADMINISTRATIVE GROUP/CN=RECIPIENTS/CN=PMARTIN", "EX"};

// A producer of the fixed ITEMS, in order.
ItemProducer Fixed(std::vector<Item> items) {
  return [items = std::move(items)](const std::function<void(const Item&)>& sink) {
    for (const Item& item : items) sink(item);
  };
}

// A folder NAME of CONTAINER_CLASS with ROLE ("", "sent") holding ITEMS.
FolderSpec Folder(const std::string& name, const std::string& container_class, const std::string& role,
                  std::vector<Item> items) {
  return FolderSpec{name, container_class, role, Fixed(std::move(items)), {}};
}

// A mail sent WHEN (and created and delivered then) from FROM to TO.
Item Mail(const std::string& subject, const std::string& body, std::int64_t when, Address from,
          std::vector<Recipient> to) {
  Item m;
  m.message_class = "IPM.Note";
  m.subject = subject;
  m.body = body;
  m.sender = std::move(from);
  m.recipients = std::move(to);
  m.created = m.submitted = m.delivered = when;
  return m;
}

// An item of MESSAGE_CLASS with SUBJECT, created at CREATED when given.
Item Entry(const std::string& message_class, const std::string& subject, std::optional<std::int64_t> created) {
  Item item;
  item.message_class = message_class;
  item.subject = subject;
  item.created = created;
  return item;
}

// A recipient A of KIND (1 To, 2 Cc, 3 Bcc).
Recipient To(const Address& a, int kind = 1) {
  Recipient r;
  r.name = a.name;
  r.email = a.email;
  r.kind = kind;
  return r;
}

// An attached text file NAME holding TEXT.
Attachment TextFile(const std::string& name, const std::string& text) {
  Attachment a;
  a.file_name = name;
  a.mime_type = "text/plain";
  a.data.assign(text.begin(), text.end());
  return a;
}

// A contact NAME with its FIELDS (by ContactFieldTag's names).
Item Contact(const std::string& name, std::map<std::string, std::string> fields) {
  Item c = Entry("IPM.Contact", name, std::nullopt);
  c.display_name = name;
  c.contact = std::move(fields);
  return c;
}

// The inbox: a welcome, a mail with attachments (a small one and a large
// one of pattern bytes), one in scripts and emoji with an HTML body, left
// unread, and one forwarding another as an attached message.
std::vector<Item> InboxItems() {
  std::vector<Item> inbox;
  inbox.push_back(Mail("Welcome to Norvexa", "This sample mailbox shows what an Outlook store holds.\r\n", kBase,
                       kAnna, {To(kMe)}));
  Item figures = Mail("Quarterly figures", "Please find the figures attached.\r\n", kBase + kDay, kBoss,
                      {To(kMe), To(kAnna, 2)});
  figures.importance = 2;
  figures.categories = {"Finance", "Important"};
  figures.attachments.push_back(TextFile("figures.csv", "quarter;revenue\r\nQ1;1200\r\nQ2;1350\r\n"));
  figures.attachments.push_back(PatternAttachment("report.bin", 20000, 7));
  inbox.push_back(figures);
  Item scripts = Mail("Привет из Москвы — 東京からこんにちは 🎉", "Текст, 日本語のテキスト, emoji 😀.\r\n",
                      kBase + 2 * kDay, kAnna, {To(kMe)});
  scripts.html = "<html><body><p>Текст, 日本語のテキスト, emoji 😀.</p></body></html>";
  scripts.unread = true;
  inbox.push_back(scripts);
  Item forward = Mail("Fw: Original message", "See the attached message.\r\n", kBase + 3 * kDay, kAnna, {To(kMe)});
  Attachment original;
  original.message = std::make_shared<Item>(
      Mail("Original message", "The forwarded text.\r\n", kBase - kDay, kBoss, {To(kAnna)}));
  forward.attachments.push_back(original);
  inbox.push_back(forward);
  return inbox;
}

// The inbox's sub-folder "Projects".
std::vector<Item> ProjectItems() {
  return {Mail("Project kickoff", "Kickoff on Monday at 10.\r\n", kBase + 4 * kDay, kBoss, {To(kMe)})};
}

// Sent items: the reply to the welcome.
std::vector<Item> SentItems() {
  Item reply = Mail("Re: Welcome to Norvexa", "Thank you!\r\n", kBase + kDay / 2, kMe, {To(kAnna)});
  reply.sent = true;
  return {reply};
}

// The calendar: a meeting with a location, a category and an agenda.
std::vector<Item> CalendarItems() {
  Item meeting = Entry("IPM.Appointment", "Team meeting", kBase);
  meeting.location = "Room 4.01";
  meeting.start = kBase + 7 * kDay + 2 * 3600;
  meeting.end = *meeting.start + 3600;
  meeting.categories = {"Meetings"};
  meeting.body = "Weekly team meeting.\r\n";
  meeting.attachments.push_back(TextFile("agenda.txt", "1. Status\r\n2. Plans\r\n"));
  return {meeting};
}

// Tasks: one with start, due date and reminder.
std::vector<Item> TaskItems() {
  Item task = Entry("IPM.Task", "Prepare the report", kBase);
  task.task_start = kBase + kDay;
  task.due = kBase + 10 * kDay;
  task.reminder = kBase + 9 * kDay;
  task.importance = 2;
  return {task};
}

// Contacts: a full one, a short one and a distribution list of both.
std::vector<Item> ContactItems() {
  Item anna = Contact("Anna Berger", {{"FirstName", "Anna"},          {"LastName", "Berger"},
                                      {"CompanyName", "Example Ltd"}, {"JobTitle", "Accountant"},
                                      {"Email1", kAnna.email},        {"BusinessPhone", "+41 44 000 00 00"},
                                      {"BusinessCity", "Zürich"},     {"BusinessCountry", "Switzerland"}});
  anna.birthday = 315532800;  // 1980-01-01
  Item paul = Contact("Paul Martin", {{"FirstName", "Paul"}, {"LastName", "Martin"}, {"Email1", "paul.martin@example.com"}});
  Item team = Entry("IPM.DistList", "Project team", std::nullopt);
  team.display_name = "Project team";
  team.members = {kAnna, {"Paul Martin", "paul.martin@example.com", "SMTP"}};
  return {anna, paul, team};
}

// The journal: a phone call.
std::vector<Item> JournalItems() {
  Item call = Entry("IPM.Activity", "Phone call with Anna", kBase + kDay);
  call.body = "Talked about the figures.\r\n";
  return {call};
}

// Notes: one sticky note.
std::vector<Item> NoteItems() {
  Item note = Entry("IPM.StickyNote", "Remember the milk", kBase);
  note.body = "Remember the milk";
  return {note};
}

}  // namespace

MailboxSpec SampleMailbox() {
  MailboxSpec mailbox;
  mailbox.store_name = "Sample Mailbox";
  FolderSpec inbox = Folder("Inbox", "IPF.Note", "", InboxItems());
  inbox.children.push_back(Folder("Projects", "IPF.Note", "", ProjectItems()));
  mailbox.folders.push_back(inbox);
  mailbox.folders.push_back(Folder("Sent Items", "IPF.Note", "sent", SentItems()));
  mailbox.folders.push_back(Folder("Calendar", "IPF.Appointment", "", CalendarItems()));
  mailbox.folders.push_back(Folder("Tasks", "IPF.Task", "", TaskItems()));
  mailbox.folders.push_back(Folder("Contacts", "IPF.Contact", "", ContactItems()));
  mailbox.folders.push_back(Folder("Journal", "IPF.Journal", "", JournalItems()));
  mailbox.folders.push_back(Folder("Notes", "IPF.StickyNote", "", NoteItems()));
  return mailbox;
}

}  // namespace norvexa::pstgen
