// Attachments read through libpff: their kind, their by-value data streamed
// in chunks, and attached items.
#include "platform/outlook/libpff/pff_objects.h"

#include "platform/outlook/position_check.h"

#include <vector>

namespace norvexa::outlook::libpff {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

// The kind of attachment ATTACHMENT is, by libpff's reading.
items::MapiAttachment::Kind KindOf(const ItemHandle& attachment, std::int64_t position) {
  int type = 0;
  libpff_error_t* error = nullptr;
  if (libpff_attachment_get_type(attachment.get(), &type, &error) != 1) {
    Fail(attachment.file()->path(), "cannot read the kind of attachment " + std::to_string(position), error);
  }
  if (type == LIBPFF_ATTACHMENT_TYPE_DATA) return items::MapiAttachment::Kind::Data;
  if (type == LIBPFF_ATTACHMENT_TYPE_ITEM) return items::MapiAttachment::Kind::Item;
  return items::MapiAttachment::Kind::Reference;
}

}  // namespace

std::unique_ptr<Attachment> PffAttachments::GetAttachment(std::int64_t position) const {
  const std::string& file = message_->file()->path();
  items::CheckPosition(file, position, count_, "attachment", "item");
  libpff_item_t* attachment = nullptr;
  libpff_error_t* error = nullptr;
  if (libpff_message_get_attachment(message_->get(), static_cast<int>(position - 1), &attachment, &error) != 1 ||
      attachment == nullptr) {
    Fail(file, "cannot read attachment " + std::to_string(position) + " of an item", error);
  }
  return std::make_unique<PffAttachment>(std::make_shared<const ItemHandle>(message_->file(), message_, attachment),
                                         position);
}

PffAttachment::PffAttachment(ItemRef attachment, std::int64_t position)
    : MapiAttachment(ReadBag(attachment, attachment->get(), 0, attachment->file()->path(),
                             attachment->file()->default_codepage()),
                     position, KindOf(*attachment, position)),
      attachment_(std::move(attachment)) {}

const items::MapiItem& PffAttachment::AttachedItem() const {
  if (attached_item_) return *attached_item_;
  libpff_item_t* item = nullptr;
  libpff_error_t* error = nullptr;
  if (libpff_attachment_get_item(attachment_->get(), &item, &error) != 1 || item == nullptr) {
    Fail(attachment_->file()->path(), "cannot read the item attached as " + Describe(), error);
  }
  attached_item_ =
      std::make_unique<PffItem>(std::make_shared<const ItemHandle>(attachment_->file(), attachment_, item), true);
  return *attached_item_;
}

std::int64_t PffAttachment::DataSize() const {
  size64_t size = 0;
  libpff_error_t* error = nullptr;
  if (libpff_attachment_get_data_size(attachment_->get(), &size, &error) != 1) {
    Fail(attachment_->file()->path(), "cannot read the size of " + Describe(), error);
  }
  return static_cast<std::int64_t>(size);
}

void PffAttachment::WriteData(std::ostream& out) const {
  const std::string& file = attachment_->file()->path();
  const auto size = static_cast<size64_t>(DataSize());
  if (size == 0) return;
  libpff_error_t* error = nullptr;
  if (libpff_attachment_data_seek_offset(attachment_->get(), 0, SEEK_SET, &error) != 0) {
    Fail(file, "cannot read the data of " + Describe(), error);
  }
  std::vector<std::uint8_t> buffer(kChunk);
  size64_t done = 0;
  while (done < size) {
    const std::size_t want = static_cast<std::size_t>(std::min<size64_t>(kChunk, size - done));
    const ssize_t got = libpff_attachment_data_read_buffer(attachment_->get(), buffer.data(), want, &error);
    if (got <= 0) {
      if (got == 0) throw OutlookError(file + ": the data of " + Describe() + " ends early");
      Fail(file, "cannot read the data of " + Describe(), error);
    }
    out.write(reinterpret_cast<const char*>(buffer.data()), got);
    if (!out) throw OutlookError(file + ": cannot write " + Describe());
    done += static_cast<size64_t>(got);
  }
}

}  // namespace norvexa::outlook::libpff
