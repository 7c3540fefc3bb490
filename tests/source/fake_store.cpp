// A store held in memory for tests of the folder tree.
#include "source/fake_store.h"

#include <functional>

namespace norvexa::testing {
namespace {

int next_entry_id = 1;

class FakeItems : public outlook::Items {
 public:
  explicit FakeItems(std::int64_t count) : count_(count) {}
  std::int64_t Count() const override { return count_; }
  std::unique_ptr<outlook::Item> GetItem(std::int64_t) const override {
    throw outlook::OutlookError("fake store: items are not readable");
  }

 private:
  std::int64_t count_;
};

}  // namespace

FakeFolderSpec& FakeFolderSpec::Add(const std::string& child_name, const std::string& child_class,
                                    std::int64_t child_count) {
  auto child = std::make_shared<FakeFolderSpec>();
  child->name = child_name;
  child->class_name = child_class;
  child->entry_id = "E" + std::to_string(next_entry_id++);
  child->path = path + "\\" + child_name;
  child->count = child_count;
  children.push_back(child);
  return *child;
}

std::unique_ptr<outlook::Items> FakeFolder::GetItems() const {
  if (spec_->fail_count) throw outlook::OutlookError("fake store: folder " + spec_->name + " cannot be read");
  return std::make_unique<FakeItems>(spec_->count);
}

std::vector<std::unique_ptr<outlook::Folder>> FakeFolder::Folders() const {
  std::vector<std::unique_ptr<outlook::Folder>> folders;
  for (const auto& child : spec_->children) folders.push_back(std::make_unique<FakeFolder>(child));
  return folders;
}

FakeStore::FakeStore(std::string display_name) : name_(std::move(display_name)), top_(std::make_shared<FakeFolderSpec>()) {
  top_->name = "Top of " + name_;
  top_->entry_id = "TOP";
  top_->path = "\\\\" + name_;
}

std::unique_ptr<outlook::Folder> FakeStore::GetFolderFromID(const std::string& entry_id) const {
  std::function<std::shared_ptr<FakeFolderSpec>(const std::shared_ptr<FakeFolderSpec>&)> find =
      [&](const std::shared_ptr<FakeFolderSpec>& f) -> std::shared_ptr<FakeFolderSpec> {
    if (f->entry_id == entry_id) return f;
    for (const auto& c : f->children) {
      if (auto hit = find(c)) return hit;
    }
    return nullptr;
  };
  if (auto hit = find(top_)) return std::make_unique<FakeFolder>(hit);
  throw outlook::OutlookError("fake store: no folder " + entry_id);
}

}  // namespace norvexa::testing
