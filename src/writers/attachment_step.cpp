// Embedding the staged attachment files of one item, and deleting them.
#include "writers/attachment_step.h"

#include "writers/item_values.h"

#include <QCoreApplication>

#include <filesystem>
#include <system_error>
#include <vector>

namespace norvexa::writers {

namespace {

// Deletes the staged file at PATH if one is still there. Folders are left
// alone: a path naming one is not a staged file. A file that cannot be
// deleted stays for the run, which removes its staging folder at the end.
void DeleteStagedFile(const std::string& path) {
  if (path.empty()) return;
  std::error_code ec;
  const std::filesystem::path file(path);
  const std::filesystem::file_status status = std::filesystem::symlink_status(file, ec);
  if (ec) return;
  if (std::filesystem::is_regular_file(status) || std::filesystem::is_symlink(status)) {
    std::filesystem::remove(file, ec);
  }
}

}  // namespace

bool EmbedStagedAttachments(Steps& steps, const std::unique_ptr<notes::Document>& document,
                            std::string& MailAttachment) {
  if (TrimSpaces(MailAttachment).empty()) return false;
  MailAttachment.erase(0, 1);
  std::vector<std::string> paths = SplitAll(MailAttachment, '|');
  QCoreApplication::processEvents();

  std::unique_ptr<notes::RichTextItem> item;
  steps.Run("creating the item Attachment",
            [&] { item = Need(document, "document").CreateRichTextItem("Attachment"); });

  steps.SkipFromHere();
  for (const std::string& path : paths) {
    std::unique_ptr<notes::EmbeddedObject> embedded;
    steps.Run("embedding " + path, [&] {
      embedded = Need(item, "item Attachment").EmbedObject(notes::EMBED_ATTACHMENT, "", path, "Attachment");
    });
    DeleteStagedFile(path);
    QCoreApplication::processEvents();
    embedded.reset();
  }
  paths.clear();
  item.reset();
  return true;
}

}  // namespace norvexa::writers
