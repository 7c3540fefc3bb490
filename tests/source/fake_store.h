// A store held in memory for tests of the folder tree: folders with a name,
// class, entry identifier, path and item count, nested as the test builds
// them. A folder can be set to fail when its items are counted.
#pragma once

#include "platform/outlook/outlook.h"

#include <memory>
#include <string>
#include <vector>

namespace norvexa::testing {

struct FakeFolderSpec {
  std::string name;
  std::string class_name;
  std::string entry_id;
  std::string path;
  std::int64_t count = 0;
  bool fail_count = false;
  std::vector<std::shared_ptr<FakeFolderSpec>> children;

  // Adds a child named NAME with class CLASS_NAME and COUNT items; its path
  // is this folder's path, "\", NAME; its entry identifier "E" + a number.
  FakeFolderSpec& Add(const std::string& child_name, const std::string& child_class, std::int64_t child_count = 0);
};

class FakeFolder : public outlook::Folder {
 public:
  explicit FakeFolder(std::shared_ptr<const FakeFolderSpec> spec) : spec_(std::move(spec)) {}
  std::string Name() const override { return spec_->name; }
  std::string DefaultMessageClass() const override { return spec_->class_name; }
  std::string ContainerClass() const override { return ""; }
  std::string EntryID() const override { return spec_->entry_id; }
  std::string FolderPath() const override { return spec_->path; }
  std::unique_ptr<outlook::Items> GetItems() const override;
  std::vector<std::unique_ptr<outlook::Folder>> Folders() const override;

 private:
  std::shared_ptr<const FakeFolderSpec> spec_;
};

class FakeStore : public outlook::Store {
 public:
  // A store named DISPLAY_NAME whose top folder has the path "\\" + name.
  explicit FakeStore(std::string display_name);

  FakeFolderSpec& Top() { return *top_; }

  std::string DisplayName() const override { return name_; }
  std::string StoreID() const override { return "FAKE" + name_; }
  std::string OfferText() const override { return "/fake/" + name_ + ".pst"; }
  std::string PstPath() const override { return "/fake/" + name_ + ".pst"; }
  std::unique_ptr<outlook::Folder> IPMRootFolder() const override { return std::make_unique<FakeFolder>(top_); }
  std::unique_ptr<outlook::Folder> GetFolderFromID(const std::string& entry_id) const override;

 private:
  std::string name_;
  std::shared_ptr<FakeFolderSpec> top_;
};

}  // namespace norvexa::testing
