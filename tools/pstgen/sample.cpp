// The sample mailbox, described in code so that it needs no data file.
#include "sample.h"

namespace norvexa::pstgen {
namespace {

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kBase = 1714550400;  // 2024-05-01 08:00:00 UTC

ItemProducer Fixed(std::vector<Item> items) {
  return [items = std::move(items)](const std::function<void(const Item&)>& sink) {
    for (const Item& item : items) sink(item);
  };
}

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

Recipient To(const std::string& name, const std::string& email, int kind = 1) {
  Recipient r;
  r.name = name;
  r.email = email;
  r.kind = kind;
  return r;
}

Attachment TextFile(const std::string& name, const std::string& text) {
  Attachment a;
  a.file_name = name;
  a.mime_type = "text/plain";
  a.data.assign(text.begin(), text.end());
  return a;
}

}  // namespace

MailboxSpec SampleMailbox() {
  MailboxSpec spec;
  spec.store_name = "Sample Mailbox";
  const Address anna{"Anna Berger", "anna.berger@example.com", "SMTP"};
  const Address me{"Sample User", "sample.user@example.com", "SMTP"};
  const Address boss{"Paul Martin", "/O=EXAMPLE/OU=EXCHANGE ADMINISTRATIVE GROUP/CN=RECIPIENTS/CN=PMARTIN", "EX"};

  std::vector<Item> inbox;
  inbox.push_back(Mail("Welcome to Norvexa", "This sample mailbox shows what an Outlook store holds.\r\n",
                       kBase, anna, {To(me.name, me.email)}));
  {
    Item m = Mail("Quarterly figures", "Please find the figures attached.\r\n", kBase + kDay, boss,
                  {To(me.name, me.email), To(anna.name, anna.email, 2)});
    m.importance = 2;
    m.categories = {"Finance", "Important"};
    m.attachments.push_back(TextFile("figures.csv", "quarter;revenue\r\nQ1;1200\r\nQ2;1350\r\n"));
    Attachment big;
    big.file_name = "report.bin";
    big.use_pattern = true;
    big.pattern_size = 20000;
    big.pattern_seed = 7;
    m.attachments.push_back(big);
    inbox.push_back(m);
  }
  {
    Item m = Mail("Привет из Москвы — 東京からこんにちは 🎉", "Текст, 日本語のテキスト, emoji 😀.\r\n",
                  kBase + 2 * kDay, anna, {To(me.name, me.email)});
    m.html = "<html><body><p>Текст, 日本語のテキスト, emoji 😀.</p></body></html>";
    m.unread = true;
    inbox.push_back(m);
  }
  {
    Item forwarded = Mail("Original message", "The forwarded text.\r\n", kBase - kDay, boss, {To(anna.name, anna.email)});
    Item m = Mail("Fw: Original message", "See the attached message.\r\n", kBase + 3 * kDay, anna,
                  {To(me.name, me.email)});
    Attachment a;
    a.message = std::make_shared<Item>(forwarded);
    m.attachments.push_back(a);
    inbox.push_back(m);
  }
  std::vector<Item> projects = {
      Mail("Project kickoff", "Kickoff on Monday at 10.\r\n", kBase + 4 * kDay, boss, {To(me.name, me.email)})};
  std::vector<Item> sent;
  {
    Item m = Mail("Re: Welcome to Norvexa", "Thank you!\r\n", kBase + kDay / 2, me, {To(anna.name, anna.email)});
    m.sent = true;
    sent.push_back(m);
  }

  std::vector<Item> calendar;
  {
    Item a;
    a.message_class = "IPM.Appointment";
    a.subject = "Team meeting";
    a.location = "Room 4.01";
    a.start = kBase + 7 * kDay + 2 * 3600;
    a.end = *a.start + 3600;
    a.created = kBase;
    a.categories = {"Meetings"};
    a.body = "Weekly team meeting.\r\n";
    a.attachments.push_back(TextFile("agenda.txt", "1. Status\r\n2. Plans\r\n"));
    calendar.push_back(a);
  }
  std::vector<Item> tasks;
  {
    Item t;
    t.message_class = "IPM.Task";
    t.subject = "Prepare the report";
    t.task_start = kBase + kDay;
    t.due = kBase + 10 * kDay;
    t.reminder = kBase + 9 * kDay;
    t.importance = 2;
    t.created = kBase;
    tasks.push_back(t);
  }
  std::vector<Item> contacts;
  {
    Item c;
    c.message_class = "IPM.Contact";
    c.display_name = "Anna Berger";
    c.subject = "Anna Berger";
    c.contact = {{"FirstName", "Anna"},          {"LastName", "Berger"},
                 {"CompanyName", "Example Ltd"}, {"JobTitle", "Accountant"},
                 {"Email1", anna.email},         {"BusinessPhone", "+41 44 000 00 00"},
                 {"BusinessCity", "Zürich"},     {"BusinessCountry", "Switzerland"}};
    c.birthday = 315532800;  // 1980-01-01
    contacts.push_back(c);
    Item p;
    p.message_class = "IPM.Contact";
    p.display_name = "Paul Martin";
    p.subject = "Paul Martin";
    p.contact = {{"FirstName", "Paul"}, {"LastName", "Martin"}, {"Email1", "paul.martin@example.com"}};
    contacts.push_back(p);
    Item dl;
    dl.message_class = "IPM.DistList";
    dl.display_name = "Project team";
    dl.subject = "Project team";
    dl.members = {anna, {"Paul Martin", "paul.martin@example.com", "SMTP"}};
    contacts.push_back(dl);
  }
  std::vector<Item> journal;
  {
    Item j;
    j.message_class = "IPM.Activity";
    j.subject = "Phone call with Anna";
    j.body = "Talked about the figures.\r\n";
    j.created = kBase + kDay;
    journal.push_back(j);
  }
  std::vector<Item> notes;
  {
    Item n;
    n.message_class = "IPM.StickyNote";
    n.subject = "Remember the milk";
    n.body = "Remember the milk";
    n.created = kBase;
    notes.push_back(n);
  }

  FolderSpec inbox_folder{"Inbox", std::string("IPF.Note"), "", Fixed(inbox), {}};
  inbox_folder.children.push_back(FolderSpec{"Projects", std::string("IPF.Note"), "", Fixed(projects), {}});
  spec.folders.push_back(inbox_folder);
  spec.folders.push_back(FolderSpec{"Sent Items", std::string("IPF.Note"), "sent", Fixed(sent), {}});
  spec.folders.push_back(FolderSpec{"Calendar", std::string("IPF.Appointment"), "", Fixed(calendar), {}});
  spec.folders.push_back(FolderSpec{"Tasks", std::string("IPF.Task"), "", Fixed(tasks), {}});
  spec.folders.push_back(FolderSpec{"Contacts", std::string("IPF.Contact"), "", Fixed(contacts), {}});
  spec.folders.push_back(FolderSpec{"Journal", std::string("IPF.Journal"), "", Fixed(journal), {}});
  spec.folders.push_back(FolderSpec{"Notes", std::string("IPF.StickyNote"), "", Fixed(notes), {}});
  return spec;
}

}  // namespace norvexa::pstgen
