// Every value of the mailbox descriptions comes back through our store
// access, in Unicode, ANSI and 4 KB-page Unicode files (deflated or not) and
// every encoding: folders, classes, paths, mail, appointments, tasks,
// contacts, distribution lists and attachment bytes. Texts of ANSI files
// come back as far as their code page holds them.
#include "codepage.h"
#include "description.h"
#include "mailbox_writer.h"
#include "platform/outlook/ltp.h"
#include "platform/outlook/outlook.h"
#include "pst_check.h"
#include "pstgen_test_support.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace norvexa::pstgen {
namespace {

namespace ol = norvexa::outlook;
using norvexa::testing::ReadFile;
using norvexa::testing::ScratchDir;
using testing::Description;
using testing::FileKind;

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : separator) + p;
  return out;
}


std::optional<std::int64_t> Secs(const std::optional<QDateTime>& d) {
  if (!d) return std::nullopt;
  return d->toSecsSinceEpoch();
}

// The bytes an attachment of the description holds.
std::string Content(const Attachment& a) {
  if (!a.use_pattern) return std::string(a.data.begin(), a.data.end());
  std::string bytes(a.pattern_size, '\0');
  PatternBytes(a.pattern_seed, 0, bytes.size(), reinterpret_cast<std::uint8_t*>(bytes.data()));
  return bytes;
}

class RoundTrip {
 public:
  explicit RoundTrip(const std::filesystem::path& scratch) : scratch_(scratch) {}

  // TEXT as the file being compared gives it back.
  std::string T(const std::string& text) const { return testing::StoredText(*spec_, text); }
  std::vector<std::string> T(const std::vector<std::string>& texts) const {
    std::vector<std::string> out;
    for (const std::string& t : texts) out.push_back(T(t));
    return out;
  }

  // The display names of the recipients of KIND (1 To, 2 Cc, 3 Bcc).
  std::string Names(const Item& item, int kind) const {
    std::vector<std::string> names;
    for (const Recipient& r : item.recipients)
      if (r.kind == kind) names.push_back(T(r.name));
    return Join(names, "; ");
  }

  void CompareItem(const Item& want, const ol::Item& got) {
    SCOPED_TRACE("item \"" + want.subject + "\"");
    EXPECT_EQ(got.MessageClass(), want.message_class);
    EXPECT_EQ(got.Subject(), T(want.subject));
    EXPECT_EQ(got.Body(), T(want.body));
    EXPECT_EQ(got.Importance(), std::optional<std::int64_t>(want.importance.value_or(1)));
    EXPECT_EQ(got.Categories(), Join(T(want.categories), ", "));
    EXPECT_EQ(Secs(got.CreationTime()), want.created);
    const auto& cls = want.message_class;
    if (cls.rfind("IPM.Note", 0) == 0) {
      EXPECT_EQ(got.To(), Names(want, 1));
      EXPECT_EQ(got.CC(), Names(want, 2));
      EXPECT_EQ(got.BCC(), Names(want, 3));
      EXPECT_EQ(got.SenderEmailAddress(), want.sender ? T(want.sender->email) : "");
      EXPECT_EQ(got.SenderName(), want.sender ? T(want.sender->name) : "");
      const auto date = want.delivered ? want.delivered : want.submitted ? want.submitted : want.created;
      EXPECT_EQ(Secs(got.MessageDate()), date);
      ol::MapiUtils utils;
      EXPECT_EQ(utils.HrGetOneProp(got.MAPIOBJECT(), ol::PR_SENTMAIL_ENTRYID).empty(), !want.sent);
    }
    if (cls.rfind("IPM.Appointment", 0) == 0) {
      EXPECT_EQ(Secs(got.Start()), want.start);
      EXPECT_EQ(Secs(got.End()), want.end);
      EXPECT_EQ(got.Location(), T(want.location));
    }
    if (cls.rfind("IPM.Task", 0) == 0) {
      EXPECT_EQ(Secs(got.DueDate()), want.due);
      EXPECT_EQ(Secs(got.StartDate()), want.task_start);
      EXPECT_EQ(Secs(got.ReminderTime()), want.reminder);
    }
    if (cls.rfind("IPM.Contact", 0) == 0) {
      const auto& names = ContactFieldNames();
      for (std::size_t i = 0; i < names.size(); ++i) {
        const auto field = static_cast<ol::ContactField>(i);
        const auto it = want.contact.find(names[i]);
        const std::string expected =
            names[i] == "Children" ? Join(T(want.children), ", ") : it == want.contact.end() ? "" : T(it->second);
        EXPECT_EQ(got.Contact(field), expected) << names[i];
      }
      EXPECT_EQ(Secs(got.Birthday()), want.birthday);
      EXPECT_EQ(Secs(got.Anniversary()), want.anniversary);
    }
    if (cls.rfind("IPM.DistList", 0) == 0) {
      EXPECT_EQ(got.DLName(), T(want.display_name));
      std::vector<std::string> members;
      for (const Address& m : want.members) members.push_back(T(m.email));
      EXPECT_EQ(got.Members(), members);
    }
    const auto attachments = got.GetAttachments();
    ASSERT_EQ(attachments->Count(), static_cast<std::int64_t>(want.attachments.size()));
    for (std::size_t k = 0; k < want.attachments.size(); ++k) {
      const Attachment& a = want.attachments[k];
      const auto at = attachments->GetAttachment(static_cast<std::int64_t>(k + 1));
      const auto saved = scratch_ / ("attachment-" + std::to_string(++saved_));
      at->SaveAsFile(saved);
      if (a.message) {
        EXPECT_EQ(at->FileName(), T(a.message->subject) + ".eml");
        EXPECT_NE(ReadFile(saved).find("Subject: " + T(a.message->subject)), std::string::npos);
      } else {
        if (a.file_name && a.file_name->find_first_of("/\\\x01\t") == std::string::npos && *a.file_name != "..") {
          EXPECT_EQ(at->FileName(), T(*a.file_name));
        }
        const std::string content = Content(a);
        EXPECT_EQ(at->Size(), static_cast<std::int64_t>(content.size()));
        EXPECT_TRUE(ReadFile(saved) == content) << "attachment " << k + 1 << " differs";
      }
      std::filesystem::remove(saved);
    }
  }

