// Which writer each item goes to, by its own class and its folder's kind.
#include "conversion/item_kind.h"
#include "conversion/fake_item.h"

#include <gtest/gtest.h>

namespace norvexa::conversion {
namespace {

ItemKind Of(const std::string& message_class, FolderKind folder) {
  testing::FakeItem item;
  item.message_class = message_class;
  return KindOfItem(item, folder);
}

TEST(ItemKinds, OwnClassWinsOverTheFolderAndEverythingElseFollowsTheFolder) {
  // Items of another kind than their folder keep their own.
  EXPECT_EQ(Of("IPM.Contact", FolderKind::Mail), ItemKind::Person);
  EXPECT_EQ(Of("IPM.DistList", FolderKind::Mail), ItemKind::Group);
  EXPECT_EQ(Of("IPM.Appointment", FolderKind::Task), ItemKind::Calendar);
  EXPECT_EQ(Of("IPM.Task", FolderKind::Mail), ItemKind::Task);
  EXPECT_EQ(Of("IPM.Note", FolderKind::Calendar), ItemKind::Mail);
  // Custom forms go by their base class, in any letter case.
  EXPECT_EQ(Of("IPM.Contact.Business Card", FolderKind::Contact), ItemKind::Person);
  EXPECT_EQ(Of("ipm.distlist", FolderKind::Contact), ItemKind::Group);
  EXPECT_EQ(Of("IPM.Note.SMIME.MultipartSigned", FolderKind::Mail), ItemKind::Mail);
  // A class that only begins like a kind is not that kind: task requests
  // and meeting messages stay mail in a mail folder.
  EXPECT_EQ(Of("IPM.TaskRequest", FolderKind::Mail), ItemKind::Mail);
  EXPECT_EQ(Of("IPM.Schedule.Meeting.Request", FolderKind::Mail), ItemKind::Mail);
  EXPECT_EQ(Of("IPM.Schedule.Meeting.Resp.Pos", FolderKind::Calendar), ItemKind::Calendar);
  EXPECT_EQ(Of("IPM.Contacts", FolderKind::Mail), ItemKind::Mail);
  // Classes of no kind follow the folder: a person in a contact folder.
  EXPECT_EQ(Of("IPM.Post", FolderKind::Contact), ItemKind::Person);
  EXPECT_EQ(Of("", FolderKind::Task), ItemKind::Task);
  EXPECT_EQ(Of("REPORT.IPM.Note.NDR", FolderKind::Mail), ItemKind::Mail);
}

}  // namespace
}  // namespace norvexa::conversion
