// File attachments: byte-identical round trips (a 50 MB file included),
// their recorded name, size and SHA-256, and files that cannot be embedded.
#include "client_fixture.h"

#include <sqlite3.h>

#include <QCryptographicHash>

#include <fstream>
#include <random>

namespace norvexa::notes::testing {
namespace {

using norvexa::testing::ReadFile;
using norvexa::testing::WriteFile;
using AttachmentsTest = ClientTest;

std::string Sha256Hex(const std::string& bytes) {
  return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256).toHex().toStdString();
}

std::int64_t CountRows(const std::filesystem::path& db_path, const char* sql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK);
  const std::int64_t n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
  sqlite3_finalize(st);
  sqlite3_close(db);
  return n;
}

// SIZE pseudo-random bytes, written to PATH in pieces.
std::string WriteRandomFile(const std::filesystem::path& path, std::size_t size) {
  std::mt19937_64 random(size);
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i + 8 <= size; i += 8) {
    const std::uint64_t v = random();
    std::memcpy(&bytes[i], &v, 8);
  }
  WriteFile(path, bytes);
  return bytes;
}

TEST_F(AttachmentsTest, FilesRoundTripByteForByteWithNameSizeAndHash) {
  const auto path = NewMailDatabase();
  std::string all_bytes;
  for (int i = 0; i < 256 * 4; ++i) all_bytes += static_cast<char>(i);
  const auto binary = WriteFile(scratch_ / "staging" / "all bytes.bin", all_bytes);
  const auto empty = WriteFile(scratch_ / "staging" / "empty.txt", "");
  const auto big_path = scratch_ / "staging" / "big.dat";
  const std::string big = WriteRandomFile(big_path, 50u * 1024 * 1024 + 3);

  std::string unid;
  {
    Session session;
    auto db = session.GetDatabase("", path.string());
    auto doc = db->CreateDocument();
    auto item = doc->CreateRichTextItem("Attachment");
    for (const auto& file : {binary, empty, big_path}) {
      auto object = item->EmbedObject(EMBED_ATTACHMENT, "", file.string(), "Attachment");
      EXPECT_EQ(object->Source(), file.filename().string());
      EXPECT_EQ(object->FileSize(), static_cast<std::int64_t>(std::filesystem::file_size(file)));
      std::filesystem::remove(file);  // the writers delete the staged file at once
    }
    doc->Save(false, false);
    unid = doc->UniversalID();
  }

  internal::CloseIdleConnections();
  Session session;
  auto doc = session.GetDatabase("", path.string())->GetDocumentByUNID(unid);
  const auto infos = doc->Attachments();
  ASSERT_EQ(infos.size(), 3u);
  EXPECT_EQ(infos[0].file_name, "all bytes.bin");
  EXPECT_EQ(infos[0].size, 1024);
  EXPECT_EQ(infos[0].sha256, Sha256Hex(all_bytes));
  EXPECT_EQ(infos[1].size, 0);
  EXPECT_EQ(infos[2].size, static_cast<std::int64_t>(big.size()));
  EXPECT_EQ(infos[2].sha256, Sha256Hex(big));

  doc->ExtractAttachment("all bytes.bin", scratch_ / "out.bin");
  EXPECT_EQ(ReadFile(scratch_ / "out.bin"), all_bytes);
  doc->ExtractAttachment("empty.txt", scratch_ / "out.txt");
  EXPECT_EQ(ReadFile(scratch_ / "out.txt"), "");
  doc->ExtractAttachment("big.dat", scratch_ / "out.dat");
  EXPECT_TRUE(ReadFile(scratch_ / "out.dat") == big);
  EXPECT_THROW(doc->ExtractAttachment("nope", scratch_ / "nope"), NotesError);
}

