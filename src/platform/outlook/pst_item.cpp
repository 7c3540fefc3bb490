// Items, recipients and attachments on Norvexa's own PST reader (see
// pst_objects.h).
#include "platform/outlook/pst_objects.h"

#include "platform/outlook/position_check.h"

namespace norvexa::outlook::pst {
namespace {

const RawProperty* FindRaw(const PropertyContext& context, std::uint16_t id) {
  for (const RawProperty& p : context.properties()) {
    if (p.id == id) return &p;
  }
  return nullptr;
}

// The kind of the attachment whose properties are BAG and CONTEXT.
items::MapiAttachment::Kind KindOf(const items::PropertyBag& bag, const PropertyContext& context) {
  const std::int64_t method = bag.Integer(bag.Find(mapi::PR_ATTACH_METHOD)).value_or(mapi::ATTACH_BY_VALUE);
  const RawProperty* data = FindRaw(context, mapi::PR_ATTACH_DATA);
  if (method == mapi::ATTACH_EMBEDDED_MSG && data != nullptr && data->type == mapi::PT_OBJECT) {
    return items::MapiAttachment::Kind::Item;
  }
  if (method == mapi::ATTACH_BY_VALUE || method == mapi::ATTACH_EMBEDDED_MSG || method == mapi::ATTACH_OLE) {
    return items::MapiAttachment::Kind::Data;
  }
  return items::MapiAttachment::Kind::Reference;
}

// The properties of the message at NODE, read with LOG in scope.
std::shared_ptr<const PropertyContext> ReadContext(const StoreFile& file, const NodeEntry& node, DamageLog* log) {
  DamageScope scope(file.db()->listeners(), log);
  return std::make_shared<const PropertyContext>(file.db(), node);
}

}  // namespace

// ---------------------------------------------------------------------------
// Items
// ---------------------------------------------------------------------------

PstItem::PstItem(std::shared_ptr<StoreFile> file, const NodeEntry& node, std::shared_ptr<DamageLog> log, int depth)
    : PstItem(file, ReadContext(*file, node, log.get()), log, depth) {}

PstItem::PstItem(std::shared_ptr<StoreFile> file, std::shared_ptr<const PropertyContext> context,
                 std::shared_ptr<DamageLog> log, int depth)
    : MapiItem(file->Bag(context, file->default_codepage(), log)),
      file_(std::move(file)),
      context_(std::move(context)),
      log_(std::move(log)),
      depth_(depth) {}

std::vector<outlook::Damage> PstItem::Damage() const {
  DamageLog all;
  all.AddAll(log_->entries());
  // What every item's values depend on goes with each of them.
  all.AddAll(file_->SharedDamage());
  return all.entries();
}

std::string PstItem::SourceKey() const {
  // An attached item (depth 1 and more) sits in a subnode of its carrier,
  // whose identifier is not unique in the store.
  if (depth_ > 0) return std::string();
  return items::ItemSourceKey(file_->store_key(), context_->heap().node().nid);
}

std::vector<items::Recipient> PstItem::Recipients() const {
  DamageScope scope(file_->db()->listeners(), log_.get());
  std::vector<items::Recipient> recipients;
  const std::optional<NodeEntry> node = context_->heap().Subnode(kNidRecipientTable);
  if (!node) return recipients;
  try {
    auto table = std::make_shared<const TableContext>(file_->db(), *node);
    TableContext::Cursor rows(table);
    while (const std::optional<std::uint64_t> i = rows.Next()) {
      const items::PropertyBag row = file_->RowBag(table, table->Row(*i), bag_.codepage(), log_);
      recipients.push_back(items::RecipientFromRow(row));
    }
  } catch (const OutlookError& e) {
    const std::uint64_t at = OffsetOf(e, file_->db()->BlockOffset(node->bid_data).value_or(0));
    log_->Add(at, "its recipient table could not be read: " + WithoutFileName(e.what(), file_->path()));
    throw DamageError("cannot read the recipients of " + Describe() + ": " + e.what(), at);
  }
  return recipients;
}

std::unique_ptr<Attachments> PstItem::GetAttachments() const {
  DamageScope scope(file_->db()->listeners(), log_.get());
  std::vector<std::uint32_t> subnodes;
  const std::optional<NodeEntry> node = context_->heap().Subnode(kNidAttachmentTable);
  std::string table_error;
  std::uint64_t table_at = 0;
  if (node) {
    try {
      auto table = std::make_shared<const TableContext>(file_->db(), *node);
      TableContext::Cursor rows(table);
      while (const std::optional<std::uint64_t> i = rows.Next()) {
        const std::optional<std::uint32_t> nid = table->Cell32(table->Row(*i), mapi::PidTagLtpRowId);
        if (nid) subnodes.push_back(*nid);
      }
    } catch (const OutlookError& e) {
      table_error = e.what();
      table_at = OffsetOf(e, file_->db()->BlockOffset(node->bid_data).value_or(0));
      subnodes.clear();
    }
  }
  if (!node || !table_error.empty()) {
    // The table is only an index of the attachments: when it is missing or
    // of a form that cannot be read, the attachments are still the
    // message's subnodes of the attachment type, in their order.
    try {
      file_->db()->ForEachSubnode(context_->heap().node().bid_sub, [&](const NodeEntry& sub) {
        if (NidType(sub.nid) == kNidTypeAttachment) subnodes.push_back(sub.nid);
      });
    } catch (const OutlookError&) {
      subnodes.clear();
    }
    if (subnodes.empty() && !table_error.empty()) {
      log_->Add(table_at, "its attachment table could not be read: " + WithoutFileName(table_error, file_->path()));
      throw DamageError("cannot read the attachment table of " + Describe() + ": " + table_error, table_at);
    }
    if (!table_error.empty()) {
      log_->Add(table_at, "its attachment table could not be read (" + WithoutFileName(table_error, file_->path()) +
                              "); its attachments were found as its subnodes");
    }
  }
  return std::make_unique<PstAttachments>(file_, context_, std::move(subnodes), log_, depth_);
}

// ---------------------------------------------------------------------------
// Attachments
// ---------------------------------------------------------------------------

std::unique_ptr<Attachment> PstAttachments::GetAttachment(std::int64_t position) const {
  items::CheckPosition(file_->path(), position, Count(), "attachment", "item");
  const std::uint32_t nid = subnodes_[static_cast<std::size_t>(position - 1)];
  DamageScope scope(file_->db()->listeners(), log_.get());
  try {
    const std::optional<NodeEntry> node = context_->heap().Subnode(nid);
    if (!node) context_->heap().Fail("its subnode is missing (damaged)");
    return std::make_unique<PstAttachment>(file_, std::make_shared<const PropertyContext>(file_->db(), *node),
                                           position, log_, depth_);
  } catch (const OutlookError& e) {
    const std::string what = "cannot read attachment " + std::to_string(position) + " of an item: " + e.what();
    const std::uint64_t at = OffsetOf(e, file_->db()->BlockOffset(context_->heap().node().bid_data).value_or(0));
    log_->Add(at, WithoutFileName(what, file_->path()));
    throw DamageError(what, at);
  }
}

PstAttachment::PstAttachment(std::shared_ptr<StoreFile> file, std::shared_ptr<const PropertyContext> context,
                             std::int64_t position, std::shared_ptr<DamageLog> log, int depth)
    : MapiAttachment(file->Bag(context, file->default_codepage(), log), position, Kind::Data),
      file_(std::move(file)),
      context_(std::move(context)),
      log_(std::move(log)),
      depth_(depth) {
  kind_ = KindOf(bag_, *context_);
}

template <typename Read>
auto PstAttachment::Logged(Read read) const -> decltype(read()) {
  DamageScope scope(file_->db()->listeners(), log_.get());
  try {
    return read();
  } catch (const OutlookError& e) {
    const std::uint64_t at = OffsetOf(e, file_->db()->BlockOffset(context_->heap().node().bid_data).value_or(0));
    log_->Add(at, "the data of " + Describe() + " could not be read: " + WithoutFileName(e.what(), file_->path()));
    throw;
  }
}

NodeEntry PstAttachment::ObjectNode() const {
  const RawProperty* data = FindRaw(*context_, mapi::PR_ATTACH_DATA);
  if (data == nullptr) file_->db()->Fail(Describe() + " has no data");
  const std::string object = context_->Value(*data, kPcObjectValueSize);
  if (object.size() < kPcObjectNidSize) context_->heap().Fail("the data object of " + Describe() + " is cut short (damaged)");
  const std::uint32_t nid = Le32(reinterpret_cast<const std::uint8_t*>(object.data()));
  const std::optional<NodeEntry> node = context_->heap().Subnode(nid);
  if (!node) context_->heap().Fail("the data object of " + Describe() + " is missing (damaged)");
  return *node;
}

std::int64_t PstAttachment::DataSize() const {
  return Logged([&]() -> std::int64_t {
    const RawProperty* data = FindRaw(*context_, mapi::PR_ATTACH_DATA);
    if (data == nullptr) return 0;
    if (data->type == mapi::PT_OBJECT) {
      return static_cast<std::int64_t>(DataStream(file_->db(), ObjectNode().bid_data).size());
    }
    if (data->type != mapi::PT_BINARY) return 0;
    const auto hnid = static_cast<std::uint32_t>(data->reference);
    if (hnid == 0) return 0;
    if (!Heap::IsNid(hnid)) return static_cast<std::int64_t>(context_->heap().Get(hnid).size());
    const std::optional<NodeEntry> node = context_->heap().Subnode(hnid);
    if (!node) context_->heap().Fail("the data of " + Describe() + " is missing (damaged)");
    return static_cast<std::int64_t>(DataStream(file_->db(), node->bid_data).size());
  });
}

void PstAttachment::WriteData(std::ostream& out) const {
  Logged([&] {
    const RawProperty* data = FindRaw(*context_, mapi::PR_ATTACH_DATA);
    if (data == nullptr) return;
    if (data->type == mapi::PT_OBJECT) {
      DataStream(file_->db(), ObjectNode().bid_data).CopyTo(out);
      return;
    }
    if (data->type != mapi::PT_BINARY) return;
    const auto hnid = static_cast<std::uint32_t>(data->reference);
    if (hnid == 0) return;
    if (!Heap::IsNid(hnid)) {
      const std::string bytes = context_->heap().Get(hnid);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      return;
    }
    const std::optional<NodeEntry> node = context_->heap().Subnode(hnid);
    if (!node) context_->heap().Fail("the data of " + Describe() + " is missing (damaged)");
    DataStream(file_->db(), node->bid_data).CopyTo(out);
  });
}

const items::MapiItem& PstAttachment::AttachedItem() const {
  if (attached_item_) return *attached_item_;
  if (depth_ >= items::kMaxAttachedItemNesting) {
    context_->heap().Fail(Describe() + " nests attached items too deep (damaged)");
  }
  Logged([&] {
    try {
      attached_item_ = std::make_unique<PstItem>(file_, ObjectNode(), log_, depth_ + 1);
    } catch (const OutlookError& e) {
      throw DamageError("cannot read the item attached as " + Describe() + ": " + e.what(),
                        OffsetOf(e, file_->db()->BlockOffset(context_->heap().node().bid_data).value_or(0)));
    }
  });
  return *attached_item_;
}

}  // namespace norvexa::outlook::pst
