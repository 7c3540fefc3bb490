// norvexa-inspect nsf: the JSON picture of a database (MIME parts and read
// marks included), a file of layout 1 left as it was, and a bad file.
#include "platform/notes/client_fixture.h"
#include "platform/notes/layout1_fixture.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace norvexa::notes::testing {
namespace {

using norvexa::testing::WriteFile;
using InspectNsfTest = ClientTest;

const QString kInspect = NORVEXA_BINARY_DIR "/tools/inspect/norvexa-inspect";

TEST_F(InspectNsfTest, PrintsTitleDesignFoldersDocumentsAndAttachments) {
  const auto path = NewMailDatabase();
  std::string unid;
  {
    Session session;
    auto db = session.GetDatabase("", path.string());
    auto doc = db->CreateDocument();
    doc->ReplaceItemValue("Form", std::string("Memo"));
    doc->ReplaceItemValue("PostedDate", QDateTime(QDate(2024, 3, 7), QTime(14, 5, 9), Qt::OffsetFromUTC, 3600));
    doc->ReplaceItemValue("excludeFromView", TextList{"D", "S"});
    doc->CreateRichTextItem("Attachment")
        ->EmbedObject(EMBED_ATTACHMENT, "", WriteFile(scratch_ / "note.txt", "abc").string(), "Attachment");
    doc->Save(false, false);
    doc->PutInFolder("Personal Folders\\Inbox");
    unid = doc->UniversalID();
  }

  QProcess inspect;
  inspect.start(kInspect, {"nsf", QString::fromStdString(path.string())});
  ASSERT_TRUE(inspect.waitForFinished(30000));
  ASSERT_EQ(inspect.exitCode(), 0) << inspect.readAllStandardError().toStdString();
  QJsonParseError error{};
  const QJsonObject root = QJsonDocument::fromJson(inspect.readAllStandardOutput(), &error).object();
  ASSERT_EQ(error.error, QJsonParseError::NoError);
  EXPECT_EQ(root["title"].toString(), "Mail (Norvexa)");
  EXPECT_EQ(root["template"].toString(), "StdNorvexaMail");
  EXPECT_TRUE(root["design"].toArray().contains("Memo"));

  bool filed = false;
  for (const auto& folder : root["folders"].toArray()) {
    if (folder.toObject()["name"].toString() == "Personal Folders\\Inbox")
      filed = folder.toObject()["documents"].toArray().contains(QString::fromStdString(unid));
  }
  EXPECT_TRUE(filed);

  const QJsonArray documents = root["documents"].toArray();
  ASSERT_EQ(documents.size(), 1);
  const QJsonObject doc = documents[0].toObject();
  EXPECT_EQ(doc["unid"].toString().toStdString(), unid);
  const QJsonArray items = doc["items"].toArray();
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[1].toObject()["type"].toString(), "datetime");
  EXPECT_EQ(items[1].toObject()["values"].toArray()[0].toString(), "2024-03-07T14:05:09+01:00");
  EXPECT_EQ(items[2].toObject()["values"].toArray(), (QJsonArray{"D", "S"}));
  EXPECT_EQ(items[3].toObject()["type"].toString(), "richtext");
  const QJsonObject attachment = doc["attachments"].toArray()[0].toObject();
  EXPECT_EQ(attachment["file_name"].toString(), "note.txt");
  EXPECT_EQ(attachment["size"].toInt(), 3);
  EXPECT_EQ(attachment["sha256"].toString(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// The JSON norvexa-inspect prints for FILE; fails the test when it fails.
QJsonObject Inspect(const std::filesystem::path& file) {
  QProcess inspect;
  inspect.start(kInspect, {"nsf", QString::fromStdString(file.string())});
  EXPECT_TRUE(inspect.waitForFinished(30000));
  EXPECT_EQ(inspect.exitCode(), 0) << inspect.readAllStandardError().toStdString();
  return QJsonDocument::fromJson(inspect.readAllStandardOutput()).object();
}

TEST_F(InspectNsfTest, PrintsEachMimePartByItsPathInTheTreeAndWhetherTheDocumentIsUnread) {
  const auto path = NewMailDatabase();
  const std::string text = "A plain text longer than the eighty characters shown of it: " + std::string(40, 'z') + " end";
  std::string picture;
  for (int i = 0; i < 600; ++i) picture += static_cast<char>(i * 7);
  {
    Session session;
    auto db = session.GetDatabase("", path.string());
    auto doc = db->CreateDocument();
    auto top = doc->CreateMIMEEntity("Body");
    top->CreateHeader("Content-Type")->SetHeaderVal("multipart/related");
    auto alternative = top->CreateChildEntity();
    alternative->CreateHeader("Content-Type")->SetHeaderVal("multipart/alternative");
    auto stream = session.CreateStream();
    stream->WriteText(text);
    alternative->CreateChildEntity()->SetContentFromText(*stream, "text/plain; charset=utf-8", ENC_IDENTITY_8BIT);
    stream->Truncate();
    stream->Write(picture);
    top->CreateChildEntity()->SetContentFromBytes(*stream, "image/gif", ENC_BASE64);
    doc->MarkUnread();
    doc->Save(false, false);
    db->CreateDocument()->Save(false, false);
  }

  const QJsonArray documents = Inspect(path)["documents"].toArray();
  ASSERT_EQ(documents.size(), 2);
  EXPECT_TRUE(documents[0].toObject()["unread"].toBool());
  EXPECT_FALSE(documents[1].toObject()["unread"].toBool());
  const QJsonArray parts = documents[0].toObject()["items"].toArray()[0].toObject()["mime_parts"].toArray();
  ASSERT_EQ(parts.size(), 4);
  QStringList paths;
  for (const auto& part : parts) paths << part.toObject()["path"].toString();
  EXPECT_EQ(paths, (QStringList{"1", "1.1", "1.1.1", "1.2"}));
  EXPECT_TRUE(parts[0].toObject()["content_type"].toString().startsWith("multipart/related; boundary="));
  EXPECT_FALSE(parts[0].toObject().contains("size"));  // a multipart has no content of its own
  const QJsonObject plain = parts[2].toObject();
  EXPECT_EQ(plain["content_type"].toString(), "text/plain; charset=utf-8");
  EXPECT_EQ(plain["encoding"].toInt(), ENC_IDENTITY_8BIT);
  EXPECT_EQ(plain["size"].toInt(), static_cast<int>(text.size()));
  EXPECT_EQ(plain["text"].toString().toStdString(), text.substr(0, 80));
  const QJsonObject image = parts[3].toObject();
  EXPECT_EQ(image["encoding"].toInt(), ENC_BASE64);
  EXPECT_EQ(image["size"].toInt(), 600);
  EXPECT_FALSE(image.contains("text"));
  EXPECT_EQ(image["sha256"].toString(),
            QCryptographicHash::hash(QByteArray::fromStdString(picture), QCryptographicHash::Sha256).toHex());
}

TEST_F(InspectNsfTest, AFileOfLayoutOneIsPrintedAndLeftAsItWas) {
  const auto path = scratch_ / "old.nsf";
  MakeLayout1File(path);
  const std::string before = norvexa::testing::ReadFile(path);
  const QJsonObject root = Inspect(path);
  const QJsonObject doc = root["documents"].toArray()[0].toObject();
  EXPECT_EQ(doc["unid"].toString(), kLayout1Unid);
  EXPECT_FALSE(doc["unread"].toBool());
  const QJsonObject body = doc["items"].toArray()[2].toObject();
  EXPECT_EQ(body["values"].toArray()[0].toString(), QString::fromUtf8(kLayout1Body));
  EXPECT_EQ(body["mime_parts"].toArray()[0].toObject()["text"].toString(), QString::fromUtf8(kLayout1Body));
  EXPECT_EQ(norvexa::testing::ReadFile(path), before);
}

TEST_F(InspectNsfTest, ABadFileGivesOneLineOnStandardErrorAndStatusOne) {
  for (const auto& file : {WriteFile(scratch_ / "bad.nsf", "not a database"), scratch_ / "missing.nsf"}) {
    QProcess inspect;
    inspect.start(kInspect, {"nsf", QString::fromStdString(file.string())});
    ASSERT_TRUE(inspect.waitForFinished(30000));
    EXPECT_EQ(inspect.exitCode(), 1);
    EXPECT_TRUE(inspect.readAllStandardOutput().isEmpty());
    const QString err = QString::fromUtf8(inspect.readAllStandardError());
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromStdString(file.filename().string()))) << err.toStdString();
  }
}

}  // namespace
}  // namespace norvexa::notes::testing
