// Attachments on libpff: names, sizes, and saving to a file, streamed in
// chunks for by-value data and as an .eml message for attached items.
#include "platform/outlook/eml_writer.h"
#include "platform/outlook/pff_objects.h"

#include <fstream>
#include <vector>

namespace norvexa::outlook::pff {
namespace {

constexpr std::uint16_t PR_DISPLAY_NAME = 0x3001;
constexpr std::uint16_t PR_ATTACH_FILENAME = 0x3704;
constexpr std::uint16_t PR_ATTACH_LONG_FILENAME = 0x3707;
constexpr std::uint16_t PR_ATTACH_MIME_TAG = 0x370E;
constexpr std::size_t kChunk = 64 * 1024;

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    const char a = text[text.size() - suffix.size() + i];
    if (std::tolower(static_cast<unsigned char>(a)) != std::tolower(static_cast<unsigned char>(suffix[i]))) return false;
  }
  return true;
}

}  // namespace

std::string SafeFileName(const std::string& name) {
  const auto slash = name.find_last_of("/\\");
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  for (char& c : base) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|') c = '_';
  }
  // Trailing dots and blanks are dropped by Windows file systems.
  while (!base.empty() && (base.back() == '.' || base.back() == ' ')) base.pop_back();
  if (base.empty() || base == "." || base == "..") return std::string();
  return base;
}

std::unique_ptr<Attachment> PffAttachments::GetAttachment(std::int64_t position) const {
  const std::string& file = message_->file()->path();
  if (position < 1 || position > count_) {
    throw OutlookError(file + ": attachment " + std::to_string(position) + " is out of range (the item has " +
                       std::to_string(count_) + ")");
  }
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
    : attachment_(std::move(attachment)),
      position_(position),
      bag_(attachment_->get(), 0, attachment_->file()->path(), attachment_->file()->default_codepage()) {
  libpff_error_t* error = nullptr;
  if (libpff_attachment_get_type(attachment_->get(), &type_, &error) != 1) {
    Fail(attachment_->file()->path(), "cannot read the kind of attachment " + std::to_string(position), error);
  }
}

std::string PffAttachment::FileName() const {
  std::string name = bag_.Text(PR_ATTACH_LONG_FILENAME);
  if (name.empty()) name = bag_.Text(PR_ATTACH_FILENAME);
  if (name.empty()) name = bag_.Text(PR_DISPLAY_NAME);
  name = SafeFileName(name);
  if (IsItem()) {
    if (name.empty()) {
      try {
        name = SafeFileName(AttachedItem().Subject());
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

std::string PffAttachment::MimeType() const { return bag_.Text(PR_ATTACH_MIME_TAG); }

std::string PffAttachment::Describe() const {
  std::string name = bag_.Text(PR_ATTACH_LONG_FILENAME);
  if (name.empty()) name = bag_.Text(PR_ATTACH_FILENAME);
  if (name.empty()) name = bag_.Text(PR_DISPLAY_NAME);
  return "attachment " + std::to_string(position_) + (name.empty() ? std::string() : " (" + name + ")");
}

const PffItem& PffAttachment::AttachedItem() const {
  if (attached_item_) return *attached_item_;
  libpff_item_t* item = nullptr;
  libpff_error_t* error = nullptr;
  if (libpff_attachment_get_item(attachment_->get(), &item, &error) != 1 || item == nullptr) {
    Fail(attachment_->file()->path(), "cannot read the item attached as " + Describe(), error);
  }
  attached_item_ = std::make_unique<PffItem>(std::make_shared<const ItemHandle>(attachment_->file(), attachment_, item));
  return *attached_item_;
}

std::int64_t PffAttachment::Size() const {
  const std::string& file = attachment_->file()->path();
  if (type_ == LIBPFF_ATTACHMENT_TYPE_DATA) {
    size64_t size = 0;
    libpff_error_t* error = nullptr;
    if (libpff_attachment_get_data_size(attachment_->get(), &size, &error) != 1) {
      Fail(file, "cannot read the size of " + Describe(), error);
    }
    return static_cast<std::int64_t>(size);
  }
  if (IsItem()) {
    CountingWriter counter;
    std::ostream sink(&counter);
    WriteTo(sink);
    return counter.count();
  }
  return 0;
}

void PffAttachment::WriteTo(std::ostream& out, int depth) const {
  const std::string& file = attachment_->file()->path();
  if (IsItem()) {
    WriteEml(AttachedItem(), out, depth);
    return;
  }
  if (type_ != LIBPFF_ATTACHMENT_TYPE_DATA) {
    throw OutlookError(file + ": " + Describe() + " is a link to a file outside the store; it holds no data");
  }
  libpff_error_t* error = nullptr;
  size64_t size = 0;
  if (libpff_attachment_get_data_size(attachment_->get(), &size, &error) != 1) {
    Fail(file, "cannot read the size of " + Describe(), error);
  }
  if (size == 0) return;
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

void PffAttachment::SaveAsFile(const std::filesystem::path& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    throw OutlookError(attachment_->file()->path() + ": cannot save " + Describe() + " to " + PathUtf8(path) +
                       ": the file cannot be created");
  }
  try {
    WriteTo(out);
    out.close();
    if (!out) throw OutlookError(attachment_->file()->path() + ": cannot finish writing " + PathUtf8(path));
  } catch (const OutlookError& e) {
    // A half-written file would pass for the attachment: remove it.
    out.close();
    std::error_code ec;
    std::filesystem::remove(path, ec);
    throw OutlookError(std::string("cannot save ") + Describe() + " to " + PathUtf8(path) + ": " + e.what());
  }
}

}  // namespace norvexa::outlook::pff