  void CompareFolder(const FolderSpec& want, const ol::Folder& got, const std::string& parent_path) {
    SCOPED_TRACE("folder \"" + want.name + "\"");
    EXPECT_EQ(got.Name(), T(want.name));
    EXPECT_EQ(got.ContainerClass(), want.container_class.value_or(""));
    EXPECT_EQ(got.FolderPath(), parent_path + "\\" + T(want.name));
    EXPECT_EQ(got.EntryID().find('#'), std::string::npos);
    std::vector<Item> items;
    if (want.items) want.items([&](const Item& item) { items.push_back(item); });
    const auto got_items = got.GetItems();
    ASSERT_EQ(got_items->Count(), static_cast<std::int64_t>(items.size()));
    for (std::size_t i = 0; i < items.size(); ++i) CompareItem(items[i], *got_items->GetItem(static_cast<std::int64_t>(i + 1)));
    const auto children = got.Folders();
    ASSERT_EQ(children.size(), want.children.size());
    for (std::size_t i = 0; i < children.size(); ++i) CompareFolder(want.children[i], *children[i], got.FolderPath());
  }

  void CompareStore(const MailboxSpec& spec, const std::filesystem::path& file) {
    spec_ = &spec;
    const auto store = ol::OpenStoreFile(file);
    EXPECT_EQ(store->DisplayName(), T(spec.store_name));
    const auto top = store->IPMRootFolder();
    EXPECT_EQ(top->FolderPath(), "\\\\" + T(spec.store_name));
    const auto folders = top->Folders();
    ASSERT_EQ(folders.size(), spec.folders.size() + 1);
    EXPECT_EQ(folders[0]->Name(), "Deleted Items");
    for (std::size_t i = 0; i < spec.folders.size(); ++i) CompareFolder(spec.folders[i], *folders[i + 1], top->FolderPath());
  }

 private:
  std::filesystem::path scratch_;
  const MailboxSpec* spec_ = nullptr;
  int saved_ = 0;
};

