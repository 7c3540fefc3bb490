// A folder of more than 100,000 items is read completely, in order: every
// item once, past every 16- and 17-bit count, and its count is the number
// of items written. About three seconds for writing and reading it.
#include "mailbox_writer.h"
#include "platform/outlook/outlook.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

namespace norvexa::outlook {
namespace {

TEST(LargeFolder, AHundredThousandAndOneItemsAreReadCompletelyInOrder) {
  constexpr int kItems = 100001;
  testing::ScratchDir scratch;
  pstgen::MailboxSpec spec;
  spec.store_name = "Large";
  pstgen::FolderSpec folder;
  folder.name = "Everything";
  folder.container_class = "IPF.Note";
  folder.items = [](const std::function<void(const pstgen::Item&)>& sink) {
    for (int i = 1; i <= kItems; ++i) {
      pstgen::Item item;
      item.subject = "Message " + std::to_string(i);
      sink(item);
    }
  };
  spec.folders.push_back(folder);
  pstgen::WriteMailbox(spec, scratch / "large.pst");

  const auto folders = OpenStoreFile(scratch / "large.pst")->IPMRootFolder()->Folders();
  const auto items = folders.back()->GetItems();
  ASSERT_EQ(items->Count(), kItems);
  int in_order = 0;
  for (std::int64_t n = 1; n <= items->Count(); ++n) {
    if (items->GetItem(n)->Subject() == "Message " + std::to_string(n)) ++in_order;
  }
  EXPECT_EQ(in_order, kItems);
  // Asking again for an earlier item after the walk still finds it.
  EXPECT_EQ(items->GetItem(65536)->Subject(), "Message 65536");
}

}  // namespace
}  // namespace norvexa::outlook
