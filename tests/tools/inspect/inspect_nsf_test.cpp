// norvexa-inspect nsf: the JSON picture of a database, and a bad file.
#include "platform/notes/client_fixture.h"

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