TEST(PstgenRoundTrip, EveryValueOfEveryDescriptionComesBack) {
  ScratchDir dir;
  RoundTrip round_trip(dir.path());
  const std::vector<FileKind> kinds = {{FileFormat::Unicode, Encoding::None},
                                       {FileFormat::Unicode, Encoding::Permute},
                                       {FileFormat::Unicode, Encoding::Cyclic},
                                       {FileFormat::Ansi, Encoding::None},
                                       {FileFormat::Ansi, Encoding::Cyclic},
                                       {FileFormat::Unicode4k, Encoding::None},
                                       {FileFormat::Unicode4k, Encoding::Permute, true},
                                       {FileFormat::Unicode4k, Encoding::Cyclic}};
  for (const std::string& name : testing::DescriptionNames()) {
    SCOPED_TRACE(name);
    for (const FileKind& kind : kinds) {
      SCOPED_TRACE(kind.Name());
      const MailboxSpec spec = kind.Apply(Description(name));
      const auto file = dir / (name + "-" + kind.Name() + ".pst");
      WriteMailbox(spec, file);
      round_trip.CompareStore(spec, file);
    }
  }
}

// What the code page of an ANSI file holds comes back exactly, the rest as
// its closest form or "?" - spelled out here rather than worked out by the
// writer's own converter.
TEST(PstgenRoundTrip, AnsiTextsKeepWhatTheirCodePageHolds) {
  ScratchDir dir;
  MailboxSpec spec = Description("every-kind");
  spec.format = FileFormat::Ansi;
  spec.encoding = Encoding::Cyclic;
  struct Expected {
    int codepage;
    std::string subject, body, categories, city, child;
  };
  const std::vector<Expected> cases = {
      {1252, "?????? \u2014 ????????? ?", "????? ??" "-??????. ????????. Emoji: ??\r\n", "Business, ?????, ??",
       "Z\u00fcrich", "Tom\u00e1s"},
      {1251, "\u041f\u0440\u0438\u0432\u0435\u0442 \u2014 ????????? ?",
       "\u0422\u0435\u043a\u0441\u0442 \u043f\u043e-\u0440\u0443\u0441\u0441\u043a\u0438. ????????. Emoji: ??\r\n",
       "Business, \u0412\u0430\u0436\u043d\u043e, ??", "Zurich", "Tomas"},
  };
  for (const Expected& e : cases) {
    if (!CodepageAvailable(e.codepage)) {
      ADD_FAILURE() << "code page " << e.codepage << " is not available in this Qt build";
      continue;
    }
    SCOPED_TRACE(e.codepage);
    spec.codepage = e.codepage;
    const auto file = dir / ("cp" + std::to_string(e.codepage) + ".pst");
    WriteMailbox(spec, file);
    const auto folders = ol::OpenStoreFile(file)->IPMRootFolder()->Folders();
    const auto inbox = folders.at(1)->GetItems();
    EXPECT_EQ(inbox->GetItem(1)->Categories(), e.categories);
    const auto mail = inbox->GetItem(2);
    EXPECT_EQ(mail->Subject(), e.subject);
    EXPECT_EQ(mail->Body(), e.body);
    const auto contact = folders.at(5)->GetItems()->GetItem(1);
    EXPECT_EQ(contact->Contact(ol::ContactField::BusinessCity), e.city);
    EXPECT_EQ(contact->Contact(ol::ContactField::Children), "Sofia, " + e.child);
  }
  // The bytes on disk: one byte per character in the code page.
  EXPECT_EQ(Codepage(1252).Encode("\u20ac \u2014 \u00fc \u0151 \ufb01 \U0001F389"),
            (Bytes{0x80, ' ', 0x97, ' ', 0xFC, ' ', 'o', ' ', 'f', 'i', ' ', '?'}));
  EXPECT_THROW(Codepage(99999), CodepageError);
}

