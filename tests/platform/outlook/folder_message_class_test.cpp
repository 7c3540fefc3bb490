// A folder whose own properties carry a message class (such as "IPM", as
// some real stores have) is still a folder: it is one by its node type. libpff
// types such a folder by its message class, as a common item, so it cannot
// be opened by its entry identifier and its mail is never read; readpst
// reads it, and here we check our reader's count and items against readpst's.
#include "mailbox_writer.h"
#include "platform/outlook/libpff/pff_objects.h"
#include "platform/outlook/outlook.h"
#include "support/fixtures.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace norvexa::outlook {
namespace {

// The number of messages readpst writes for the folder named FOLDER of the
// store at PST (its mbox file in recursive mode), or -1 when readpst is not
// there.
int ReadpstCount(const std::filesystem::path& pst, const std::filesystem::path& out, const QString& folder) {
  if (QStandardPaths::findExecutable("readpst").isEmpty()) return -1;
  std::filesystem::create_directories(out);
  QProcess readpst;
  readpst.start("readpst", {"-q", "-r", "-o", QString::fromStdString(out.string()), QString::fromStdString(pst.string())});
  if (!readpst.waitForFinished(60000) || readpst.exitCode() != 0) return -2;
  QDirIterator files(QString::fromStdString(out.string()), {"mbox"}, QDir::Files, QDirIterator::Subdirectories);
  while (files.hasNext()) {
    const QString path = files.next();
    if (!path.contains("/" + folder + "/")) continue;
    QFile mbox(path);
    if (!mbox.open(QIODevice::ReadOnly)) return -3;
    int count = 0;
    for (const QByteArray& line : mbox.readAll().split('\n')) count += line.startsWith("From ") ? 1 : 0;
    return count;
  }
  return 0;
}

TEST(FolderMessageClass, AFolderWithAMessageClassIsReadAsAFolder) {
  testing::ScratchDir scratch;
  pstgen::MailboxSpec spec;
  pstgen::FolderSpec folder;
  folder.name = "Imported";
  folder.container_class = "IPF.Note";
  folder.message_class = "IPM";
  folder.items = [](const std::function<void(const pstgen::Item&)>& sink) {
    for (int i = 1; i <= 3; ++i) {
      pstgen::Item item;
      item.subject = "Imported " + std::to_string(i);
      sink(item);
    }
  };
  spec.folders.push_back(folder);
  const std::filesystem::path pst = scratch / "classed.pst";
  pstgen::WriteMailbox(spec, pst);

  const auto store = OpenStoreFile(pst);
  const auto folders = store->IPMRootFolder()->Folders();
  ASSERT_EQ(folders.back()->Name(), "Imported");
  // The conversion opens folders by entry identifier: that is what fails
  // with libpff.
  const auto reopened = store->GetFolderFromID(folders.back()->EntryID());
  EXPECT_EQ(reopened->FolderPath(), "\\\\Personal Folders\\Imported");
  EXPECT_EQ(reopened->DefaultMessageClass(), "IPM.Note");
  const auto items = reopened->GetItems();
  ASSERT_EQ(items->Count(), 3);
  for (std::int64_t n = 1; n <= 3; ++n) EXPECT_EQ(items->GetItem(n)->Subject(), "Imported " + std::to_string(n));

  // What libpff gets wrong: it finds no folder by that identifier.
  EXPECT_THROW(libpff::OpenStore(pst)->GetFolderFromID(folders.back()->EntryID()), OutlookError)
      << "libpff now opens such a folder; compare it with ours in the differential test instead";

  const int readpst = ReadpstCount(pst, scratch / "readpst", "Imported");
  if (readpst == -1) GTEST_SKIP() << "readpst is not installed; the comparison with it is skipped";
  EXPECT_EQ(readpst, items->Count());
}

}  // namespace
}  // namespace norvexa::outlook
