// The image list of the main window.
#include "shell/image_list.h"

#include "shell/svg_picture.h"
#include "source/model/folder_nodes.h"

#include <stdexcept>

namespace norvexa::shell {
namespace {

void CheckSlot(int slot) {
  if (slot < 0 || slot >= ImageList::kCount) throw std::out_of_range("no image slot " + std::to_string(slot));
}

}  // namespace

ImageList::ImageList() {
  // Every slot shows at least a folder; the slots the tree uses have their
  // own pictures.
  const QIcon folder = SvgIcon(":/icons/folder.svg");
  images_.fill(folder);
  images_[source::kStoreImage] = SvgIcon(":/icons/store.svg");
  images_[source::kMailImage] = SvgIcon(":/icons/mail.svg");
  images_[source::kTaskImage] = SvgIcon(":/icons/tasks.svg");
  images_[source::kCalendarImage] = SvgIcon(":/icons/calendar.svg");
  images_[source::kContactImage] = SvgIcon(":/icons/contacts.svg");
  images_[source::kJournalImage] = SvgIcon(":/icons/journal.svg");
  images_[source::kNoteImage] = SvgIcon(":/icons/notes.svg");

  const std::pair<int, const char*> keyed[] = {
      {3, "Notesico"}, {56, "Contact"}, {57, "264"},     {58, "tasks"},    {59, "mail"},     {60, "cal"},
      {61, "contacts"}, {62, "journal"}, {63, "Help"},    {64, "Load"},     {65, "OpenFile"}, {66, "Preview"},
      {68, "Abouts"},   {69, "drafts"},  {70, "trash"},   {71, "inbox"},    {72, "junk"},     {73, "outbox"},
      {74, "email"},    {75, "follow-up"}};
  for (const auto& [slot, key] : keyed) keys_[slot] = key;
  images_[59] = images_[source::kMailImage];
  images_[74] = images_[source::kMailImage];
  images_[56] = images_[source::kContactImage];
}

QIcon ImageList::Image(int slot) const {
  CheckSlot(slot);
  return images_[slot];
}

QString ImageList::Key(int slot) const {
  CheckSlot(slot);
  return keys_[slot];
}

int ImageList::SlotOfKey(const QString& key) const {
  if (key.isEmpty()) return -1;
  for (int slot = 0; slot < kCount; ++slot) {
    if (keys_[slot] == key) return slot;
  }
  return -1;
}

}  // namespace norvexa::shell
