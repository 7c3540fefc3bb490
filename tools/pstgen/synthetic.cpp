// The synthetic mailbox generator: realistic mail, appointments, tasks and
// contacts with random but reproducible values (a fixed-seed generator; no
// clock and no system entropy).
#include "synthetic.h"

#include <array>

namespace norvexa::pstgen {
namespace {

// xoshiro-style generator seeded by splitmix; the same seed gives the same
// sequence on every platform.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) {
    for (auto& s : state_) {
      seed += 0x9E3779B97F4A7C15ull;
      std::uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      s = z ^ (z >> 31);
    }
  }
  // The next 64 random bits.
  std::uint64_t Next() {
    const std::uint64_t result = Rotl(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = Rotl(state_[3], 45);
    return result;
  }
  // Uniform in [0, n).
  std::uint64_t Below(std::uint64_t n) { return n ? Next() % n : 0; }
  template <typename T, std::size_t N>
  const T& Pick(const std::array<T, N>& a) { return a[Below(N)]; }

 private:
  static std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  std::array<std::uint64_t, 4> state_{};
};

const std::array<const char*, 12> kFirst = {"Anna", "Paul", "Maria", "Jean", "Olga", "Ivan",
                                            "Yuki", "Wei", "Sofia", "Lars", "Amira", "Tomás"};
const std::array<const char*, 12> kLast = {"Berger", "Martin", "Rossi", "Dubois", "Petrova", "Ivanov",
                                           "Tanaka", "Zhang", "García", "Nielsen", "Haddad", "Novák"};
const std::array<const char*, 16> kWords = {"budget", "meeting", "report", "project", "invoice", "review",
                                            "plan", "update", "Отчёт", "会議", "schedule", "draft",
                                            "contract", "release", "😀", "figures"};
const std::array<const char*, 4> kCategories = {"Business", "Personal", "Важно", "フォローアップ"};

// COUNT words drawn from kWords, separated by blanks.
std::string Words(Rng& rng, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) {
    if (i) s += ' ';
    s += rng.Pick(kWords);
  }
  return s;
}

// A person of a drawn name, with an SMTP address or (EXCHANGE) an
// Exchange one.
Address Person(Rng& rng, bool exchange) {
  const std::string first = rng.Pick(kFirst), last = rng.Pick(kLast);
  Address a;
  a.name = first + " " + last;
  if (exchange) {
    a.type = "EX";
    a.email = "/O=EXAMPLE/OU=EXCHANGE ADMINISTRATIVE GROUP/CN=RECIPIENTS/CN=" + std::to_string(rng.Below(100000));
  } else {
    a.email = "user" + std::to_string(rng.Below(100000)) + "@example.com";
  }
  return a;
}

constexpr std::int64_t kEpoch = 1577836800;  // 2020-01-01 UTC

// The values of a mail sent WHEN into ITEM: sender, one to four
// recipients, times, read state; one mail in four also has an HTML body,
// one in twenty forwards another mail as an attached message.
void FillMail(Rng& rng, std::int64_t when, Item& item) {
  item.sender = Person(rng, rng.Below(4) == 0);
  const int recipients = 1 + static_cast<int>(rng.Below(4));
  for (int i = 0; i < recipients; ++i) {
    Recipient r;
    static_cast<Address&>(r) = Person(rng, false);
    r.kind = i == 0 ? 1 : 1 + static_cast<int>(rng.Below(3));
    item.recipients.push_back(r);
  }
  item.submitted = when;
  item.delivered = when + static_cast<std::int64_t>(rng.Below(600));
  item.unread = rng.Below(5) == 0;
  if (rng.Below(4) == 0) item.html = "<html><body><p>" + item.body + "</p></body></html>";
  if (rng.Below(20) == 0) {
    auto forwarded = std::make_shared<Item>();
    forwarded->subject = Words(rng, 3);
    forwarded->body = Words(rng, 30) + "\r\n";
    forwarded->sender = Person(rng, false);
    forwarded->delivered = when - 86400;
    Attachment a;
    a.message = forwarded;
    item.attachments.push_back(a);
    item.subject = "Fw: " + forwarded->subject;
  }
}

