// The parts of the item layer both store readers hand their work to: the
// check of an item's or attachment's position, and the recipient entries
// an item lists.
#include "platform/outlook/position_check.h"
#include "platform/outlook/recipients.h"

#include <gtest/gtest.h>

#include <string>

namespace norvexa::outlook::items {
namespace {

TEST(ItemLayer, PositionsCountFromOneAndErrorsNameTheFileAndTheContainer) {
  EXPECT_NO_THROW(CheckPosition("a.pst", 1, 3, "item", "folder"));
  EXPECT_NO_THROW(CheckPosition("a.pst", 3, 3, "item", "folder"));
  EXPECT_THROW(CheckPosition("a.pst", 0, 3, "item", "folder"), OutlookError);
  EXPECT_THROW(CheckPosition("a.pst", 1, 0, "item", "folder"), OutlookError);
  try {
    CheckPosition("/data/a.pst", 4, 3, "attachment", "item");
    FAIL() << "position 4 of 3 was accepted";
  } catch (const OutlookError& e) {
    EXPECT_EQ(std::string(e.what()), "/data/a.pst: attachment 4 is out of range (the item has 3)");
  }
}

TEST(ItemLayer, RecipientEntriesKeepOrderNamesAndKindsWithToForAnyOtherType) {
  const std::vector<Recipient> recipients = {
      {mapi::MAPI_BCC, "Hidden", "h@example.com"},
      {mapi::MAPI_TO, "First", "f@example.com"},
      {mapi::MAPI_CC, "Copy", "c@example.com"},
      {0x10000000 | mapi::MAPI_CC, "Odd", "o@example.com"},  // not a type a store writes
  };
  const std::vector<RecipientEntry> entries = ToRecipientEntries(recipients);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].kind, RecipientEntry::Kind::Bcc);
  EXPECT_EQ(entries[1].kind, RecipientEntry::Kind::To);
  EXPECT_EQ(entries[2].kind, RecipientEntry::Kind::Cc);
  EXPECT_EQ(entries[3].kind, RecipientEntry::Kind::To);
  EXPECT_EQ(entries[0].name, "Hidden");
  EXPECT_EQ(entries[2].address, "c@example.com");
}

}  // namespace
}  // namespace norvexa::outlook::items
