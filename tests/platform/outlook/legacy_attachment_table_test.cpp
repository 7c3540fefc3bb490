// Attachment tables of the shape some Outlook 2000 files have: the table's
// heap spans several blocks, and the data tree block over them is stored
// under a data block's id (without the internal bit), so only its content
// says it is a tree block. Our reader reads such a table, and gives the
// bytes that libpst's readpst gives for every attachment; libpff takes the
// tree block for the heap's first page and gives up on the table. And when
// an attachment table cannot be read at all, our reader still gives every
// attachment from the message's attachment subnodes.
#include "mailbox_writer.h"
#include "platform/outlook/libpff/pff_objects.h"
#include "platform/outlook/outlook.h"
#include "platform/outlook/store_file.h"
#include "platform/outlook/store_identity.h"
#include "pst_format.h"
#include "support/fixtures.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace norvexa::outlook {
namespace {

namespace fs = std::filesystem;

// Attachments of the large item: enough for a table of several blocks in
// files of 512-byte pages, and in 4 KB-page files (blocks of 64 KB).
constexpr int kAttachments = 240;
constexpr int kAttachments4k = 800;

// The name and bytes of attachment N (from 0) of the large item: short
// texts that stay in the attachment's heap, and every 40th one of 12 KB,
// which goes to a subnode of its own.
std::string AttachmentName(int n) { return "legacy-" + std::to_string(1000 + n) + "-from-an-old-mailbox.bin"; }
std::string AttachmentBytes(int n) {
  std::string bytes;
  const std::size_t size = n % 40 == 7 ? 12000 : 20 + 7 * static_cast<std::size_t>(n % 23);
  for (std::size_t i = 0; i < size; ++i) bytes.push_back(static_cast<char>((n * 131 + i * 7) % 251));
  return bytes;
}

// A mailbox of one folder "Inbox" holding an item with COUNT attachments
// whose table has the legacy shape, then an ordinary item with one
// attachment.
pstgen::MailboxSpec LegacyMailbox(pstgen::FileFormat format, pstgen::Encoding encoding, bool compress, int count) {
  pstgen::MailboxSpec spec;
  spec.format = format;
  spec.encoding = encoding;
  spec.compress = compress;
  pstgen::FolderSpec folder;
  folder.name = "Inbox";
  folder.container_class = "IPF.Note";
  folder.items = [count](const std::function<void(const pstgen::Item&)>& sink) {
    pstgen::Item many;
    many.subject = "Many attachments";
    many.body = "A table of several blocks.";
    many.legacy_attachment_table = true;
    for (int n = 0; n < count; ++n) {
      pstgen::Attachment a;
      a.file_name = AttachmentName(n);
      const std::string bytes = AttachmentBytes(n);
      a.data.assign(bytes.begin(), bytes.end());
      many.attachments.push_back(a);
    }
    sink(many);
    pstgen::Item plain;
    plain.subject = "One attachment";
    pstgen::Attachment a;
    a.file_name = "other.txt";
    a.data = {'o', 't', 'h', 'e', 'r'};
    plain.attachments.push_back(a);
    sink(plain);
  };
  spec.folders.push_back(folder);
  return spec;
}

// The folder named NAME directly below the top of STORE; fails the test
// when there is none.
std::unique_ptr<Folder> FolderNamed(const Store& store, const std::string& name) {
  for (auto& folder : store.IPMRootFolder()->Folders()) {
    if (folder->Name() == name) return std::move(folder);
  }
  ADD_FAILURE() << "no folder " << name;
  return nullptr;
}

// Checks that ATTACHMENTS are the COUNT of the large item, name and bytes,
// in order (each saved to a file under DIR and read back).
void ExpectEveryAttachment(const Attachments& attachments, int count, const fs::path& dir) {
  ASSERT_EQ(attachments.Count(), count);
  fs::create_directories(dir);
  for (int n = 0; n < count; ++n) {
    const auto attachment = attachments.GetAttachment(n + 1);
    ASSERT_EQ(attachment->FileName(), AttachmentName(n));
    const fs::path saved = dir / AttachmentName(n);
    attachment->SaveAsFile(saved);
    ASSERT_EQ(testing::ReadFile(saved), AttachmentBytes(n)) << AttachmentName(n);
  }
}

// Where the large item's attachment table is in the file at PST, found
// through our reader's node layer: the first row of the Inbox's contents
// table names the message, whose subnode 0x671 is the table.
struct TablePlace {
  std::shared_ptr<pst::NodeDatabase> db;
  pst::NodeEntry table;
};
TablePlace AttachmentTableOf(const fs::path& pst, const std::string& inbox_entry_id) {
  TablePlace place;
  place.db = pst::NodeDatabase::Open(pst, pst.string());
  const std::optional<std::uint32_t> folder = items::ParseFolderEntryId(inbox_entry_id);
  if (!folder) throw std::runtime_error("not a folder entry id: " + inbox_entry_id);
  const auto contents_node = place.db->FindNode(pst::NidWithType(*folder, pst::kNidTypeContentsTable));
  if (!contents_node) throw std::runtime_error("the Inbox has no contents table");
  auto contents = std::make_shared<const pst::TableContext>(place.db, *contents_node);
  pst::TableContext::Cursor rows(contents);
  const std::optional<std::uint64_t> first = rows.Next();
  if (!first) throw std::runtime_error("the Inbox's contents table is empty");
  const std::optional<std::uint32_t> message_nid = contents->Cell32(contents->Row(*first), mapi::PidTagLtpRowId);
  const std::optional<pst::NodeEntry> message = message_nid ? place.db->FindNode(*message_nid) : std::nullopt;
  if (!message) throw std::runtime_error("the Inbox's first message is missing");
  const std::optional<pst::NodeEntry> table = place.db->FindSubnode(message->bid_sub, pst::kNidAttachmentTable);
  if (!table) throw std::runtime_error("the message has no attachment table");
  place.table = *table;
  return place;
}

// The attachments readpst writes for the store at PST in separate mode
// (one file per attachment, named "<message>-<file name>"): file name ->
// bytes, for the names starting "legacy-". Empty with READPST_FAILED set
// when readpst fails.
std::map<std::string, std::string> ReadpstAttachments(const fs::path& pst, const fs::path& out, bool& readpst_failed) {
  std::map<std::string, std::string> found;
  fs::create_directories(out);
  QProcess readpst;
  readpst.start("readpst",
                {"-q", "-S", "-o", QString::fromStdString(out.string()), QString::fromStdString(pst.string())});
  readpst_failed = !readpst.waitForFinished(60000) || readpst.exitCode() != 0;
  if (readpst_failed) return found;
  QDirIterator files(QString::fromStdString(out.string()), QDir::Files, QDirIterator::Subdirectories);
  while (files.hasNext()) {
    const QString path = files.next();
    const QString name = QFileInfo(path).fileName().section('-', 1);
    if (!name.startsWith("legacy-")) continue;
    found[name.toStdString()] = testing::ReadFile(path.toStdString());
  }
  return found;
}

TEST(LegacyAttachmentTable, EveryAttachmentIsReadInEveryEncodingWhereLibpffGivesUp) {
  const bool have_readpst = !QStandardPaths::findExecutable("readpst").isEmpty();
  struct Kind {
    const char* name;
    pstgen::FileFormat format;
    pstgen::Encoding encoding;
    bool compress;
    int count;
  };
  const Kind kinds[] = {
      {"unicode-none", pstgen::FileFormat::Unicode, pstgen::Encoding::None, false, kAttachments},
      {"unicode-compressible", pstgen::FileFormat::Unicode, pstgen::Encoding::Permute, false, kAttachments},
      {"unicode-high", pstgen::FileFormat::Unicode, pstgen::Encoding::Cyclic, false, kAttachments},
      {"ansi-none", pstgen::FileFormat::Ansi, pstgen::Encoding::None, false, kAttachments},
      {"unicode4k-high-deflated", pstgen::FileFormat::Unicode4k, pstgen::Encoding::Cyclic, true, kAttachments4k}};
  testing::ScratchDir scratch;
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    const fs::path pst = scratch / (std::string(kind.name) + ".pst");
    pstgen::WriteMailbox(LegacyMailbox(kind.format, kind.encoding, kind.compress, kind.count), pst);

    const auto store = OpenStoreFile(pst);
    const auto inbox = FolderNamed(*store, "Inbox");
    ASSERT_TRUE(inbox);
    const auto items = inbox->GetItems();
    ASSERT_EQ(items->Count(), 2);

    // The file has the shape: the table's data is a tree block of several
    // blocks under an id without the internal bit, and it is the table
    // itself that our reader reads (not the attachment subnodes it falls
    // back on): every row is there.
    {
      const TablePlace place = AttachmentTableOf(pst, inbox->EntryID());
      EXPECT_EQ(place.table.bid_data & 0x2, 0u) << "the tree block is marked internal";
      const pst::Block top = place.db->ReadBlock(place.table.bid_data);
      ASSERT_GE(top->size(), 8u);
      EXPECT_EQ((*top)[0], 0x01);
      EXPECT_EQ((*top)[1], 0x01);
      EXPECT_GE(place.db->ReadUnmarkedDataTree(place.table.bid_data).blocks.size(), 2u);
      try {
        const pst::TableContext table(place.db, place.table);
        EXPECT_EQ(table.row_count(), static_cast<std::uint64_t>(kind.count));
      } catch (const OutlookError& e) {
        ADD_FAILURE() << "our reader does not read the table itself: " << e.what();
      }
    }

    const auto item = items->GetItem(1);
    EXPECT_EQ(item->Subject(), "Many attachments");
    ExpectEveryAttachment(*item->GetAttachments(), kind.count, scratch / kind.name / "norvexa");
    const auto other = items->GetItem(2)->GetAttachments();
    ASSERT_EQ(other->Count(), 1);
    EXPECT_EQ(other->GetAttachment(1)->FileName(), "other.txt");

    // What libpff gets wrong: it reads the tree block as the heap's first
    // page and finds no table there.
    {
      const auto libpff_inbox = FolderNamed(*libpff::OpenStore(pst), "Inbox");
      ASSERT_TRUE(libpff_inbox);
      const auto libpff_item = libpff_inbox->GetItems()->GetItem(1);
      std::string error;
      try {
        EXPECT_NE(libpff_item->GetAttachments()->Count(), kind.count);
      } catch (const OutlookError& e) {
        error = e.what();
      }
      EXPECT_NE(error.find("unsupported table signature"), std::string::npos)
          << "libpff now reads this attachment table (" << (error.empty() ? "no error" : error)
          << "); such a mailbox can then join the reader differential test";
    }

    // readpst reads the table, and gives the same bytes for every attachment.
    // (It writes none of the attachments of a table this large in a 4 KB-page
    // file, of this shape or the ordinary one, so it is compared on the
    // files of 512-byte pages only.)
    if (!have_readpst || kind.format == pstgen::FileFormat::Unicode4k) continue;
    bool readpst_failed = false;
    const auto readpst = ReadpstAttachments(pst, scratch / kind.name / "readpst", readpst_failed);
    ASSERT_FALSE(readpst_failed) << "readpst failed on " << pst;
    EXPECT_EQ(readpst.size(), static_cast<std::size_t>(kind.count));
    for (int n = 0; n < kind.count; ++n) {
      const auto it = readpst.find(AttachmentName(n));
      if (it == readpst.end()) {
        ADD_FAILURE() << "readpst did not write " << AttachmentName(n);
        continue;
      }
      EXPECT_EQ(it->second, AttachmentBytes(n)) << AttachmentName(n);
    }
  }
  if (!have_readpst) GTEST_SKIP() << "readpst is not installed; the comparison with it is skipped";
}

