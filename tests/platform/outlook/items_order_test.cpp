// A folder's items come in the order of its contents table: taking them by
// their place in libpff's item tree gives, position for position, the
// message libpff's own lookup by row gives, in real stores and in a folder
// whose children mix sub-folders and messages.
#include "mailbox_writer.h"
#include "platform/outlook/pff_objects.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace norvexa::outlook::pff {
namespace {

namespace fs = std::filesystem;

// What tells two messages apart.
std::string Signature(const PffItem& item) {
  const auto created = item.CreationTime();
  return item.MessageClass() + "|" + item.Subject() + "|" + std::to_string(item.Body().size()) + "|" +
         (created ? created->toString(Qt::ISODate).toStdString() : std::string("-"));
}

// Compares every item of every folder of the store at PATH with the message
// libpff_folder_get_sub_message gives for its row; returns the number of
// items compared.
std::int64_t CompareAllFolders(const fs::path& path) {
  const std::shared_ptr<File> file = File::Open(path);
  libpff_item_t* raw_root = nullptr;
  libpff_error_t* error = nullptr;
  if (libpff_file_get_root_folder(file->get(), &raw_root, &error) != 1) Fail(file->path(), "root", error);
  std::int64_t compared = 0;
  std::function<void(const ItemRef&)> walk = [&](const ItemRef& folder) {
    const PffItems items(folder);
    for (std::int64_t position = 1; position <= items.Count(); ++position) {
      libpff_item_t* raw = nullptr;
      ASSERT_EQ(libpff_folder_get_sub_message(folder->get(), static_cast<int>(position - 1), &raw, nullptr), 1);
      const PffItem expected(std::make_shared<const ItemHandle>(file, folder, raw));
      const auto got = items.GetItem(position);
      EXPECT_EQ(Signature(dynamic_cast<const PffItem&>(*got)), Signature(expected))
          << path << " item " << position;
      ++compared;
    }
    int count = 0;
    ASSERT_EQ(libpff_folder_get_number_of_sub_folders(folder->get(), &count, nullptr), 1);
    for (int i = 0; i < count; ++i) {
      libpff_item_t* sub = nullptr;
      ASSERT_EQ(libpff_folder_get_sub_folder(folder->get(), i, &sub, nullptr), 1);
      walk(std::make_shared<const ItemHandle>(file, folder, sub));
    }
  };
  walk(std::make_shared<const ItemHandle>(file, nullptr, raw_root));
  return compared;
}

TEST(FolderItemsOrder, ByTreePlaceMatchesLookupByRow) {
  // A folder holding sub-folders and messages, written one after the other
  // so that their identifiers interleave among the folder's children.
  testing::ScratchDir scratch;
  pstgen::MailboxSpec spec;
  pstgen::FolderSpec mixed;
  mixed.name = "Mixed";
  mixed.container_class = "IPF.Note";
  mixed.items = [](const std::function<void(const pstgen::Item&)>& sink) {
    for (int i = 1; i <= 150; ++i) {
      pstgen::Item item;
      item.subject = "mail " + std::to_string(i);
      item.body = std::string(static_cast<std::size_t>(i), 'x');
      sink(item);
    }
  };
  for (int k = 1; k <= 3; ++k) {
    pstgen::FolderSpec child;
    child.name = "Child " + std::to_string(k);
    child.items = [k](const std::function<void(const pstgen::Item&)>& sink) {
      pstgen::Item item;
      item.subject = "inner " + std::to_string(k);
      sink(item);
    };
    mixed.children.push_back(child);
  }
  spec.folders.push_back(mixed);
  const fs::path written = scratch / "mixed.pst";
  pstgen::WriteMailbox(spec, written);
  EXPECT_EQ(CompareAllFolders(written), 153);

  // Stores written by Outlook.
  NORVEXA_REQUIRE_SHARED_PST(probe, "sample1.pst");
  std::int64_t compared = 0;
  for (const auto& entry : fs::directory_iterator(probe.parent_path())) {
    if (entry.path().extension() != ".pst") continue;
    SCOPED_TRACE(entry.path().filename().string());
    compared += CompareAllFolders(entry.path());
  }
  EXPECT_GT(compared, 50);
}

}  // namespace
}  // namespace norvexa::outlook::pff
