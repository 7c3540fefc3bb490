// Staging of attachments; see attachment_staging.h.
#include "conversion/attachment_staging.h"

#include "conversion/global/global.h"
#include "conversion/staging_leftovers.h"
#include "platform/outlook/outlook.h"
#include "platform/system/file_names.h"
#include "platform/system/paths.h"
#include "platform/system/system_services.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <streambuf>
#include <system_error>

namespace norvexa::conversion {
namespace {

// Splits NAME into base and extension (with its dot) at the last dot that is
// not the first character.
void SplitExtension(const QString& name, QString& base, QString& extension) {
  const qsizetype dot = name.lastIndexOf('.');
  if (dot <= 0) {
    base = name;
    extension.clear();
  } else {
    base = name.left(dot);
    extension = name.mid(dot);
  }
}

// A stream buffer that appends to a string up to a limit: writing beyond
// the limit fails (the stream writing through it goes bad) and marks the
// buffer full, so that a caller can tell "too large" from a store failure.
class CappedStringBuffer : public std::streambuf {
 public:
  explicit CappedStringBuffer(std::uintmax_t limit) : limit_(limit) {}
  bool Full() const { return full_; }
  std::string& Bytes() { return bytes_; }

 protected:
  std::streamsize xsputn(const char* data, std::streamsize count) override {
    if (full_ || count < 0 || bytes_.size() + static_cast<std::uintmax_t>(count) > limit_) {
      full_ = true;
      return 0;
    }
    bytes_.append(data, static_cast<std::size_t>(count));
    return count;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char one = traits_type::to_char_type(c);
    return xsputn(&one, 1) == 1 ? c : traits_type::eof();
  }

