// Log-on to profiles, the store list, and reopening a store by identifier
// from another session.
#include "platform/outlook/outlook.h"
#include "support/fixtures.h"

#include <QtGlobal>

#include <gtest/gtest.h>

namespace norvexa::outlook {
namespace {

// Sets $NORVEXA_MAPI_PROFILE for the life of the object.
class ProfileVariable {
 public:
  explicit ProfileVariable(const std::filesystem::path& path) : old_(qgetenv("NORVEXA_MAPI_PROFILE")) {
    had_ = qEnvironmentVariableIsSet("NORVEXA_MAPI_PROFILE");
    qputenv("NORVEXA_MAPI_PROFILE", QByteArray::fromStdString(path.string()));
  }
  ~ProfileVariable() {
    if (had_) qputenv("NORVEXA_MAPI_PROFILE", old_);
    else qunsetenv("NORVEXA_MAPI_PROFILE");
  }

 private:
  QByteArray old_;
  bool had_ = false;
};

TEST(OutlookSession, NoProfileMeansLogOnFails) {
  testing::ScratchDir scratch;
  const ProfileVariable profile(scratch / "absent-profile");
  Session session;
  EXPECT_THROW(session.Logon(), OutlookError);
  EXPECT_FALSE(session.LoggedOn());
  EXPECT_THROW(session.Stores(), OutlookError);
  EXPECT_THROW(session.GetStoreFromID("pst:41"), OutlookError);
}

TEST(OutlookSession, ProfileListsStoresAndMissingFilesAreNotOffered) {
  NORVEXA_REQUIRE_SHARED_PST(pst, "sample1.pst");
  testing::ScratchDir scratch;
  const auto missing = scratch / "gone.pst";
  const auto profile_file =
      testing::WriteFile(scratch / "profile", "\n" + missing.string() + "\n   \n  " + pst.string() + "  \r\n\n");
  const ProfileVariable profile(profile_file);
  Session session;
  session.Logon();
  ASSERT_TRUE(session.LoggedOn());
  StoreList& stores = session.Stores();
  ASSERT_EQ(stores.Count(), 2u);

  const auto absent = stores.Item(1);
  EXPECT_EQ(absent->OfferText(), "");
  EXPECT_EQ(absent->DisplayName(), "gone");
  EXPECT_EQ(absent->PstPath(), missing.string());
  EXPECT_EQ(absent->StoreID().find('#'), std::string::npos);
  EXPECT_THROW(absent->IPMRootFolder(), OutlookError);

  const auto present = stores.Item(2);
  EXPECT_EQ(present->OfferText(), std::filesystem::absolute(pst).lexically_normal().string());
  EXPECT_EQ(present->DisplayName(), "sample1");
  EXPECT_THROW(stores.Item(0), OutlookError);
  EXPECT_THROW(stores.Item(3), OutlookError);

  // The conversion run opens its own session and finds the store by id.
  const std::string id = present->StoreID();
  session.Logoff();
  session.Logoff();
  EXPECT_FALSE(session.LoggedOn());
  Session run;
  run.Logon();
  const auto reopened = run.GetStoreFromID(id);
  EXPECT_EQ(reopened->DisplayName(), "sample1");
  EXPECT_EQ(reopened->StoreID(), id);
  EXPECT_EQ(reopened->IPMRootFolder()->Folders().size(), 2u);
  EXPECT_EQ(run.Stores().GetStoreFromID("  " + id + "\t")->PstPath(), reopened->PstPath());
  EXPECT_THROW(run.GetStoreFromID("not-an-id"), OutlookError);
  EXPECT_THROW(run.GetStoreFromID("pst:4"), OutlookError);
}

TEST(OutlookSession, PstFilesOpenWithoutTheProfileAndReopenById) {
  NORVEXA_REQUIRE_SHARED_PST(pst, "sample2-ansi.pst");
  testing::ScratchDir scratch;
  Session session;
  session.LogonProfile(testing::WriteFile(scratch / "empty-profile", ""));
  EXPECT_EQ(session.Stores().Count(), 0u);
  const auto store = session.Stores().AddPSTStore("  " + pst.string() + " ");
  EXPECT_EQ(store->DisplayName(), "sample2");
  EXPECT_THROW(session.Stores().AddPSTStore((scratch / "none.pst").string()), OutlookError);
  EXPECT_THROW(session.Stores().AddPSTStore("   "), OutlookError);
  // The profile file is left as it was.
  EXPECT_EQ(testing::ReadFile(scratch / "empty-profile"), "");

  Session other;
  other.LogonProfile(scratch / "empty-profile");
  EXPECT_EQ(other.GetStoreFromID(store->StoreID())->DisplayName(), "sample2");
}

}  // namespace
}  // namespace norvexa::outlook
