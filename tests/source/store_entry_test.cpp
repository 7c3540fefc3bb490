// The entry text of the store list, how the identifier is read back, and
// the label the list shows.
#include "source/model/store_entry.h"

#include <gtest/gtest.h>

namespace norvexa::source {
namespace {

TEST(StoreEntry, NameThreeHundredBlanksHashIdentifier) {
  const std::string entry = StoreListEntry("Mailbox - Ann", "0000ABCD");
  EXPECT_EQ(entry, "Mailbox - Ann" + std::string(300, ' ') + "#0000ABCD");
  EXPECT_EQ(entry.size(), std::string("Mailbox - Ann").size() + 300 + 1 + 8);
  EXPECT_EQ(StoreIdOfEntry(entry), "0000ABCD");
}

TEST(StoreEntry, HashInsideDisplayNameStillGivesTheIdentifier) {
  // Splitting at the first "#" would give "2 Archive" + blanks here.
  const std::string entry = StoreListEntry("Team #2 Archive", "PST:2F746D70");
  EXPECT_EQ(StoreIdOfEntry(entry), "PST:2F746D70");
  EXPECT_EQ(StoreIdOfEntry(StoreListEntry("###", "")), "");
}

TEST(StoreEntry, LabelIsTheNameAndTheStoreFilesName) {
  EXPECT_EQ(StoreEntryLabel("Personal Folders", "/home/ann/Mail/Archive 2019.pst"),
            "Personal Folders \u2014 Archive 2019.pst");
  EXPECT_NE(StoreEntryLabel("Personal Folders", "/home/ann/Mail/Archive 2019.pst"),
            StoreEntryLabel("Personal Folders", "/home/ann/Mail/Archive 2020.pst"));
  EXPECT_EQ(StoreEntryLabel("Архив #2", "/данные/Архив.pst"), "Архив #2 \u2014 Архив.pst");
  EXPECT_EQ(StoreEntryLabel("Mailbox - Ann", ""), "Mailbox - Ann");
}

TEST(StoreEntry, TextWithoutHashHasNoIdentifier) {
  EXPECT_EQ(StoreIdOfEntry("---- Select a Outlook Mailbox ----"), std::nullopt);
  EXPECT_EQ(StoreIdOfEntry(""), std::nullopt);
}

}  // namespace
}  // namespace norvexa::source