// The two-level trees of ANSI files: an attachment over 2,043 blocks of
// 8,180 bytes needs an XXBLOCK, a message with over 681 subnodes an SIBLOCK
// above its SLBLOCKs; both with the high encoding, read back whole.
TEST(PstgenRoundTrip, AnsiTwoLevelDataAndSubnodeTreesComeBack) {
  ScratchDir dir;
  Item big;
  big.subject = "Big";
  const Attachment archive = PatternAttachment("archive.bin", 17000000, 3);
  big.attachments.push_back(archive);
  Item many;
  many.subject = "Many";
  for (int i = 0; i < 700; ++i) {
    Attachment a;
    a.file_name = "part" + std::to_string(i) + ".txt";
    const std::string text = "part " + std::to_string(i);
    a.data.assign(text.begin(), text.end());
    many.attachments.push_back(a);
  }
  MailboxSpec spec;
  spec.format = FileFormat::Ansi;
  spec.encoding = Encoding::Cyclic;
  FolderSpec inbox;
  inbox.name = "Inbox";
  inbox.container_class = "IPF.Note";
  inbox.items = [&](const std::function<void(const Item&)>& sink) {
    sink(big);
    sink(many);
  };
  spec.folders.push_back(inbox);
  const auto file = dir / "trees.pst";
  WriteMailbox(spec, file);
  const CheckReport report = CheckPstFile(file);
  EXPECT_TRUE(report.ok()) << report.Summary();

  const auto items = ol::OpenStoreFile(file)->IPMRootFolder()->Folders().at(1)->GetItems();
  const auto big_attachments = items->GetItem(1)->GetAttachments();
  ASSERT_EQ(big_attachments->Count(), 1);
  big_attachments->GetAttachment(1)->SaveAsFile(dir / "archive.bin");
  std::string expected(archive.pattern_size, '\0');
  PatternBytes(archive.pattern_seed, 0, expected.size(), reinterpret_cast<std::uint8_t*>(expected.data()));
  EXPECT_TRUE(ReadFile(dir / "archive.bin") == expected) << "the 17 MB attachment differs";
  const auto parts = items->GetItem(2)->GetAttachments();
  ASSERT_EQ(parts->Count(), 700);
  for (std::int64_t k : {1, 341, 682, 700}) {
    const auto part = parts->GetAttachment(k);
    EXPECT_EQ(part->FileName(), "part" + std::to_string(k - 1) + ".txt");
    part->SaveAsFile(dir / "part.txt");
    EXPECT_EQ(ReadFile(dir / "part.txt"), "part " + std::to_string(k - 1));
  }
}

// The most allocations one page of the heap of node NID holds, read with
// our reader's node database; 0 when there is no such node.
std::size_t MostHeapItemsInAPage(const std::filesystem::path& file, std::uint32_t nid) {
  namespace pst = norvexa::outlook::pst;
  const auto db = pst::NodeDatabase::Open(file, file.string());
  const auto node = db->FindNode(nid);
  if (!node) return 0;
  const pst::DataStream data(db, node->bid_data);
  std::size_t most = 0;
  for (std::size_t i = 0; i < data.block_count(); ++i) {
    const auto block = data.block(i);
    const std::size_t map = pst::Le16(block->data());
    most = std::max<std::size_t>(most, pst::Le16(block->data() + map));
  }
  return most;
}

