// A folder of 40,000 items (past every 16-bit count) reads back through our
// store access item by item. Long: opening it costs libpff about a minute
// (its item tree inserts every node by a linear search among its siblings).
#include "mailbox_writer.h"
#include "platform/outlook/outlook.h"
#include "pstgen_test_support.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

namespace norvexa::pstgen {
namespace {

namespace ol = norvexa::outlook;
using norvexa::testing::ScratchDir;
using testing::Description;

TEST(PstgenRoundTrip, FortyThousandItemsPastEverySixteenBitCount) {
  ScratchDir dir;
  WriteMailbox(Description("large-folder"), dir / "large.pst");
  const auto folders = ol::OpenStoreFile(dir / "large.pst")->IPMRootFolder()->Folders();
  const auto& folder = folders.at(1);
  const auto items = folder->GetItems();
  ASSERT_EQ(items->Count(), 40000);
  for (std::int64_t n : {1, 32768, 32769, 40000})
    EXPECT_EQ(items->GetItem(n)->Subject(), "Message " + std::to_string(n) + " of 40000");
}

}  // namespace
}  // namespace norvexa::pstgen
