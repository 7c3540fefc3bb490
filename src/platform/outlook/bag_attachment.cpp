// An attachment read from its property bag (see bag_attachment.h).
#include "platform/outlook/bag_attachment.h"

#include "platform/outlook/eml_writer.h"
#include "platform/system/file_names.h"
#include "platform/system/paths.h"

#include <fstream>

namespace norvexa::outlook::items {
namespace {

// The name the attachment was stored under: PR_ATTACH_LONG_FILENAME, else
// PR_ATTACH_FILENAME, else PR_DISPLAY_NAME; "" when it has none.
std::string StoredName(const PropertyBag& bag) {
  std::string name = bag.Text(mapi::PR_ATTACH_LONG_FILENAME);
  if (name.empty()) name = bag.Text(mapi::PR_ATTACH_FILENAME);
  if (name.empty()) name = bag.Text(mapi::PR_DISPLAY_NAME);
  return name;
}

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    const char a = text[text.size() - suffix.size() + i];
    if (std::tolower(static_cast<unsigned char>(a)) != std::tolower(static_cast<unsigned char>(suffix[i]))) return false;
  }
  return true;
}

}  // namespace

std::string MapiAttachment::FileName() const {
  std::string name = sys::SafeFileName(StoredName(bag_));
  if (IsItem()) {
    if (name.empty()) {
      try {
        name = sys::SafeFileName(AttachedItem().Subject());
      } catch (const OutlookError&) {
        // An attached item that cannot be read has no subject to offer; the
        // save reports the damage.
      }
    }
    if (!name.empty() && !EndsWithIgnoringCase(name, ".eml") && !EndsWithIgnoringCase(name, ".msg")) name += ".eml";
    if (EndsWithIgnoringCase(name, ".msg")) name.replace(name.size() - 4, 4, ".eml");
  }
  return name;
}

std::string MapiAttachment::MimeType() const { return bag_.Text(mapi::PR_ATTACH_MIME_TAG); }
std::string MapiAttachment::ContentId() const { return bag_.Text(mapi::PR_ATTACH_CONTENT_ID); }
std::string MapiAttachment::ContentLocation() const { return bag_.Text(mapi::PR_ATTACH_CONTENT_LOCATION); }
bool MapiAttachment::IsHidden() const {
  return bag_.Integer(bag_.Find(mapi::PR_ATTACHMENT_HIDDEN)).value_or(0) != 0;
}

std::string MapiAttachment::Describe() const {
  const std::string name = StoredName(bag_);
  return "attachment " + std::to_string(position_) + (name.empty() ? std::string() : " (" + name + ")");
}

std::int64_t MapiAttachment::Size() const {
  if (kind_ == Kind::Data) return DataSize();
  if (IsItem()) {
    CountingWriter counter;
    std::ostream sink(&counter);
    WriteTo(sink);
    return counter.count();
  }
  return 0;
}

void MapiAttachment::WriteTo(std::ostream& out, int depth) const {
  const std::string& file = bag_.file();
  if (IsItem()) {
    if (depth >= kMaxAttachedItemNesting) throw OutlookError(file + ": " + Describe() + " nests attached items too deep (damaged)");
    WriteEml(AttachedItem(), out, depth);
    return;
  }
  if (kind_ != Kind::Data) {
    throw OutlookError(file + ": " + Describe() + " is a link to a file outside the store; it holds no data");
  }
  WriteData(out);
  if (!out) throw OutlookError(file + ": cannot write " + Describe());
}

void MapiAttachment::SaveTo(std::ostream& out) const {
  WriteTo(out);
  if (!out) throw OutlookError(bag_.file() + ": cannot write " + Describe());
}

void MapiAttachment::SaveAsFile(const std::filesystem::path& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    throw OutlookError(bag_.file() + ": cannot save " + Describe() + " to " + sys::Utf8(path) +
                       ": the file cannot be created");
  }
  try {
    WriteTo(out);
    out.close();
    if (!out) throw OutlookError(bag_.file() + ": cannot finish writing " + sys::Utf8(path));
  } catch (const OutlookError& e) {
    // A half-written file would pass for the attachment: remove it.
    out.close();
    std::error_code ec;
    std::filesystem::remove(path, ec);
    throw OutlookError(std::string("cannot save ") + Describe() + " to " + sys::Utf8(path) + ": " + e.what());
  }
}

}  // namespace norvexa::outlook::items
