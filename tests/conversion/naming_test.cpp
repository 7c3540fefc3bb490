// The naming rule of a new database and the splitting of folder references.
#include "conversion/global/global.h"
#include "conversion/naming.h"
#include "platform/system/system_services.h"
#include "target/date_stamp.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace norvexa::conversion {
namespace {

const std::string S = sys::PathSeparator().toStdString();

QDateTime At(int y, int mo, int d, int h, int mi, int s) { return QDateTime(QDate(y, mo, d), QTime(h, mi, s)); }

TEST(Naming, StampHasTwoDigitDayAndMonthAndBareTimeFields) {
  // The same stamp whatever the user's locale writes dates and digits like.
  const QLocale previous;
  for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates),
                                QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::Japanese, QLocale::Japan),
                                QLocale(QLocale::Arabic, QLocale::Egypt)}) {
    QLocale::setDefault(locale);
    SCOPED_TRACE(locale.name().toStdString());
    EXPECT_EQ(target::DateStamp(At(2026, 12, 6, 9, 5, 3)), "06-12-2026-9-5-3");
    EXPECT_EQ(target::DateStamp(At(2027, 1, 31, 23, 59, 58)), "31-01-2027-23-59-58");
    EXPECT_EQ(target::DateStamp(At(2027, 7, 4, 0, 0, 0)), "04-07-2027-0-0-0");
  }
  QLocale::setDefault(previous);
}

TEST(Naming, NewDatabaseGoesIntoConvertedFolderNamedAfterTheStoreFile) {
  const NewDatabaseNames names =
      ComposeNewDatabaseNames(S + "out", S + "data" + S + "Archive.pst", At(2026, 12, 6, 9, 5, 3), S);
  EXPECT_EQ(names.folder, S + "out" + S + "Converted Outlook PST" + S);
  EXPECT_EQ(names.nsf_path, S + "out" + S + "Converted Outlook PST" + S + "Archive06-12-2026-9-5-3.nsf");
}

TEST(Naming, PstIsRemovedCaseSensitivelyEverywhereInTheName) {
  const QDateTime when = At(2026, 12, 6, 9, 5, 3);
  EXPECT_EQ(ComposeNewDatabaseNames(S + "o", S + "d" + S + "Mail.PST", when, S).nsf_path,
            S + "o" + S + "Converted Outlook PST" + S + "Mail.PST06-12-2026-9-5-3.nsf");
  EXPECT_EQ(ComposeNewDatabaseNames(S + "o", S + "d" + S + "a.pst.old.pst", when, S).nsf_path,
            S + "o" + S + "Converted Outlook PST" + S + "a.old06-12-2026-9-5-3.nsf");
  // Blanks around the file name are trimmed before the stamp is added.
  EXPECT_EQ(ComposeNewDatabaseNames(S + "o", S + "d" + S + " x.pst ", when, S).nsf_path,
            S + "o" + S + "Converted Outlook PST" + S + "x06-12-2026-9-5-3.nsf");
}

TEST(Naming, OutputFolderEndingInTheSeparatorGetsNoSecondOne) {
  const NewDatabaseNames root = ComposeNewDatabaseNames(S, S + "a.pst", At(2026, 1, 2, 3, 4, 5), S);
  EXPECT_EQ(root.folder, S + "Converted Outlook PST" + S);
  const NewDatabaseNames folder = ComposeNewDatabaseNames(S + "out" + S, S + "a.pst", At(2026, 1, 2, 3, 4, 5), S);
  EXPECT_EQ(folder.folder, S + "out" + S + "Converted Outlook PST" + S);
  // The composition works with any separator, as on Windows.
  const NewDatabaseNames windows =
      ComposeNewDatabaseNames("D:\\Out", "C:\\Data\\Archive.pst", At(2026, 12, 6, 9, 5, 3), "\\");
  if (S == "\\") {
    EXPECT_EQ(windows.nsf_path, "D:\\Out\\Converted Outlook PST\\Archive06-12-2026-9-5-3.nsf");
  } else {
    // GetFileNameFromPath splits at the platform's separator only.
    EXPECT_EQ(windows.folder, "D:\\Out\\Converted Outlook PST\\");
  }
}

TEST(Naming, FolderReferenceSplitsAtItsFirstHashOnly) {
  const FolderReference plain = SplitFolderReference("0000ABCD#Personal Folders\\Inbox");
  EXPECT_EQ(plain.entry_id, "0000ABCD");
  EXPECT_EQ(plain.folder_name, "Personal Folders\\Inbox");

  const FolderReference hashes = SplitFolderReference("00FF#Personal Folders\\C# notes #2  ");
  EXPECT_EQ(hashes.entry_id, "00FF");
  EXPECT_EQ(hashes.folder_name, "Personal Folders\\C# notes #2");

  const FolderReference bare = SplitFolderReference("00FF");
  EXPECT_EQ(bare.entry_id, "00FF");
  EXPECT_EQ(bare.folder_name, "");
}

}  // namespace
}  // namespace norvexa::conversion