// The values of a contact into ITEM: name, e-mail address, phone, company.
void FillContact(Rng& rng, Item& item) {
  const Address a = Person(rng, false);
  item.display_name = a.name;
  item.subject = a.name;
  item.contact["FirstName"] = a.name.substr(0, a.name.find(' '));
  item.contact["LastName"] = a.name.substr(a.name.find(' ') + 1);
  item.contact["Email1"] = a.email;
  item.contact["BusinessPhone"] = "+1 555 " + std::to_string(1000 + rng.Below(9000));
  item.contact["CompanyName"] = std::string(rng.Pick(kLast)) + " Inc.";
}

// Item number SERIAL of class ITEM_CLASS of a folder, its values drawn
// from RNG in a fixed order (the same seed gives the same item). Half the
// items other than contacts carry one attachment of pattern bytes when
// ATTACHMENT_BYTES (the mean per item) is not 0.
Item MakeItem(Rng& rng, const std::string& item_class, std::uint64_t attachment_bytes, std::uint64_t serial) {
  Item item;
  item.message_class = item_class;
  const std::int64_t when = kEpoch + static_cast<std::int64_t>(rng.Below(4 * 365 * 86400ull));
  item.created = when;
  item.subject = Words(rng, 2 + static_cast<int>(rng.Below(6)));
  item.body = Words(rng, 20 + static_cast<int>(rng.Below(200))) + "\r\n";
  item.importance = static_cast<int>(rng.Below(3));
  if (rng.Below(3) == 0) item.categories = {rng.Pick(kCategories)};
  if (item_class == "IPM.Note") {
    FillMail(rng, when, item);
  } else if (item_class == "IPM.Appointment") {
    item.start = when;
    item.end = when + 1800 * (1 + static_cast<std::int64_t>(rng.Below(4)));
    item.location = "Room " + std::to_string(rng.Below(500));
  } else if (item_class == "IPM.Task") {
    item.task_start = when;
    item.due = when + 86400 * static_cast<std::int64_t>(1 + rng.Below(30));
    if (rng.Below(2)) item.reminder = *item.due - 3600;
  } else if (item_class == "IPM.Contact") {
    FillContact(rng, item);
  }
  if (attachment_bytes > 0 && item_class != "IPM.Contact" && rng.Below(2) == 0) {
    // Sizes vary around the mean: half the items carry one attachment of
    // up to four times the mean, so the mean per item stays as asked.
    // Drawn in this order: name, seed, size.
    const std::string name = "file-" + std::to_string(serial) + (rng.Below(2) ? ".pdf" : ".docx");
    const std::uint64_t seed = rng.Next();
    item.attachments.push_back(PatternAttachment(name, rng.Below(4 * attachment_bytes + 1), seed));
  }
  return item;
}

}  // namespace

MailboxSpec SyntheticMailbox(const SyntheticOptions& options) {
  MailboxSpec spec;
  spec.store_name = options.store_name;
  spec.format = options.format;
  spec.encoding = options.encoding;
  static const std::array<std::pair<const char*, const char*>, 4> kinds = {{
      {"IPF.Note", "IPM.Note"},
      {"IPF.Appointment", "IPM.Appointment"},
      {"IPF.Task", "IPM.Task"},
      {"IPF.Contact", "IPM.Contact"},
  }};
  for (int f = 0; f < options.folders; ++f) {
    // Mail folders dominate, as in real mailboxes: every fourth folder is
    // of another kind.
    const auto& kind = f % 4 == 3 ? kinds[static_cast<std::size_t>(1 + (f / 4) % 3)] : kinds[0];
    FolderSpec folder;
    folder.name = std::string(kind.first == std::string("IPF.Note") ? "Mail " : "Folder ") + std::to_string(f + 1);
    folder.container_class = std::string(kind.first);
    const std::string item_class = kind.second;
    const std::uint64_t seed = options.seed * 1000003ull + static_cast<std::uint64_t>(f);
    const std::int64_t count = options.items;
    const std::uint64_t bytes = options.attachment_bytes;
    folder.items = [seed, count, bytes, item_class](const std::function<void(const Item&)>& sink) {
      Rng rng(seed);
      for (std::int64_t i = 0; i < count; ++i) sink(MakeItem(rng, item_class, bytes, static_cast<std::uint64_t>(i)));
    };
    spec.folders.push_back(std::move(folder));
  }
  return spec;
}

}  // namespace norvexa::pstgen