// What only 4 KB-page files have, read back whole with deflated, permuted
// blocks: a folder of 2,500 items whose contents table puts more than 2,047
// allocations in one heap page (heap ids with hidIndex past 11 bits, heap
// pages past the first) and whose node and block B-trees need two levels of
// 4 KB pages; a message of 2,800 attachments (an SIBLOCK above SLBLOCKs of
// 2,729 entries); a text attachment over several 64 KB blocks that deflate
// (the XBLOCK counts their inflated sizes).
TEST(PstgenRoundTrip, FourKPageTreesDeflatedBlocksAndWideHeapIdsComeBack) {
  ScratchDir dir;
  Item many;
  many.subject = "Many";
  for (int i = 0; i < 2800; ++i) {
    Attachment a;
    a.file_name = "p" + std::to_string(i) + ".txt";
    const std::string text = "part " + std::to_string(i);
    a.data.assign(text.begin(), text.end());
    many.attachments.push_back(a);
  }
  Attachment log;
  log.file_name = "log.txt";
  for (int line = 0; log.data.size() < 300000; ++line) {
    const std::string text = "line " + std::to_string(line) + ": all quiet\r\n";
    log.data.insert(log.data.end(), text.begin(), text.end());
  }
  many.attachments.push_back(log);
  MailboxSpec spec;
  spec.format = FileFormat::Unicode4k;
  spec.encoding = Encoding::Permute;
  spec.compress = true;
  FolderSpec inbox;
  inbox.name = "Inbox";
  inbox.container_class = "IPF.Note";
  inbox.items = [&](const std::function<void(const Item&)>& sink) {
    Item mail;
    for (int n = 1; n <= 2500; ++n) {
      mail.subject = "m" + std::to_string(n);
      sink(mail);
    }
    sink(many);
  };
  spec.folders.push_back(inbox);
  const auto file = dir / "4k.pst";
  WriteMailbox(spec, file);
  const CheckReport report = CheckPstFile(file);
  EXPECT_TRUE(report.ok()) << report.Summary();
  EXPECT_GT(report.deflated_blocks, 100u) << report.Summary();

  // Some contents table (the Inbox's) has a heap page of over 2,047
  // allocations: ids of 11-bit hidIndex could not name them all.
  std::size_t most = 0;
  for (std::uint32_t index = 0x400; index < 0x420; ++index)
    most = std::max(most, MostHeapItemsInAPage(file, MakeNid(kNidTypeContentsTable, index)));
  EXPECT_GT(most, 2047u);

  const auto items = ol::OpenStoreFile(file)->IPMRootFolder()->Folders().at(1)->GetItems();
  ASSERT_EQ(items->Count(), 2501);
  for (std::int64_t n = 1; n <= 2500; ++n) ASSERT_EQ(items->GetItem(n)->Subject(), "m" + std::to_string(n));
  const auto parts = items->GetItem(2501)->GetAttachments();
  ASSERT_EQ(parts->Count(), 2801);
  for (std::int64_t k : {1, 2729, 2730, 2800}) {
    const auto part = parts->GetAttachment(k);
    EXPECT_EQ(part->FileName(), "p" + std::to_string(k - 1) + ".txt");
    part->SaveAsFile(dir / "part.txt");
    EXPECT_EQ(ReadFile(dir / "part.txt"), "part " + std::to_string(k - 1));
  }
  parts->GetAttachment(2801)->SaveAsFile(dir / "log.txt");
  EXPECT_TRUE(ReadFile(dir / "log.txt") == std::string(log.data.begin(), log.data.end())) << "the log differs";
}

TEST(PstgenRoundTrip, NamesPathsAndNestingAsWritten) {
  ScratchDir dir;
  WriteMailbox(Description("special-names"), dir / "names.pst");
  const auto store = ol::OpenStoreFile(dir / "names.pst");
  EXPECT_EQ(store->DisplayName(), "Store #1 (archive)");
  const auto folders = store->IPMRootFolder()->Folders();
  ASSERT_EQ(folders.size(), 4u);
  EXPECT_EQ(folders[2]->Name(), "Trailing blank ");
  EXPECT_EQ(folders[1]->Folders().at(0)->FolderPath(), "\\\\Store #1 (archive)\\Projects #2\\Old (2019)");

  WriteMailbox(Description("deep-nesting"), dir / "deep.pst");
  auto deep_folders = ol::OpenStoreFile(dir / "deep.pst")->IPMRootFolder()->Folders();
  std::unique_ptr<ol::Folder> folder = std::move(deep_folders.at(1));
  for (int level = 2; level <= 8; ++level) {
    auto children = folder->Folders();
    folder = std::move(children.at(0));
  }
  EXPECT_EQ(folder->FolderPath(),
            "\\\\Deep Nesting\\Level 1\\Level 2\\Level 3\\Level 4\\Level 5\\Level 6\\Level 7\\Level 8");
  EXPECT_EQ(folder->GetItems()->GetItem(1)->Subject(), "At level 8");

  WriteMailbox(Description("unsupported-parent"), dir / "unsupported.pst");
  const auto top_folders = ol::OpenStoreFile(dir / "unsupported.pst")->IPMRootFolder()->Folders();
  const auto& config = top_folders.at(1);
  EXPECT_EQ(config->DefaultMessageClass(), "IPM.Configuration");
  EXPECT_EQ(config->Folders().at(0)->GetItems()->GetItem(1)->Subject(), "Reachable mail");
  EXPECT_EQ(config->Folders().at(1)->DefaultMessageClass(), "IPM.Contact");
}

}  // namespace
}  // namespace norvexa::pstgen