 private:
  std::uintmax_t limit_;
  std::string bytes_;
  bool full_ = false;
};

}  // namespace

std::string SafeAttachmentName(const std::string& name) {
  const std::string safe = sys::SafeFileName(name);
  return safe.empty() ? std::string("attachment") : safe;
}

std::string NumberedName(const std::string& name, int n) {
  QString base, extension;
  SplitExtension(QString::fromUtf8(name), base, extension);
  return (base + QStringLiteral(" (%1)").arg(n) + extension).toStdString();
}

std::vector<std::filesystem::path> StagingParents() {
  auto path = [](const QString& text) { return std::filesystem::path(text.toStdU16String()); };
  std::vector<std::filesystem::path> parents{path(QString::fromStdString(Global::GetTempFolder()))};
  for (const auto location : {QStandardPaths::GenericCacheLocation, QStandardPaths::HomeLocation}) {
    const QString folder = QStandardPaths::writableLocation(location);
    if (!folder.isEmpty()) parents.push_back(path(folder));
  }
  return parents;
}

std::unique_ptr<AttachmentStaging> AttachmentStaging::InFirstUsable(const std::vector<std::filesystem::path>& parents,
                                                                    HoldLimits limits) {
  std::string reasons;
  for (const std::filesystem::path& parent : parents) {
    const std::string text = sys::Utf8(parent);
    try {
      // The cache folder may not have been made yet.
      std::error_code ec;
      std::filesystem::create_directories(parent, ec);
      return std::make_unique<AttachmentStaging>(parent, limits);
    } catch (const std::exception& e) {
      reasons += "\r\n" + text + ": " + e.what();
    }
  }
  throw std::runtime_error("no folder for the attachments could be made; these were tried:" + reasons);
}

AttachmentStaging::AttachmentStaging(const std::filesystem::path& parent, HoldLimits limits) : limits_(limits) {
  const QString template_path =
      QString::fromStdU16String((parent / sys::PathFromUtf8(StagingNameTemplate())).u16string());
  dir_ = std::make_unique<QTemporaryDir>(template_path);
  if (!dir_->isValid()) {
    throw std::runtime_error("cannot create a folder for attachments in " + sys::Utf8(parent) + ": " +
                             dir_->errorString().toStdString());
  }
  // QTemporaryDir already makes the folder owner-only; say so explicitly so
  // that no umask or platform default can widen it.
  if (!QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
    throw std::runtime_error("cannot restrict the permissions of " + dir_->path().toStdString());
  }
  folder_ = QDir::toNativeSeparators(dir_->path()).toStdString() + sys::PathSeparator().toStdString();
}

AttachmentStaging::~AttachmentStaging() {
  // QTemporaryDir removes the folder and everything in it.
  ItemDone();
}

writers::StagedFiles AttachmentStaging::StageItem(const outlook::Item& item, std::vector<StagingProblem>& problems) {
  writers::StagedFiles list;
  std::unique_ptr<outlook::Attachments> attachments;
  std::int64_t count = 0;
  try {
    attachments = item.GetAttachments();
    count = attachments->Count();
  } catch (const std::exception& e) {
    problems.push_back({std::string("its attachments could not be read: ") + e.what()});
    return list;
  }

  QSet<QString> used;  // case-folded names of this item, as file systems may fold case
  for (std::int64_t k = 1; k <= count; ++k) {
    std::unique_ptr<outlook::Attachment> attachment;
    std::string original;
    try {
      attachment = attachments->GetAttachment(k);
      original = attachment->FileName();
    } catch (const std::exception& e) {
      problems.push_back({"attachment " + std::to_string(k) + " could not be read: " + e.what()});
      continue;
    }

    // A name not yet used by this item nor present in the folder.
    auto unique = [&](const std::string& safe) {
      std::string name = safe;
      std::error_code ec;
      for (int n = 2; used.contains(QString::fromStdString(name).toCaseFolded()) ||
                      std::filesystem::exists(sys::PathFromUtf8(folder_ + name), ec);
           ++n) {
        name = NumberedName(safe, n);
      }
      used.insert(QString::fromStdString(name).toCaseFolded());
      return name;
    };
    // Without a name there is no extension to tell what it is; an attached
    // item (saved as a message) is named like every other one.
    const bool nameless_item = original.empty() && attachment->IsItem();
    std::string name = unique(nameless_item ? std::string("attachment.eml") : SafeAttachmentName(original));
    const std::filesystem::path path = sys::PathFromUtf8(folder_ + name);
    try {
      Stage(*attachment, path);
    } catch (const std::exception& e) {
      problems.push_back({"attachment \"" + original + "\" could not be saved: " + e.what()});
    }
    // The entry stays even when the save failed: the writer then finds
    // nothing there and embeds nothing for it.
    list.push_back(path);
  }
  return list;
}

void AttachmentStaging::Stage(const outlook::Attachment& attachment, const std::filesystem::path& path) {
  const std::uintmax_t room = limits_.item_bytes > held_.Bytes() ? limits_.item_bytes - held_.Bytes() : 0;
  const std::uintmax_t limit = std::min(room, limits_.attachment_bytes);
  if (limit > 0 && TryHold(attachment, path, limit)) return;
  staged_.push_back(path);
  attachment.SaveAsFile(path);
  QFile::setPermissions(QString::fromStdU16String(path.u16string()), QFile::ReadOwner | QFile::WriteOwner);
}

bool AttachmentStaging::TryHold(const outlook::Attachment& attachment, const std::filesystem::path& path,
                                std::uintmax_t limit) {
  // The size of file data is known before it is read; that of an attached
  // item only once it is written out, so an item is tried and given up on
  // when it outgrows the limit.
  CappedStringBuffer buffer(limit);
  if (!attachment.IsItem()) {
    const std::int64_t size = attachment.Size();
    if (size < 0 || static_cast<std::uintmax_t>(size) > limit) return false;
    buffer.Bytes().reserve(static_cast<std::size_t>(size));
  }
  std::ostream out(&buffer);
  try {
    attachment.SaveTo(out);
  } catch (const std::exception&) {
    if (!buffer.Full()) throw;  // the store failed, not the limit
  }
  if (buffer.Full()) return false;
  held_.Hold(path, std::move(buffer.Bytes()));
  return true;
}

std::uintmax_t AttachmentStaging::ItemBytes() const {
  std::uintmax_t bytes = held_.Bytes();
  for (const std::filesystem::path& file : staged_) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (!error) bytes += size;  // a file that is gone is the writer's to report
  }
  return bytes;
}

int AttachmentStaging::ItemDone() {
  held_.Clear();
  int left = 0;
  for (const std::filesystem::path& path : staged_) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (ec) ++left;
  }
  staged_.clear();
  return left;
}

}  // namespace norvexa::conversion
