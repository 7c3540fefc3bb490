// Items read through libpff: one property bag per item from libpff's record
// set, the recipient table and the attachment count.
#include "platform/outlook/libpff/pff_objects.h"

#include <cstring>

namespace norvexa::outlook::libpff {
namespace {

// The name a named property carries in libpff's name-to-ID map, into E.
void ResolveName(libpff_record_entry_t* record, items::PropertyBag::Entry& e) {
  libpff_error_t* error = nullptr;
  libpff_name_to_id_map_entry_t* named = nullptr;
  if (libpff_record_entry_get_name_to_id_map_entry(record, &named, &error) == 1 && named != nullptr) {
    uint8_t kind = 0;
    if (libpff_name_to_id_map_entry_get_type(named, &kind, &error) == 1 &&
        libpff_name_to_id_map_entry_get_guid(named, e.guid.data(), e.guid.size(), &error) == 1) {
      e.named = true;
      if (kind == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_NUMERIC) {
        if (libpff_name_to_id_map_entry_get_number(named, &e.lid, &error) != 1) e.named = false;
      } else {
        e.by_string = true;
        size_t size = 0;
        if (libpff_name_to_id_map_entry_get_utf8_string_size(named, &size, &error) == 1 && size > 0 &&
            size < 4096) {
          std::string name(size, '\0');
          if (libpff_name_to_id_map_entry_get_utf8_string(named, reinterpret_cast<uint8_t*>(name.data()), size,
                                                          &error) == 1) {
            name.resize(std::strlen(name.c_str()));
            e.name = std::move(name);
          }
        }
      }
    }
  }
  // A name-to-ID entry that cannot be read leaves the property unnamed; it
  // is then found only by its stored identifier.
  TakeReason(error);
}

}  // namespace

items::PropertyBag ReadBag(std::shared_ptr<const ItemHandle> handle, libpff_item_t* item, int set_index,
                         const std::string& file, int store_codepage) {
  libpff_error_t* error = nullptr;
  libpff_record_set_t* raw_set = nullptr;
  if (libpff_item_get_record_set_by_index(item, set_index, &raw_set, &error) != 1) {
    Fail(file, "cannot read the properties of an item", error);
  }
  // The record entries live as long as the set; the bag's reader owns it.
  auto set = std::shared_ptr<libpff_record_set_t>(raw_set, [](libpff_record_set_t* s) {
    libpff_record_set_free(&s, nullptr);
  });
  int count = 0;
  if (libpff_record_set_get_number_of_entries(set.get(), &count, &error) != 1) {
    Fail(file, "cannot read the properties of an item", error);
  }
  auto records = std::make_shared<std::vector<libpff_record_entry_t*>>();
  std::vector<items::PropertyBag::Entry> entries;
  entries.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    items::PropertyBag::Entry e;
    libpff_record_entry_t* record = nullptr;
    uint32_t entry_type = 0;
    uint32_t value_type = 0;
    if (libpff_record_set_get_entry_by_index(set.get(), i, &record, &error) != 1 || record == nullptr) {
      Fail(file, "cannot read a property of an item", error);
    }
    if (libpff_record_entry_get_entry_type(record, &entry_type, &error) != 1 ||
        libpff_record_entry_get_value_type(record, &value_type, &error) != 1) {
      // Table entries without a MAPI identifier carry nothing we read.
      TakeReason(error);
      error = nullptr;
      continue;
    }
    e.id = static_cast<std::uint16_t>(entry_type);
    e.type = static_cast<std::uint16_t>(value_type);
    if (e.id >= mapi::kFirstNamedId) ResolveName(record, e);
    e.slot = static_cast<std::uint32_t>(records->size());
    records->push_back(record);
    entries.push_back(std::move(e));
  }
  auto reader = [handle, set, records, file](const items::PropertyBag::Entry& e) {
    libpff_record_entry_t* record = (*records)[e.slot];
    libpff_error_t* error = nullptr;
    size_t size = 0;
    if (libpff_record_entry_get_data_size(record, &size, &error) != 1) Fail(file, "cannot read a property value", error);
    std::string data(size, '\0');
    if (size > 0 &&
        libpff_record_entry_get_data(record, reinterpret_cast<uint8_t*>(data.data()), size, &error) != 1) {
      Fail(file, "cannot read a property value", error);
    }
    return data;
  };
  return items::PropertyBag(std::move(entries), std::move(reader), file, store_codepage);
}

PffItem::PffItem(ItemRef message, bool attached)
    : MapiItem(ReadBag(message, message->get(), 0, message->file()->path(), message->file()->default_codepage())),
      message_(std::move(message)),
      attached_(attached) {}

std::string PffItem::SourceKey() const {
  if (attached_) return std::string();
  try {
    return items::ItemSourceKey(message_->file()->store_key(), Identifier(*message_));
  } catch (const OutlookError&) {
    // The identifier comes from libpff's item tree in memory; should it
    // not be given, the item has no key rather than a wrong one.
    return std::string();
  }
}

std::unique_ptr<Attachments> PffItem::GetAttachments() const {
  int count = 0;
  libpff_error_t* error = nullptr;
  if (libpff_message_get_number_of_attachments(message_->get(), &count, &error) != 1) {
    Fail(message_->file()->path(), "cannot read the attachment table of " + Describe(), error);
  }
  return std::make_unique<PffAttachments>(message_, count);
}

std::vector<items::Recipient> PffItem::Recipients() const {
  std::vector<items::Recipient> recipients;
  libpff_item_t* table = nullptr;
  libpff_error_t* error = nullptr;
  const int found = libpff_message_get_recipients(message_->get(), &table, &error);
  if (found == -1) Fail(message_->file()->path(), "cannot read the recipients of " + Describe(), error);
  if (found == 0 || table == nullptr) return recipients;
  auto handle = std::make_shared<const ItemHandle>(message_->file(), message_, table);
  int count = 0;
  if (libpff_item_get_number_of_record_sets(handle->get(), &count, &error) != 1) {
    Fail(message_->file()->path(), "cannot read the recipients of " + Describe(), error);
  }
  for (int i = 0; i < count; ++i) {
    const items::PropertyBag row = ReadBag(handle, handle->get(), i, message_->file()->path(), bag_.codepage());
    recipients.push_back(items::RecipientFromRow(row));
  }
  return recipients;
}

}  // namespace norvexa::outlook::libpff
