// norvexa-inspect store run as a program: the JSON tree of a real store, the
// item values with --items, and one line on standard error for a bad file.
#include "support/fixtures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
  int status;
  QByteArray out;
  QByteArray err;
};

ToolRun Inspect(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(NORVEXA_BINARY_DIR "/tools/inspect/norvexa-inspect"), arguments);
  EXPECT_TRUE(process.waitForFinished(60000));
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
          process.readAllStandardError()};
}

TEST(InspectStore, PrintsTheTreeAndTheItemValues) {
  NORVEXA_REQUIRE_SHARED_PST(pst, "sample1.pst");
  const ToolRun plain = Inspect({"store", QString::fromStdString(pst.string())});
  ASSERT_EQ(plain.status, 0) << plain.err.toStdString();
  const QJsonObject store = QJsonDocument::fromJson(plain.out).object();
  EXPECT_EQ(store["name"].toString(), "sample1");
  EXPECT_TRUE(store["id"].toString().startsWith("pst:"));
  const QJsonArray folders = store["folders"].toArray();
  ASSERT_EQ(folders.size(), 3);
  EXPECT_EQ(folders[0].toObject()["path"].toString(), "\\\\sample1");
  EXPECT_EQ(folders[2].toObject()["path"].toString(), "\\\\sample1\\Sample1");
  EXPECT_EQ(folders[2].toObject()["entry_id"].toString(), "00008082");
  EXPECT_EQ(folders[2].toObject()["class"].toString(), "IPM.Note");
  EXPECT_EQ(folders[2].toObject()["count"].toInt(), 1);
  EXPECT_FALSE(folders[2].toObject().contains("items"));

  const ToolRun items = Inspect({"store", "--items", QString::fromStdString(pst.string())});
  ASSERT_EQ(items.status, 0) << items.err.toStdString();
  const QJsonObject mail =
      QJsonDocument::fromJson(items.out).object()["folders"].toArray()[2].toObject()["items"].toArray()[0].toObject();
  EXPECT_EQ(mail["message_class"].toString(), "IPM.Note");
  // The store's record key (16 bytes) and the item's node.
  EXPECT_TRUE(QRegularExpression("^[0-9A-F]{32}-[0-9A-F]{8}$").match(mail["source_key"].toString()).hasMatch())
      << mail["source_key"].toString().toStdString();
  EXPECT_TRUE(mail["sender_email"].toString().contains("CN="));
  EXPECT_EQ(mail["sender_name"].toString(), "Terry Mahaffey");
  EXPECT_TRUE(mail["date"].toString().startsWith("2010-03-15T"));
  EXPECT_EQ(mail["attachments"].toArray()[0].toObject()["name"].toString(), "leah_thumper.jpg");
  EXPECT_EQ(mail["attachments"].toArray()[0].toObject()["size"].toInt(), 93142);
}

TEST(InspectStore, ListsMembersOfDistributionLists) {
  NORVEXA_REQUIRE_SHARED_PST(pst, "dist-list.pst");
  const ToolRun run = Inspect({"store", "--items", QString::fromStdString(pst.string())});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  const QJsonArray folders = QJsonDocument::fromJson(run.out).object()["folders"].toArray();
  QJsonObject list;
  for (const auto& folder : folders) {
    if (folder.toObject()["class"].toString() == "IPM.Contact") list = folder.toObject()["items"].toArray()[0].toObject();
  }
  EXPECT_EQ(list["dl_name"].toString(), "test dist list");
  EXPECT_EQ(list["members"].toArray().size(), 3);
}

TEST(InspectStore, BadFileGivesOneLineOnStandardErrorAndStatusOne) {
  norvexa::testing::ScratchDir scratch;
  const auto bad = norvexa::testing::WriteFile(scratch / "bad.pst", "not a store\n");
  const ToolRun run = Inspect({"store", QString::fromStdString(bad.string())});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.isEmpty());
  EXPECT_EQ(run.err.count('\n'), 1);
  EXPECT_TRUE(run.err.contains("bad.pst")) << run.err.toStdString();
}

TEST(InspectStore, DamagedStorePrintsEveryFolderItCanReadNamesTheRestAndGivesStatusOne) {
  NORVEXA_REQUIRE_SHARED_PST(pst, "exchange-user.pst");
  norvexa::testing::ScratchDir scratch;
  const QString file = QString::fromStdString(pst.string());
  const ToolRun whole = Inspect({"store", "--items", file});
  ASSERT_EQ(whole.status, 0) << whole.err.toStdString();
  const QJsonArray undamaged = QJsonDocument::fromJson(whole.out).object()["folders"].toArray();

  // --layout places the roots and the folders' blocks.
  const ToolRun layout_run = Inspect({"store", "--layout", file});
  ASSERT_EQ(layout_run.status, 0) << layout_run.err.toStdString();
  const QJsonObject layout = QJsonDocument::fromJson(layout_run.out).object();
  const qint64 node_root = layout["node_index_root"].toObject()["offset"].toInteger();
  EXPECT_GT(node_root, 0);
  EXPECT_EQ(layout["format"].toString(), "unicode");
  // A folder with nothing below it, whose properties are then wiped.
  QJsonObject victim;
  for (const QJsonValue& v : layout["structures"].toArray()) {
    const QJsonObject s = v.toObject();
    if (s["what"] == "folder" && s["folder"].toString().count('\\') == 4) victim = s;
  }
  ASSERT_FALSE(victim.isEmpty()) << layout_run.out.toStdString();

  std::string bytes = norvexa::testing::ReadFile(pst);
  std::fill_n(bytes.begin() + node_root, 512, '\0');
  std::fill_n(bytes.begin() + victim["offset"].toInteger(), victim["size"].toInteger(), '\0');
  const auto damaged = norvexa::testing::WriteFile(scratch / "damaged.pst", bytes);
  const ToolRun run = Inspect({"store", "--items", QString::fromStdString(damaged.string())});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.err.contains("damaged")) << run.err.toStdString();
  const QJsonObject store = QJsonDocument::fromJson(run.out).object();
  // Every folder but the wiped one, and the store's damage at the root.
  EXPECT_EQ(store["folders"].toArray().size(), undamaged.size() - 1);
  bool root_named = false;
  for (const QJsonValue& d : store["damage"].toArray()) root_named |= d.toObject()["offset"].toInteger() == node_root;
  EXPECT_TRUE(root_named) << run.out.toStdString();
  // Its parent names it as a sub-folder that cannot be read, where it is.
  bool named = false;
  for (const QJsonValue& f : store["folders"].toArray()) {
    for (const QJsonValue& d : f.toObject()["damage"].toArray()) {
      named |= d.toObject()["what"].toString().contains("cannot be read") &&
               d.toObject()["offset"].toInteger() == victim["offset"].toInteger();
    }
  }
  EXPECT_TRUE(named) << run.out.toStdString();
}

}  // namespace
