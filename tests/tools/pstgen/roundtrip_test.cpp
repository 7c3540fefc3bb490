// Every value of the mailbox descriptions comes back through our store
// access (libpff underneath): folders, classes, paths, mail, appointments,
// tasks, contacts, distribution lists and attachment bytes.
#include "description.h"
#include "mailbox_writer.h"
#include "platform/outlook/outlook.h"
#include "pstgen_test_support.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

namespace norvexa::pstgen {
namespace {

namespace ol = norvexa::outlook;
using norvexa::testing::ReadFile;
using norvexa::testing::ScratchDir;
using testing::Description;

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : separator) + p;
  return out;
}

std::string Names(const Item& item, int kind) {
  std::vector<std::string> names;
  for (const Recipient& r : item.recipients)
    if (r.kind == kind) names.push_back(r.name);
  return Join(names, "; ");
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

  void CompareItem(const Item& want, const ol::Item& got) {
    SCOPED_TRACE("item \"" + want.subject + "\"");
    EXPECT_EQ(got.MessageClass(), want.message_class);
    EXPECT_EQ(got.Subject(), want.subject);
    EXPECT_EQ(got.Body(), want.body);
    EXPECT_EQ(got.Importance(), std::optional<std::int64_t>(want.importance.value_or(1)));
    EXPECT_EQ(got.Categories(), Join(want.categories, ", "));
    EXPECT_EQ(Secs(got.CreationTime()), want.created);
    const auto& cls = want.message_class;
    if (cls.rfind("IPM.Note", 0) == 0) {
      EXPECT_EQ(got.To(), Names(want, 1));
      EXPECT_EQ(got.CC(), Names(want, 2));
      EXPECT_EQ(got.BCC(), Names(want, 3));
      EXPECT_EQ(got.SenderEmailAddress(), want.sender ? want.sender->email : "");
      EXPECT_EQ(got.SenderName(), want.sender ? want.sender->name : "");
      const auto date = want.delivered ? want.delivered : want.submitted ? want.submitted : want.created;
      EXPECT_EQ(Secs(got.MessageDate()), date);
      ol::MapiUtils utils;
      EXPECT_EQ(utils.HrGetOneProp(got.MAPIOBJECT(), ol::PR_SENTMAIL_ENTRYID).empty(), !want.sent);
    }
    if (cls.rfind("IPM.Appointment", 0) == 0) {
      EXPECT_EQ(Secs(got.Start()), want.start);
      EXPECT_EQ(Secs(got.End()), want.end);
      EXPECT_EQ(got.Location(), want.location);
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
            names[i] == "Children" ? Join(want.children, ", ") : it == want.contact.end() ? "" : it->second;
        EXPECT_EQ(got.Contact(field), expected) << names[i];
      }
      EXPECT_EQ(Secs(got.Birthday()), want.birthday);
      EXPECT_EQ(Secs(got.Anniversary()), want.anniversary);
    }
    if (cls.rfind("IPM.DistList", 0) == 0) {
      EXPECT_EQ(got.DLName(), want.display_name);
      std::vector<std::string> members;
      for (const Address& m : want.members) members.push_back(m.email);
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
        EXPECT_EQ(at->FileName(), a.message->subject + ".eml");
        EXPECT_NE(ReadFile(saved).find("Subject: " + a.message->subject), std::string::npos);
      } else {
        if (a.file_name && a.file_name->find_first_of("/\\\x01\t") == std::string::npos && *a.file_name != "..") {
          EXPECT_EQ(at->FileName(), *a.file_name);
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
    EXPECT_EQ(got.Name(), want.name);
    EXPECT_EQ(got.ContainerClass(), want.container_class.value_or(""));
    EXPECT_EQ(got.FolderPath(), parent_path + "\\" + want.name);
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
    const auto store = ol::OpenStoreFile(file);
    EXPECT_EQ(store->DisplayName(), spec.store_name);
    const auto top = store->IPMRootFolder();
    EXPECT_EQ(top->FolderPath(), "\\\\" + spec.store_name);
    const auto folders = top->Folders();
    ASSERT_EQ(folders.size(), spec.folders.size() + 1);
    EXPECT_EQ(folders[0]->Name(), "Deleted Items");
    for (std::size_t i = 0; i < spec.folders.size(); ++i) CompareFolder(spec.folders[i], *folders[i + 1], top->FolderPath());
  }

 private:
  std::filesystem::path scratch_;
  int saved_ = 0;
};

TEST(PstgenRoundTrip, EveryValueOfEveryDescriptionComesBack) {
  ScratchDir dir;
  RoundTrip round_trip(dir.path());
  for (const char* name : {"every-kind", "special-names", "empty-folders", "deep-nesting", "unsupported-parent",
                           "attachment-names"}) {
    SCOPED_TRACE(name);
    MailboxSpec spec = Description(name);
    for (Encoding encoding : {Encoding::None, Encoding::Permute}) {
      spec.encoding = encoding;
      const auto file = dir / (std::string(name) + (encoding == Encoding::None ? ".pst" : "-compressible.pst"));
      WriteMailbox(spec, file);
      round_trip.CompareStore(spec, file);
    }
  }
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