// Where block BID lies in the Unicode file BYTES: the 64-byte step whose
// trailer names BID with a size and CRC that fit. Throws when there is none.
struct BlockSpan {
  std::size_t data = 0;     // file offset of its data
  std::size_t trailer = 0;  // file offset of its trailer (cb, wSig, dwCRC, bid)
  std::size_t size = 0;     // cb
};
BlockSpan FindBlock(const std::string& bytes, std::uint64_t bid) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
  for (std::size_t end = 64; end <= bytes.size(); end += 64) {
    const std::uint8_t* trailer = b + end - 16;
    if (pst::Le64(trailer + 8) != bid) continue;
    const std::size_t cb = pst::Le16(trailer);
    const std::size_t span = (cb + 16 + 63) / 64 * 64;
    if (span > end || pstgen::Crc32(b + end - span, cb) != pst::Le32(trailer + 4)) continue;
    return BlockSpan{end - span, end - 16, cb};
  }
  throw std::runtime_error("block " + std::to_string(bid) + " is not in the file");
}

// Lets CHANGE alter the data of block BID of the unencoded Unicode file at
// PST, then gives the block its new CRC, so that only the structure is
// damaged.
void AlterBlock(const fs::path& pst, std::uint64_t bid, const std::function<void(std::uint8_t*, std::size_t)>& change) {
  std::string bytes = testing::ReadFile(pst);
  const BlockSpan block = FindBlock(bytes, bid);
  auto* data = reinterpret_cast<std::uint8_t*>(bytes.data() + block.data);
  change(data, block.size);
  const std::uint32_t crc = pstgen::Crc32(data, block.size);
  for (int i = 0; i < 4; ++i) bytes[block.trailer + 4 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
  testing::WriteFile(pst, bytes);
}

TEST(LegacyAttachmentTable, AnUnreadableTableStillGivesEveryAttachmentFromTheSubnodes) {
  testing::ScratchDir scratch;
  const fs::path sound = scratch / "sound.pst";
  pstgen::WriteMailbox(LegacyMailbox(pstgen::FileFormat::Unicode, pstgen::Encoding::None, false, kAttachments), sound);
  std::string inbox_id;
  std::uint64_t tree_bid = 0, first_page_bid = 0;
  {
    const auto store = OpenStoreFile(sound);
    inbox_id = FolderNamed(*store, "Inbox")->EntryID();
    const TablePlace place = AttachmentTableOf(sound, inbox_id);
    tree_bid = place.table.bid_data;
    first_page_bid = place.db->ReadUnmarkedDataTree(tree_bid).blocks.at(0);
  }
  ReleaseCachedStores();

  struct Damage {
    const char* name;
    std::uint64_t bid;
    std::function<void(std::uint8_t*, std::size_t)> change;
  };
  const Damage damages[] = {
      {"tree block zeroed", tree_bid, [](std::uint8_t* data, std::size_t size) { std::fill(data, data + size, 0); }},
      {"heap signature wrong", first_page_bid, [](std::uint8_t* data, std::size_t) { data[2] = 0xED; }},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    const fs::path pst = scratch / (std::string(damage.name) + ".pst");
    fs::copy_file(sound, pst);
    AlterBlock(pst, damage.bid, damage.change);
    // The table is beyond reading...
    const TablePlace place = AttachmentTableOf(pst, inbox_id);
    EXPECT_THROW(pst::TableContext(place.db, place.table), OutlookError);
    // ...and the attachments are all there, in their order.
    const auto store = OpenStoreFile(pst);
    const auto items = FolderNamed(*store, "Inbox")->GetItems();
    ASSERT_EQ(items->Count(), 2);
    ExpectEveryAttachment(*items->GetItem(1)->GetAttachments(), kAttachments, scratch / damage.name);
  }
}

}  // namespace
}  // namespace norvexa::outlook