// Bytes held in memory are stored as the file of those bytes would be:
// under the file name of the path given (which is never opened), with
// their size and hash; a wrong object type stores nothing.
TEST_F(AttachmentsTest, BytesAreStoredAsTheFileOfThoseBytesWouldBe) {
  const auto path = NewMailDatabase();
  std::string all_bytes;
  for (int i = 0; i < 256 * 3; ++i) all_bytes += static_cast<char>(i);
  const std::string unid = [&] {
    Session session;
    auto db = session.GetDatabase("", path.string());
    auto doc = db->CreateDocument();
    auto item = doc->CreateRichTextItem("Attachment");
    const auto never_made = scratch_ / "staging" / "held bytes.bin";
    auto object = item->EmbedBytes(EMBED_ATTACHMENT, never_made.string(), all_bytes, "Attachment");
    EXPECT_EQ(object->Source(), "held bytes.bin");
    EXPECT_EQ(object->FileSize(), static_cast<std::int64_t>(all_bytes.size()));
    item->EmbedBytes(EMBED_ATTACHMENT, (scratch_ / "empty.txt").string(), "", "Attachment");
    EXPECT_THROW(item->EmbedBytes(1453, (scratch_ / "x.txt").string(), "x", "Attachment"), NotesError);
    EXPECT_FALSE(std::filesystem::exists(never_made));
    doc->Save(false, false);
    return doc->UniversalID();
  }();

  internal::CloseIdleConnections();
  Session session;
  auto doc = session.GetDatabase("", path.string())->GetDocumentByUNID(unid);
  const auto infos = doc->Attachments();
  ASSERT_EQ(infos.size(), 2u);
  EXPECT_EQ(infos[0].file_name, "held bytes.bin");
  EXPECT_EQ(infos[0].size, static_cast<std::int64_t>(all_bytes.size()));
  EXPECT_EQ(infos[0].sha256, Sha256Hex(all_bytes));
  EXPECT_EQ(infos[1].size, 0);
  EXPECT_EQ(infos[1].sha256, Sha256Hex(""));
  doc->ExtractAttachment("held bytes.bin", scratch_ / "out.bin");
  EXPECT_EQ(ReadFile(scratch_ / "out.bin"), all_bytes);
}

// Files just below, at and just above one megabyte: the size at which a
// file stops being read whole and is streamed in chunks instead.
TEST_F(AttachmentsTest, FilesAroundOneMegabyteRoundTripWithTheirHash) {
  const auto path = NewMailDatabase();
  const std::size_t sizes[] = {(1u << 20) - 1, 1u << 20, (1u << 20) + 1};
  std::vector<std::string> contents;
  std::string unid;
  {
    Session session;
    auto db = session.GetDatabase("", path.string());
    auto doc = db->CreateDocument();
    auto item = doc->CreateRichTextItem("Attachment");
    for (std::size_t size : sizes) {
      const auto file = scratch_ / "staging" / ("file-" + std::to_string(size) + ".bin");
      contents.push_back(WriteRandomFile(file, size));
      EXPECT_EQ(item->EmbedObject(EMBED_ATTACHMENT, "", file.string(), "Attachment")->FileSize(),
                static_cast<std::int64_t>(size));
    }
    ASSERT_TRUE(doc->Save(false, false));
    unid = doc->UniversalID();
  }
  internal::CloseIdleConnections();
  Session session;
  auto doc = session.GetDatabase("", path.string())->GetDocumentByUNID(unid);
  const auto infos = doc->Attachments();
  ASSERT_EQ(infos.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(infos[i].size, static_cast<std::int64_t>(sizes[i]));
    EXPECT_EQ(infos[i].sha256, Sha256Hex(contents[i])) << sizes[i];
    doc->ExtractAttachment(infos[i].file_name, scratch_ / "out.bin");
    EXPECT_TRUE(ReadFile(scratch_ / "out.bin") == contents[i]) << sizes[i];
  }
}

TEST_F(AttachmentsTest, FilesThatCannotBeEmbeddedStoreNothing) {
  const auto path = NewMailDatabase();
  Session session;
  auto db = session.GetDatabase("", path.string());
  {
    auto doc = db->CreateDocument();
    auto item = doc->CreateRichTextItem("Attachment");
    EXPECT_THROW(item->EmbedObject(EMBED_ATTACHMENT, "", (scratch_ / "missing.txt").string(), "Attachment"),
                 NotesError);
    EXPECT_THROW(item->EmbedObject(EMBED_ATTACHMENT, "", scratch_.path().string(), "Attachment"), NotesError);
    const auto file = WriteFile(scratch_ / "a.txt", "alpha");
    EXPECT_THROW(item->EmbedObject(1453, "", file.string(), "Attachment"), NotesError);
    doc->Save(false, false);
    EXPECT_TRUE(doc->Attachments().empty());
  }
  EXPECT_EQ(CountRows(path, "SELECT count(*) FROM attachments"), 0);

  // A document released unsaved takes its embedded files with it.
  {
    auto doc = db->CreateDocument();
    doc->CreateRichTextItem("Attachment")->EmbedObject(EMBED_ATTACHMENT, "", (scratch_ / "a.txt").string(), "");
    EXPECT_EQ(CountRows(path, "SELECT count(*) FROM attachments"), 1);
  }
  EXPECT_EQ(CountRows(path, "SELECT count(*) FROM attachments"), 0);

  // A rich-text item replaced by a plain put can no longer embed.
  auto doc = db->CreateDocument();
  auto item = doc->CreateRichTextItem("Attachment");
  doc->ReplaceItemValue("Attachment", std::string("text"));
  EXPECT_THROW(item->EmbedObject(EMBED_ATTACHMENT, "", (scratch_ / "a.txt").string(), ""), NotesError);
}

}  // namespace
}  // namespace norvexa::notes::testing
