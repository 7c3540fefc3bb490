// An attachment read from its property bag: its names and types, its size,
// and saving it to a file or a stream (an attached item as an RFC 5322
// message). A store reader supplies how its data and its attached item are
// read.
#pragma once

#include "platform/outlook/bag_item.h"
#include "platform/outlook/outlook.h"
#include "platform/outlook/property_bag.h"

#include <filesystem>
#include <ostream>
#include <string>

namespace norvexa::outlook::items {

// Attached items nest inside one another; a damaged file could make them
// nest without end, which no real mailbox does. Deeper nesting is damage.
inline constexpr int kMaxAttachedItemNesting = 32;

// An attachment read from its property bag. The reader supplies how its
// data is read and, for an attached item, the item.
class MapiAttachment : public Attachment {
 public:
  // How an attachment holds its content.
  enum class Kind { Data, Item, Reference };

  MapiAttachment(PropertyBag bag, std::int64_t position, Kind kind)
      : bag_(std::move(bag)), position_(position), kind_(kind) {}

  std::string FileName() const override;
  std::int64_t Size() const override;
  void SaveAsFile(const std::filesystem::path& path) const override;
  void SaveTo(std::ostream& out) const override;

  // Writes the attachment's content to OUT: the bytes of a by-value
  // attachment, or an attached item as an RFC 5322 message (DEPTH: how
  // deep that message sits in others). Throws OutlookError naming the
  // attachment.
  void WriteTo(std::ostream& out, int depth = 0) const;
  bool IsItem() const override { return kind_ == Kind::Item; }
  std::string MimeType() const override;
  std::string ContentId() const override;
  std::string ContentLocation() const override;
  bool IsHidden() const override;

 protected:
  // What names the attachment in errors: "attachment N (name)".
  std::string Describe() const;
  // The number of bytes of the by-value data.
  virtual std::int64_t DataSize() const = 0;
  // Writes the by-value data to OUT, streamed.
  virtual void WriteData(std::ostream& out) const = 0;
  // The attached item; throws OutlookError when it cannot be read.
  virtual const MapiItem& AttachedItem() const = 0;

  PropertyBag bag_;
  std::int64_t position_;
  Kind kind_;
};

}  // namespace norvexa::outlook::items
